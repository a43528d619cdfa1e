#!/usr/bin/env bash
# Pelmo's benchmarks in one command: installs the reference tools when missing,
# builds Pelmo in Release, generates the data once (seeded, cached) and measures
# Pelmo side by side with the tools a user would otherwise use, in one run.
#
#   bash bench/run.sh [extract] [masters] [whole] [memory] [paint] [pack]
#
# Without arguments every benchmark runs; naming some runs only those.
# Environment: PELMO_BENCH_BUILD (build folder, default ../build-bench beside the
# source), PELMO_BENCH_DATA (data cache, default $TMPDIR/pelmo-bench), RUNS
# (hyperfine runs per command, default 10), PELMO_BENCH_WORK (work folder, default
# $PELMO_BENCH_DATA/run), LAZYFS (a LazyFS binary: the whole run
# on FUSE too). Not a test: nothing here passes or fails
# on a time; the goals are printed beside the ratios.
set -euo pipefail
export LC_ALL=C.UTF-8 TZ=UTC

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${PELMO_BENCH_BUILD:-$(dirname "$root")/build-bench}
data=$(realpath -m "${PELMO_BENCH_DATA:-${TMPDIR:-/tmp}/pelmo-bench}")
runs=${RUNS:-10}
# Bump when a generator changes, so that cached data is made again.
data_version=2

log() { printf '== %s\n' "$*" >&2; }
die() { printf 'run.sh: %s\n' "$*" >&2; exit 1; }

# --- Tools -------------------------------------------------------------------------

install_tools() {
  local missing=()
  command -v hyperfine >/dev/null || missing+=(hyperfine)
  command -v bsdtar >/dev/null || missing+=(libarchive-tools)
  command -v lhasa >/dev/null || missing+=(lhasa)
  command -v lha >/dev/null || missing+=(jlha-utils)
  command -v gawk >/dev/null || missing+=(gawk)
  [[ -x /usr/bin/time ]] || missing+=(time)
  [[ -f /usr/include/benchmark/benchmark.h ]] || missing+=(libbenchmark-dev)
  ((${#missing[@]} == 0)) && return
  [[ $(id -u) == 0 ]] || die "missing ${missing[*]}; install them (apt-get install ${missing[*]}) or run as root"
  log "installing ${missing[*]}"
  apt-get install -y "${missing[@]}" >/dev/null 2>&1 ||
    { apt-get update >/dev/null && apt-get install -y "${missing[@]}" >/dev/null; } ||
    die "apt-get could not install ${missing[*]}"
}

build_pelmo() {
  log "building Pelmo (Release) in $build"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMO_BUILD_TESTS=OFF \
    -DPELMO_SANITIZE=OFF -DPELMO_BENCH=ON >"$build.log" 2>&1 || { cat "$build.log"; die "cmake failed"; }
  cmake --build "$build" -j2 --target pelmo bench-gen pelmo-extract pelmo-master bench-paint pelmo-bench-noflush \
    >>"$build.log" 2>&1 || { tail -40 "$build.log"; die "build failed"; }
}

# --- Data --------------------------------------------------------------------------

gen() { "$build/bench/bench-gen" "$@"; }

# Archives every file of a folder: lzh FOLDER ARCHIVE METHOD (5 or 7), level 2
# headers. Members get a fixed time, so that the archive bytes repeat too.
lzh() {
  local folder=$1 archive=$2 method=$3 count
  rm -f "$archive"
  find "$folder" -maxdepth 1 -type f -exec touch -d '2001-02-03 04:05:06' {} +
  (cd "$folder" && find . -maxdepth 1 -type f -printf '%P\n' | sort |
    xargs -x -s 1000000 lha "cqo$method" "$archive" >/dev/null)
  count=$(find "$folder" -maxdepth 1 -type f | wc -l)
  lhasa l "$archive" | tail -1 | grep -q "^ Total *$count files" || die "$archive does not hold $count files"
}

# A package folder: info.txt (CRLF, ASCII) for an installed system at C:\KORIMU of
# version 2, without the optional steps, then the entries given on stdin.
write_info() {
  local package=$1
  {
    printf '%s\r\n' BENCH NULL '' '' '' 'C:\KORIMU' 2 0 NULL 0 main.bmp start.bmp dest.bmp confirm.bmp \
      'Benchmark package' 'Destination' PRO LITE WIDE MINI BASIC
    sed 's/$/\r/'
  } >"$package/info.txt"
}

# 100 entries and 100 MB: 25 archives of 4 members (50 MB unpacked) and 75 plain
# files (50 MB), spread over the system folder and three subfolders.
make_whole() {
  local dir=$1 package=$1/package subs=('' 'BIN\' 'DATA\' 'HELP\') i a=0 p=0 sub name file m
  mkdir -p "$package" "$dir/members"
  gen files "$dir/members" 100 50000000 21
  gen files "$dir/plain" 75 50000000 22
  : >"$dir/plan.txt"
  for ((i = 0; i < 100; i++)); do
    sub=${subs[i % 4]}
    if ((i % 4 == 1)); then
      printf -v name 'ARC%02d' "$a"
      mkdir -p "$dir/arc$a"
      for m in $(ls "$dir/members" | head -4); do
        mv "$dir/members/$m" "$dir/arc$a/"
      done
      lzh "$dir/arc$a" "$package/$name.lzh" 5
      rm -rf "$dir/arc$a"
      echo "1,1,$name,$sub" >>"$dir/entries"
      echo "x $name.lzh ${sub%\\}" >>"$dir/plan.txt"
      a=$((a + 1))
    else
      file=$(ls "$dir/plain" | sed -n "$((p + 1))p")
      printf -v name 'P%04d.%s' "$p" "${file##*.}"
      cp "$dir/plain/$file" "$package/$name"
      echo "1,0,$name,$sub" >>"$dir/entries"
      echo "c $name ${sub%\\}" >>"$dir/plan.txt"
      p=$((p + 1))
    fi
  done
  sed -i 's/ $/ ./' "$dir/plan.txt"
  write_info "$package" <"$dir/entries"
  rm -rf "$dir/members" "$dir/plain" "$dir/entries"
}

# The same shape at two sizes for the memory benchmark: one archive of two members
# and eight plain files, ten pieces of `piece` bytes on average (sizes vary 256-fold).
make_sized() {
  local dir=$1 piece=$2 seed=$3 package=$1/package i f
  mkdir -p "$package" "$dir/arc"
  gen files "$dir/arc" 2 $((2 * piece)) "$seed"
  lzh "$dir/arc" "$package/BIG.lzh" 5
  rm -rf "$dir/arc"
  gen files "$dir/plain" 8 $((8 * piece)) $((seed + 1))
  {
    echo "1,1,BIG,DATA\\"
    i=0
    for f in $(ls "$dir/plain"); do
      mv "$dir/plain/$f" "$package/PLAIN$i.DAT"
      echo "1,0,PLAIN$i.DAT,DATA\\"
      i=$((i + 1))
    done
  } | write_info "$package"
  rm -rf "$dir/plain"
}

# Runs `maker NAME ARGS...` once per data version; the result is kept in $data/NAME.
dataset() {
  local set=$1
  shift
  [[ -f $data/$set.done && $(cat "$data/$set.done") == "$data_version" ]] && return
  log "generating $set"
  rm -rf "${data:?}/$set" "$data/$set.done"
  mkdir -p "$data/$set"
  "$@" "$data/$set"
  echo "$data_version" >"$data/$set.done"
}

make_big() {
  gen mixed "$1/members" 100000000 1
  lzh "$1/members" "$1/big-lh5.lzh" 5
  lzh "$1/members" "$1/big-lh7.lzh" 7
}
# The 100 MB set as -lh4-, which libarchive lacks: only lhasa's reader takes it.
make_big_lh4() { python3 "$here/relabel_lh4.py" "$data/big/big-lh5.lzh" "$1/big-lh4.lzh"; }
make_small() {
  gen small "$1/members" 2000 2
  lzh "$1/members" "$1/small.lzh" 5
}
make_masters() { gen masters "$1/MASTER" 1000 200000 3; }
# Ten master files of 20 KB and of 20 MB, for the memory benchmark.
make_masters20k() { gen masters "$1/MASTER" 10 20000 5; }
make_masters20m() { gen masters "$1/MASTER" 10 20000000 6; }
make_picture() { gen bmp "$1/picture.bmp" 1920 1080 4; }
# About 9.5 MB and 950 MB packed, 11 MB and 1.1 GB installed.
make_mem10m() { make_sized "$1" 1100000 31; }
make_mem1g() { make_sized "$1" 110000000 41; }

generate() {
  mkdir -p "$data"
  local need=$((3 * 1024 * 1024)) free
  free=$(df -Pk "$data" | awk 'NR == 2 { print $4 }')
  ((free > need)) || die "$data needs about 3 GB free"
  dataset big make_big
  dataset big-lh4 make_big_lh4
  dataset small make_small
  dataset masters make_masters
  dataset picture make_picture
  dataset whole make_whole
  dataset mem10m make_mem10m
  dataset mem1g make_mem1g
  dataset masters20k make_masters20k
  dataset masters20m make_masters20m
}

# --- Measuring ---------------------------------------------------------------------

results=  # "key<TAB>value" lines; medians in seconds, memory in KiB

record() { printf '%s\t%s\n' "$1" "$2" >>"$results"; }

# hyperfine KEY PREPARE NAME COMMAND [NAME COMMAND]...: every command in one
# hyperfine run, so that the ratios between them come from the same minutes.
measure() {
  local key=$1 prepare=$2 csv=$work/$1.csv
  shift 2
  local args=()
  while (($#)); do
    args+=(-n "$1" "$2")
    shift 2
  done
  log "measuring $key"
  hyperfine --style basic --warmup 1 --runs "$runs" --prepare "$prepare" --export-csv "$csv" "${args[@]}" \
    >>"$work/hyperfine.log" 2>&1 || { tail -30 "$work/hyperfine.log"; die "hyperfine failed on $key"; }
  gawk -F, -v key="$key" 'NR > 1 { printf "%s.%s\t%s\n", key, $1, $4 }' "$csv" >>"$results"
}

# Each tool extracts into its own empty folder; the results must agree.
bench_extract() {
  local key=$1 archive=$2 out=$work/out
  rm -rf "$out"
  mkdir -p "$out/pelmo" "$out/bsdtar" "$out/lhasa"
  "$build/bench/pelmo-extract" --commit "$archive" "$out/pelmo"
  rm -rf "$out/PELMOBAK"
  bsdtar -xf "$archive" -C "$out/bsdtar"
  diff -r "$out/pelmo" "$out/bsdtar" >/dev/null || die "$key: pelmo-extract and bsdtar disagree"
  measure "$key" "rm -rf $out && mkdir -p $out && sync" \
    pelmo "$build/bench/pelmo-extract $archive $out" \
    bsdtar "bsdtar -xf $archive -C $out" \
    lhasa "lhasa xqfw=$out $archive"
  rm -rf "$out"
}

# An archive only lhasa's reader takes, against `lhasa x`. lhasa lower-cases the
# all-capital names, so the two are compared by content under lower-case names.
bench_extract_lhasa() {
  local key=$1 archive=$2 out=$work/out
  rm -rf "$out"
  mkdir -p "$out/pelmo" "$out/lhasa"
  "$build/bench/pelmo-extract" --commit "$archive" "$out/pelmo"
  rm -rf "$out/PELMOBAK"
  lhasa xqfw="$out/lhasa" "$archive"
  [[ $(cd "$out/pelmo" && md5sum -- * | tr A-Z a-z | sort) == $(cd "$out/lhasa" && md5sum -- * | sort) ]] ||
    die "$key: pelmo-extract and lhasa disagree"
  measure "$key" "rm -rf $out && mkdir -p $out && sync" \
    pelmo "$build/bench/pelmo-extract $archive $out" \
    lhasa "lhasa xqfw=$out $archive"
  rm -rf "$out"
}

# In place, as Pelmo works: the master folder is restored before every run. It
# lies in a system folder of its own, where pelmo-master's stage keeps its
# PELMOBAK, so that every run commits with its journal and backups.
bench_masters() {
  local source=$data/masters/MASTER system=$work/system folder=$work/system/MASTER copy=$work/master-copy
  rm -rf "$system" "$work/master-awk"
  mkdir -p "$system"
  cp -a "$source" "$folder"
  cp -a "$source" "$work/master-awk"
  "$build/bench/pelmo-master" "$folder"
  [[ -f $(echo "$system"/PELMOBAK/*/DONE) ]] || die "masters: pelmo-master committed nothing"
  LC_ALL=C gawk -i inplace -f "$here/master.awk" "$work/master-awk"/*.mst
  diff -r "$folder" "$work/master-awk" >/dev/null || die "masters: pelmo-master and awk disagree"
  rm -rf "$work/master-awk"
  measure masters "rm -rf $system $copy && mkdir $system && cp -a $source $folder && sync" \
    pelmo "$build/bench/pelmo-master $folder" \
    pelmo-noflush "LD_PRELOAD=$build/bench/libpelmo-bench-noflush.so $build/bench/pelmo-master $folder" \
    awk "LC_ALL=C gawk -i inplace -f $here/master.awk $folder/*.mst" \
    cp "mkdir $copy && cp $folder/* $copy/"
  rm -rf "$system" "$copy"
}

# A machine whose drive C: holds the installed system and drive D: the package.
make_machine() {
  local machine=$1 package=$2
  rm -rf "$machine"
  mkdir -p "$machine/dosdevices" "$machine/drive_c/windows"
  ln -s ../drive_c "$machine/dosdevices/c:"
  ln -s "$package" "$machine/dosdevices/d:"
  printf 'WINE REGISTRY Version 2\n\n#arch=win32\n' >"$machine/system.reg"
}

restore_system() {
  printf 'rm -rf %s/drive_c/KORIMU && cp -a %s/examples/machine/drive_c/KORIMU %s/drive_c/KORIMU' \
    "$1" "$root" "$1"
}

unattended() {
  printf '%s --unattended --machine %s --package %s --target C:\\\\KORIMU' "$build/app/pelmo" "$1" "$2"
}

bench_whole() {
  local machine=$work/machine package=$data/whole/package restore
  make_machine "$machine" "$package"
  restore=$(restore_system "$machine")
  eval "$restore"
  eval "$(unattended "$machine" "$package")" >/dev/null || die "whole: pelmo --unattended failed"
  mv "$machine/drive_c/KORIMU" "$work/by-pelmo"
  eval "$restore"
  "$here/install_copy.sh" "$data/whole/plan.txt" "$package" "$machine/drive_c/KORIMU"
  # The run keeps its journal and backups in PELMOBAK, which the script has not.
  [[ -f $(echo "$work/by-pelmo"/PELMOBAK/*/DONE) ]] || die "whole: pelmo committed no journal"
  diff -r -x PELMOBAK "$work/by-pelmo" "$machine/drive_c/KORIMU" >/dev/null || die "whole: pelmo and the script disagree"
  make_deb "$work/by-pelmo" "$root/examples/machine/drive_c/KORIMU" "$work/whole.deb"
  local dpkg_root=$work/dpkg-root dpkg_fresh
  dpkg_fresh=$(dpkg_prepare "$dpkg_root")
  eval "$dpkg_fresh"
  eval "$(dpkg_install "$dpkg_root" "$work/whole.deb")" >/dev/null || die "whole: dpkg -i failed"
  diff -r -x PELMOBAK "$work/by-pelmo" "$dpkg_root/drive_c/KORIMU" >/dev/null || die "whole: pelmo and dpkg disagree"
  rm -rf "$work/by-pelmo"
  # A dry run reads and extracts the whole package, and must leave the system as it was.
  eval "$restore"
  eval "$(unattended "$machine" "$package") --dry-run" >/dev/null || die "whole: pelmo --dry-run failed"
  diff -r "$machine/drive_c/KORIMU" "$root/examples/machine/drive_c/KORIMU" >/dev/null ||
    die "whole: the dry run changed the system"
  measure whole "$restore && $dpkg_fresh && sync" \
    pelmo "$(unattended "$machine" "$package")" \
    dpkg "$(dpkg_install "$dpkg_root" "$work/whole.deb")" \
    pelmo-dry "$(unattended "$machine" "$package") --dry-run" \
    pelmo-noflush "LD_PRELOAD=$build/bench/libpelmo-bench-noflush.so $(unattended "$machine" "$package")" \
    script "$here/install_copy.sh $data/whole/plan.txt $package $machine/drive_c/KORIMU" \
    decode-only "for a in $package/*.lzh; do bsdtar -xOf \$a >/dev/null; done" \
    durable-write "dd if=/dev/zero of=$work/durable bs=1M count=100 conv=fsync status=none && rm $work/durable"
  # The same run twice: the second finds every file as it would write it, and
  # writes none.
  eval "$restore"
  eval "$(unattended "$machine" "$package")" >/dev/null || die "whole: pelmo --unattended failed"
  eval "$(unattended "$machine" "$package") --log $work/repeat.log" >/dev/null || die "whole: the repeat run failed"
  ! grep -qE '^(added|replaced) ' "$work/repeat.log" || die "whole: the repeat run wrote files"
  measure whole-repeat "$restore && $(unattended "$machine" "$package") >/dev/null && sync" \
    pelmo "$(unattended "$machine" "$package")"
  # Again over a system that already holds every file, each with its first byte
  # changed, so that the run replaces them all and the commit keeps a backup of
  # each (files equal to the package's would be left alone).
  local marker=$work/installed.marker
  local installed="$restore && touch $marker && $here/install_copy.sh $data/whole/plan.txt $package $machine/drive_c/KORIMU"
  installed+=" && find $machine/drive_c/KORIMU -type f -cnewer $marker -size +0 -exec sh -c 'for f; do printf x | dd of=\"\$f\" bs=1 count=1 conv=notrunc status=none; done' _ {} +"
  measure whole-again "$installed && sync" \
    pelmo "$(unattended "$machine" "$package")" \
    script "$here/install_copy.sh $data/whole/plan.txt $package $machine/drive_c/KORIMU"
  rm -rf "$dpkg_root" "$work/whole.deb"
  bench_whole_fuse "$package"
}

# A .deb (gzip) holding exactly the files the run installed: those of the system
# folder AFTER (PELMOBAK aside) that are new or differ from the system BEFORE.
make_deb() {
  local after=$1 before=$2 deb=$3 tree=$work/deb-tree file
  rm -rf "$tree"
  mkdir -p "$tree/DEBIAN" "$tree/drive_c/KORIMU"
  while IFS= read -r -d '' file; do
    cmp -s "$after/$file" "$before/$file" && continue
    mkdir -p "$(dirname "$tree/drive_c/KORIMU/$file")"
    cp -p "$after/$file" "$tree/drive_c/KORIMU/$file"
  done < <(cd "$after" && find . -path ./PELMOBAK -prune -o -type f -print0)
  printf '%s\n' 'Package: pelmo-bench-whole' 'Version: 1.0' 'Architecture: all' \
    'Maintainer: bench <bench@localhost>' 'Description: the files of the whole run' >"$tree/DEBIAN/control"
  dpkg-deb -Zgzip --root-owner-group --build "$tree" "$deb" >/dev/null || die "whole: dpkg-deb failed"
  rm -rf "$tree"
}

# The commands that make DIR a throw-away root: the system before the run and an
# empty dpkg database.
dpkg_prepare() {
  local d=$1
  printf 'rm -rf %s && mkdir -p %s/drive_c %s/var/lib/dpkg/info %s/var/lib/dpkg/updates %s/var/log' "$d" "$d" "$d" "$d" "$d"
  printf ' && touch %s/var/lib/dpkg/status %s/var/lib/dpkg/available' "$d" "$d"
  printf ' && cp -a %s/examples/machine/drive_c/KORIMU %s/drive_c/KORIMU' "$root" "$d"
}

dpkg_install() {
  printf 'dpkg --root=%s --log=%s/var/log/dpkg.log --force-not-root --force-script-chrootless -i %s' "$1" "$1" "$2"
}

# The same run on a FUSE file system (LazyFS over a folder of this disk), when
# LAZYFS names its binary: there each file is flushed on its own.
bench_whole_fuse() {
  local package=$1 below=$work/fuse-below mnt=$work/fuse fifo=$work/fuse.fifo pid i restore
  if [ -z "${LAZYFS:-}" ] || [ ! -x "$LAZYFS" ]; then
    log "whole-fuse: skipped (set LAZYFS to the lazyfs binary)"
    return
  fi
  rm -rf "$below" "$mnt" && mkdir -p "$below" "$mnt"
  printf '%s\n' '[faults]' "fifo_path=\"$fifo\"" '[cache]' 'apply_eviction=false' '[cache.simple]' \
    'custom_size="2gb"' 'blocks_per_page=1' '[filesystem]' 'log_all_operations=false' \
    "logfile=\"$work/lazyfs.log\"" >"$work/lazyfs.toml"
  ("$LAZYFS" "$mnt" --config-path "$work/lazyfs.toml" -f -o allow_other -o modules=subdir -o subdir="$below" \
    >"$work/lazyfs.out" 2>&1
  exit 0) 2>/dev/null &
  pid=$!
  for ((i = 0; i < 1000; i++)); do mountpoint -q "$mnt" && break; sleep 0.02; done
  mountpoint -q "$mnt" || die "whole-fuse: LazyFS did not mount"
  make_machine "$mnt/machine" "$package"
  # The system copied in is written below before each run, as if it were durable.
  restore="$(restore_system "$mnt/machine") && echo lazyfs::cache-checkpoint >$fifo"
  measure whole-fuse "$restore && sync" pelmo "$(unattended "$mnt/machine" "$package")"
  fusermount3 -u "$mnt" || true
  wait "$pid" || true
  rm -rf "$below" "$mnt"
}


# Peak resident memory of the unattended run; the median of three.
bench_memory() {
  local size=$1 machine=$work/machine package=$data/$1/package restore i peaks=()
  make_machine "$machine" "$package"
  restore=$(restore_system "$machine")
  log "measuring memory ($size)"
  for i in 1 2 3; do
    eval "$restore"
    eval "/usr/bin/time -v -o $work/time.txt $(unattended "$machine" "$package") >/dev/null" ||
      die "memory: pelmo --unattended failed on $size"
    peaks+=("$(gawk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")")
  done
  record "memory.$size" "$(printf '%s\n' "${peaks[@]}" | sort -n | sed -n 2p)"
  rm -rf "$machine"
}

# Peak resident memory of the master conversion; the median of three.
bench_memory_masters() {
  local size=$1 folder=$work/master i peaks=()
  log "measuring memory ($size)"
  for i in 1 2 3; do
    rm -rf "$folder"
    cp -a "$data/$size/MASTER" "$folder"
    /usr/bin/time -v -o "$work/time.txt" "$build/bench/pelmo-master" "$folder" || die "memory: pelmo-master failed on $size"
    peaks+=("$(gawk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")")
  done
  record "memory.$size" "$(printf '%s\n' "${peaks[@]}" | sort -n | sed -n 2p)"
  rm -rf "$folder"
}

bench_paint() {
  local csv=$work/paint.csv
  log "measuring paint"
  QT_QPA_PLATFORM=offscreen "$build/bench/bench-paint" --benchmark_repetitions="$((2 * runs))" \
    --benchmark_report_aggregates_only=true --benchmark_out="$csv" --benchmark_out_format=csv \
    "$data/picture/picture.bmp" >>"$work/paint.log" 2>&1 || die "bench-paint failed"
  gawk -F, '/_median"?,/ { name = $1; gsub(/"|\/real_time/, "", name); sub(/_median$/, "", name);
    printf "paint.%s\t%.9f\n", name, $3 / 1000 }' "$csv" >>"$results"
}

# A pack source of one archive entry holding the files of FOLDER (hard links, so
# that the source costs no room), for `pelmo pack`.
make_pack_source() {
  local source=$1 folder=$2
  rm -rf "$source"
  mkdir -p "$source"
  cp -al "$folder" "$source/data"
  printf '%s\n' 'product: BENCH' 'folder: C:\KORIMU' 'version: 2' 'archive: DATA data .' >"$source/pack.txt"
}

pack_command() {
  printf '%s pack --one-folder --disk-size 4294967296 %s %s' "$build/app/pelmo" "$1" "$2"
}

# Pack against jlha's -lh5- of the same files (size) and gzip -6 of the same
# bytes (time); what pack writes must extract to the same files with bsdtar and lhasa.
bench_pack_set() {
  local key=$1 members=$2 jlha=$3 source=$work/pack-src out=$work/pack-out check=$work/pack-check
  make_pack_source "$source" "$members"
  rm -rf "$out"
  eval "$(pack_command "$source" "$out")" >/dev/null || die "pack: pelmo pack failed on $key"
  for tool in bsdtar lhasa; do
    rm -rf "$check" && mkdir -p "$check"
    if [ $tool = bsdtar ]; then bsdtar -xf "$out/DATA.lzh" -C "$check"; else lhasa xqfw="$check" "$out/DATA.lzh"; fi
    [[ $(cd "$check" && md5sum -- * | tr A-Z a-z | sort) == $(cd "$members" && md5sum -- * | tr A-Z a-z | sort) ]] ||
      die "pack: $tool does not extract $key as packed"
  done
  rm -rf "$check"
  record "pack-size.$key" "$(stat -c %s "$out/DATA.lzh") $(stat -c %s "$jlha")"
  measure "pack-$key" "rm -rf $out && sync" \
    pelmo "$(pack_command "$source" "$out")" \
    gzip "cat $members/* | gzip -6 >/dev/null" \
    jlha "rm -f $work/jlha.lzh && cd $members && lha cqo5 $work/jlha.lzh * >/dev/null"
  rm -rf "$out" "$source" "$work/jlha.lzh"
}

# Peak resident memory of pack over the plain files of the 10 MB and 1 GB sets.
bench_pack_memory() {
  local size=$1 source=$work/pack-src out=$work/pack-out
  mkdir -p "$work/plain-$size"
  cp -l "$data/$size/package"/PLAIN*.DAT "$work/plain-$size/"
  make_pack_source "$source" "$work/plain-$size"
  rm -rf "$out"
  log "measuring pack memory ($size)"
  eval "/usr/bin/time -v -o $work/time.txt $(pack_command "$source" "$out")" >/dev/null || die "pack: failed on $size"
  record "memory.pack-$size" "$(gawk -F': ' '/Maximum resident set size/ { print $2 }' "$work/time.txt")"
  rm -rf "$out" "$source" "$work/plain-$size"
}

# --- Report ------------------------------------------------------------------------

report() {
  gawk -F'\t' -v runs="$runs" '
    { value[$1] = $2 }
    function ms(s) { return sprintf("%.1f ms", s * 1000) }
    function row(what, ours, theirs, goal, op, limit,    r, met) {
      if (!(ours in value) || !(theirs in value)) return
      r = value[ours] / value[theirs]
      met = (op == "<=" ? r <= limit : r < limit) ? "met" : "MISSED"
      printf "| %s | %s | %s | %.2fx | %s |\n", what, ms(value[ours]), ms(value[theirs]), r, goal == "" ? "" : goal " (" met ")"
    }
    END {
      print "| Benchmark | Pelmo | Reference | Ratio | Goal |"
      print "|---|---:|---:|---:|---|"
      row("Extract 100 MB -lh5- vs bsdtar -x", "big-lh5.pelmo", "big-lh5.bsdtar", "<= 1.10x", "<=", 1.10)
      row("Extract 100 MB -lh5- vs lhasa x", "big-lh5.pelmo", "big-lh5.lhasa", "<= 1.0x", "<=", 1.0)
      row("Extract 100 MB -lh7- vs bsdtar -x", "big-lh7.pelmo", "big-lh7.bsdtar", "<= 1.10x", "<=", 1.10)
      row("Extract 100 MB -lh7- vs lhasa x", "big-lh7.pelmo", "big-lh7.lhasa", "<= 1.0x", "<=", 1.0)
      row("Extract 100 MB -lh4- (second reader) vs lhasa x", "big-lh4.pelmo", "big-lh4.lhasa", "<= 1.10x", "<=", 1.10)
      row("Extract 2,000 small members vs bsdtar -x", "small.pelmo", "small.bsdtar", "<= 1.10x", "<=", 1.10)
      row("Extract 2,000 small members vs lhasa x", "small.pelmo", "small.lhasa", "<= 1.0x", "<=", 1.0)
      row("Master conversion (1,000 x 200 KB) vs cp", "masters.pelmo", "masters.cp", "<= 2x", "<=", 2)
      row("Master conversion (1,000 x 200 KB) vs gawk", "masters.pelmo", "masters.awk", "<= 1.0x", "<=", 1)
      row("(reference) Master conversion, flushes skipped, vs cp", "masters.pelmo-noflush", "masters.cp", "<= 2x", "<=", 2)
      row("(reference) Master conversion, flushes skipped, vs gawk", "masters.pelmo-noflush", "masters.awk", "<= 1.0x", "<=", 1)
      row("Unattended run (100 entries, 100 MB) vs dpkg -i of the same files (.deb, gzip)", "whole.pelmo", "whole.dpkg", "<= 0.9x", "<=", 0.9)
      row("(reference) Unattended run vs bsdtar+cp script", "whole.pelmo", "whole.script", "", "<=", 0)
      row("(reference) Unattended run on FUSE (LazyFS), each file flushed, vs the same run on the disk", "whole-fuse.pelmo", "whole.pelmo", "", "<=", 0)
      row("(reference) Unattended run replacing all 100 entries (with backups) vs bsdtar+cp script", "whole-again.pelmo", "whole-again.script", "", "<=", 0)
      row("Dry run (--dry-run) of the same package vs the run", "whole.pelmo-dry", "whole.pelmo", "<= 0.5x", "<=", 0.5)
      row("Repeat run (every file unchanged, none written) vs the run", "whole-repeat.pelmo", "whole.pelmo", "<= 0.85x", "<=", 0.85)
      row("Repeat run vs decoding the 25 archives only", "whole-repeat.pelmo", "whole.decode-only", "<= 1.1x", "<=", 1.1)
      row("(reference) Unattended run, flushes skipped, vs bsdtar+cp script", "whole.pelmo-noflush", "whole.script", "", "<=", 0.25)
      row("(reference) Decoding the 25 archives only (bsdtar -xO, nothing written) vs script", "whole.decode-only", "whole.script", "", "<=", 0)
      row("(reference) Writing 100 MB durably only (dd conv=fsync) vs script", "whole.durable-write", "whole.script", "", "<=", 0)
      row("Paint 1920x1080 24-bit into 1280x1024 vs QImage", "paint.DrawDibFileEveryPaint", "paint.QImageLoadAndDraw", "<= 1.2x", "<=", 1.2)
      if (("memory.mem10m" in value) && ("memory.mem1g" in value)) {
        growth = (value["memory.mem1g"] - value["memory.mem10m"]) / 1024
        printf "| Peak RSS, unattended run: 10 MB package | %.1f MB | | | |\n", value["memory.mem10m"] / 1024
        printf "| Peak RSS, unattended run: 1 GB package | %.1f MB | | %+.1f MB | growth <= 5 MB (%s) |\n",
          value["memory.mem1g"] / 1024, growth, growth <= 5 ? "met" : "MISSED"
      }
      if (("memory.masters20k" in value) && ("memory.masters20m" in value)) {
        growth = (value["memory.masters20m"] - value["memory.masters20k"]) / 1024
        printf "| Peak RSS, master conversion: 10 files of 20 KB | %.1f MB | | | |\n", value["memory.masters20k"] / 1024
        printf "| Peak RSS, master conversion: 10 files of 20 MB | %.1f MB | | %+.1f MB | growth <= 5 MB (%s) |\n",
          value["memory.masters20m"] / 1024, growth, growth <= 5 ? "met" : "MISSED"
      }
      row("pelmo pack, 100 MB mixed, vs gzip -6 of the same bytes", "pack-big.pelmo", "pack-big.gzip", "<= 1.5x", "<=", 1.5)
      row("pelmo pack, 2,000 small members, vs gzip -6 of the same bytes", "pack-small.pelmo", "pack-small.gzip", "<= 1.5x", "<=", 1.5)
      row("(reference) pelmo pack, 100 MB mixed, vs jlha -lh5-", "pack-big.pelmo", "pack-big.jlha", "", "<=", 0)
      row("(reference) pelmo pack, 2,000 small members, vs jlha -lh5-", "pack-small.pelmo", "pack-small.jlha", "", "<=", 0)
      for (set in value) if (set ~ /^pack-size\./) {
        split(value[set], bytes, " ")
        r = bytes[1] / bytes[2]
        printf "| Archive size, %s, pack vs jlha -lh5- | %d B | %d B | %.4fx | <= 1.01x (%s) |\n", substr(set, 11),
          bytes[1], bytes[2], r, r <= 1.01 ? "met" : "MISSED"
      }
      if (("memory.pack-mem10m" in value) && ("memory.pack-mem1g" in value)) {
        growth = (value["memory.pack-mem1g"] - value["memory.pack-mem10m"]) / 1024
        printf "| Peak RSS, pack: 10 MB source | %.1f MB | | | |\n", value["memory.pack-mem10m"] / 1024
        printf "| Peak RSS, pack: 1 GB source | %.1f MB | | %+.1f MB | growth <= 5 MB (%s) |\n",
          value["memory.pack-mem1g"] / 1024, growth, growth <= 5 ? "met" : "MISSED"
      }
      printf "\nMedians of %d runs each (paint: median of %d repetitions); ratio = Pelmo / reference.\n", runs, 2 * runs
    }' "$results"
}

main() {
  install_tools
  build_pelmo
  generate
  work=${PELMO_BENCH_WORK:-$data/run}
  rm -rf "$work"
  mkdir -p "$work"
  results=$work/results.tsv
  : >"$results"
  local wanted=" ${*:-extract masters whole memory paint pack} "
  if [[ $wanted == *" extract "* ]]; then
    bench_extract big-lh5 "$data/big/big-lh5.lzh"
    bench_extract big-lh7 "$data/big/big-lh7.lzh"
    bench_extract small "$data/small/small.lzh"
    bench_extract_lhasa big-lh4 "$data/big-lh4/big-lh4.lzh"
  fi
  [[ $wanted == *" masters "* ]] && bench_masters
  [[ $wanted == *" whole "* ]] && bench_whole
  if [[ $wanted == *" memory "* ]]; then
    bench_memory mem10m
    bench_memory mem1g
    bench_memory_masters masters20k
    bench_memory_masters masters20m
  fi
  [[ $wanted == *" paint "* ]] && bench_paint
  if [[ $wanted == *" pack "* ]]; then
    bench_pack_set big "$data/big/members" "$data/big/big-lh5.lzh"
    bench_pack_set small "$data/small/members" "$data/small/small.lzh"
    bench_pack_memory mem10m
    bench_pack_memory mem1g
  fi
  {
    local commit
    commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)
    git -C "$root" diff --quiet HEAD 2>/dev/null || commit+=" with uncommitted changes"
    echo "Pelmo benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), commit $commit"
    echo "Machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(free -g | awk '/^Mem:/ { print $2 }') GB memory"
    echo
    report
  } | tee "$work/table.md"
  log "table in $work/table.md, hyperfine output in $work/hyperfine.log"
}

# bench/pair.sh sources this file for its data and helpers.
if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
  main "$@"
fi
