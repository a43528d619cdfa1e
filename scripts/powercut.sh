#!/usr/bin/env bash
# Power cuts during real runs, over LazyFS: a FUSE file system that keeps what is
# written in its own cache until the writer flushes that file, and drops the rest
# on command, as a power cut drops the page cache.
#
#   LAZYFS=/path/to/lazyfs bash scripts/powercut.sh [--short | --long [TRIALS]] [SCENARIO...]
#
# Each scenario (demo, cancel, damaged, repeat, recovery, undo, undo2: the second of
# two undos, force: --undo --force over a changed file) is first run without
# a cut while LazyFS logs every operation; every write, fsync, create, unlink,
# rename, link and truncate on the machine folder, singled out by a pattern of its
# path, is a cut point, before and after it. A trial cuts at one point (or drops
# the cache after an uncut run), mounts again, runs `pelmo --recover` and checks:
# every file outside PELMOBAK is all as before the interrupted run or all as after
# it, no work file is left anywhere, no lock is held, and a following run and its
# undo work, each surviving a power cut right after it. Torn writes of the staging
# record and of the journal come last.
#
# --short (CI): every ninth point (POWERCUT_STRIDE), the cut after each whole run
# and the torn writes. Default: every point of every scenario once. --long N:
# that, then random points until N trials (default 500). PELMO names the program
# (default build/app/pelmo); POWERCUT_KEEP=1 keeps the work folders and a copy of
# each failed trial's files. Exit status 1 when any trial fails.
set -euo pipefail
export LC_ALL=C.UTF-8
repo=$(cd "$(dirname "$0")/.." && pwd)

if [ -z "${LAZYFS:-}" ] || [ ! -x "${LAZYFS:-}" ]; then
  cat <<'EOF'
powercut: no LazyFS ($LAZYFS is not set to its binary), so nothing was run.
LazyFS is at https://github.com/dsrhaslab/lazyfs (MIT). On Debian, install
fuse3, libfuse3-dev, libtoml11-dev, libspdlog-dev, cmake and g++, build it with
CMake as its README says, then run: LAZYFS=/path/to/lazyfs bash scripts/powercut.sh
EOF
  exit 0
fi

mode=all
limit=0
if [ "${1:-}" = --short ]; then
  mode=short
  shift
elif [ "${1:-}" = --long ]; then
  mode=long
  shift
  limit=500
  if [[ ${1:-} =~ ^[0-9]+$ ]]; then
    limit=$1
    shift
  fi
fi
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(demo cancel damaged repeat recovery undo undo2 force)

pelmo=${PELMO:-$repo/build/app/pelmo}
[ -x "$pelmo" ] || { echo "powercut: no program at $pelmo (build it, or set PELMO)" >&2; exit 1; }
command -v fusermount3 >/dev/null || { echo "powercut: fusermount3 is missing (Debian's fuse3)" >&2; exit 1; }
if [ ! -c /dev/fuse ]; then
  echo "powercut: no /dev/fuse on this machine, so nothing was run"
  exit 0
fi

# Short paths: LazyFS reads at most 99 bytes of a command, and a torn write names
# its file in full.
w=$(mktemp -d "${TMPDIR:-/tmp}/pelmo-powercut-XXXXXX")
root=$(mktemp -d /tmp/pcXXXX)
mnt=$w/mnt
fifo=$w/fifo
lazylog=$w/lazyfs.log
lazy_pid=
mkdir -p "$root" "$mnt"
cleanup() {
  unmount_fs
  [ -n "${POWERCUT_KEEP:-}" ] && echo "powercut: work folders kept: $w $root" >&2 && return
  rm -rf "$w" "$root"
}
trap cleanup EXIT

# --- LazyFS ----------------------------------------------------------------------------

# mount_fs LOG_ALL [INJECTIONS]: mounts ROOT at MNT; INJECTIONS are config tables.
mount_fs() {
  : >"$lazylog"
  cat >"$w/lazyfs.toml" <<EOF
[faults]
fifo_path="$fifo"
[cache]
apply_eviction=false
[cache.simple]
custom_size="${POWERCUT_CACHE:-64mb}"
blocks_per_page=1
[filesystem]
log_all_operations=$1
logfile="$lazylog"
${2:-}
EOF
  # In a subshell, so that its crash (SIGKILL, or SIGABRT when unmounted) is no job notice.
  ("$LAZYFS" "$mnt" --config-path "$w/lazyfs.toml" -f -o allow_other -o modules=subdir -o subdir="$root" \
    >"$w/lazyfs.out" 2>&1
  exit 0) 2>/dev/null &
  lazy_pid=$!
  local i
  for ((i = 0; i < 500; i++)); do
    mountpoint -q "$mnt" && return 0
    kill -0 "$lazy_pid" 2>/dev/null || break
    sleep 0.02
  done
  cat "$w/lazyfs.out" >&2
  echo "powercut: LazyFS did not mount" >&2
  exit 1
}

alive() { [ -n "$lazy_pid" ] && kill -0 "$lazy_pid" 2>/dev/null && mountpoint -q "$mnt"; }

unmount_fs() {
  [ -n "$lazy_pid" ] || return 0
  fusermount3 -u "$mnt" 2>/dev/null || fusermount3 -uz "$mnt" 2>/dev/null || true
  wait "$lazy_pid" 2>/dev/null || true
  lazy_pid=
}

# command_fs COMMAND ACK: writes to LazyFS's fifo and waits for ACK in its log.
command_fs() {
  local before i
  before=$(grep -c -- "$2" "$lazylog" || true)
  echo "$1" >"$fifo"
  for ((i = 0; i < 500; i++)); do
    [ "$(grep -c -- "$2" "$lazylog" || true)" -gt "$before" ] && return 0
    sleep 0.01
  done
  echo "powercut: LazyFS did not acknowledge $1" >&2
  return 1
}

power_cut() { command_fs lazyfs::clear-cache 'clear-cache'; }

# --- The machine ----------------------------------------------------------------------

# Every path outside PELMOBAK with its kind and mode, then the sha256 of every file;
# FUSE's own .fuse_hidden files aside.
snapshot() {
  (cd "$mnt" &&
    find m c -name PELMOBAK -prune -o ! -name '.fuse_hidden*' -printf '%y %m %p %l\n' | LC_ALL=C sort &&
    find m c -name PELMOBAK -prune -o -type f ! -name '.fuse_hidden*' -print0 | LC_ALL=C sort -z |
    xargs -0 -r sha256sum)
}

work_files() { find "$mnt" -name '.pelmo-*' ! -name '.fuse_hidden*' 2>/dev/null; }

locks_free() {
  local lock
  while IFS= read -r lock; do
    flock -n "$lock" true || return 1
  done < <(find "$mnt/c" -path '*PELMOBAK*' -name LOCK 2>/dev/null)
}

run_pelmo() { timeout 120 "$pelmo" "$@" --package "$mnt/p" --machine "$mnt/m" </dev/null; }

# The command a scenario interrupts.
scenario_run() {
  case $1 in
    recovery) run_pelmo --recover --target 'C:\KORIMU' ;;
    undo | undo2) run_pelmo --undo ;;
    force) run_pelmo --undo --force ;;
    *) run_pelmo --unattended ;;
  esac
}

# The demo machine in short folders: m the machine, c its drive C:, p the package
# (drive A:).
fresh_demo() {
  rm -rf "$root" && mkdir -p "$root"
  cp -a "$repo/examples/machine" "$root/m"
  mv "$root/m/drive_c" "$root/c"
  ln -sfn ../../c "$root/m/dosdevices/c:"
  ln -sfn ../../p "$root/m/dosdevices/a:"
  cp -a "$w/full-package" "$root/p"
}

# Leaves ROOT as the scenario starts; the references of a recovery are the demo's.
setup_scenario() {
  fresh_demo
  case $1 in
    cancel) rm -rf "$root/p/KORIMU.EXE" "$root/p/readme.txt" "$root/p/DISK2" ;;
    damaged)
      local archive=$root/p/ZUMEN.lzh size
      size=$(stat -c %s "$archive")
      printf 'broken data' | dd of="$archive" bs=1 seek=$((size / 2)) conv=notrunc status=none
      ;;
    repeat | undo | force)
      mount_fs false
      run_pelmo --unattended >/dev/null || true
      unmount_fs
      # A file the user changed after the upgrade, which only --force takes back.
      [ "$1" != force ] || printf 'changed since\r\n' >>"$root/c/KORIMU/KORIMU.EXE"
      ;;
    undo2)
      # Two upgrades, the second taken back already: the undo reaches the first.
      mount_fs false
      run_pelmo --unattended >/dev/null || true
      unmount_fs
      printf 'second upgrade\r\n' >>"$root/p/readme.txt"
      mount_fs false
      run_pelmo --unattended >/dev/null || true
      run_pelmo --undo >/dev/null || true
      unmount_fs
      ;;
    recovery)
      mount_fs false
      command_fs 'lazyfs::crash::timing=after::op=rename::from_rgx=pelmo::to_rgx=/KORIMU/KORIMU\.EXE$' 'VALID crash'
      run_pelmo --unattended >/dev/null 2>&1 || true
      unmount_fs
      find "$root" -name JOURNAL | grep -q . || { echo "powercut: no interrupted run to recover" >&2; exit 1; }
      ;;
  esac
  rm -rf "$w/start-$1" && cp -a "$root" "$w/start-$1"
}

restore_start() { rm -rf "$root" && cp -a "$w/start-$1" "$root"; }

# The uncut run: references before and after, and the points from its operation log.
reference() {
  local s=$1
  if [ "$s" = recovery ]; then
    cp "$w/before-demo" "$w/before-$s"
    cp "$w/after-demo" "$w/after-$s"
  fi
  setup_scenario "$s"
  mount_fs true
  [ "$s" = recovery ] || snapshot >"$w/before-$s"
  local status=0
  scenario_run "$s" >"$w/uncut-$s.out" 2>&1 || status=$?
  [ "$s" = recovery ] || snapshot >"$w/after-$s"
  cp "$lazylog" "$w/ops-$s.log"
  find "$root" -name DONE -printf '%s\n' | head -1 >"$w/journal-size-$s"
  power_cut
  if ! cmp -s <(snapshot) "$w/after-$s"; then
    echo "FAIL $s: a power cut right after the uncut run (exit $status) changed its result" >&2
    diff <(snapshot) "$w/after-$s" | head -20 >&2 || true
    failures=$((failures + 1))
  fi
  unmount_fs
  extract_points "$s"
  local hidden toolong
  read -r hidden toolong <"$w/hidden-$s"
  printf '%-9s uncut exit %d, %d operations, %d points; not singled out: %d later operations of a point,' "$s" \
    "$status" "$(grep -c 'lazyfs.ops' "$w/ops-$s.log")" "$(($(wc -l <"$w/points-$s") * 2))" "$hidden"
  printf ' %d paths too long for a command\n' "$toolong"
}

# Points: "op<TAB>pattern" for the first operation of each kind on each path. A
# pattern is the shortest tail of the path that no other path of the same kind of
# operation in the run ends with, run ids and mkstemp names matching any: LazyFS
# reads at most 99 bytes of a command. A later operation of the same kind on a path
# of the same pattern cannot be singled out (a crash fires at the first match), nor
# a point whose command would be longer; both are counted.
extract_points() {
  local s=$1
  # A run that changes nothing (as a broken one may) has no points.
  { grep -o 'lfs_\(write\|fsync\|create\|unlink\|rename\|link\|truncate\|symlink\)(.*' "$w/ops-$s.log" || true; } |
    awk -v root="$root/" '
      function general(path,   p) {
        p = substr(path, length(root))
        gsub(/[][\\.^$|(){}*+?]/, "\\\\&", p)
        gsub(hex, ".{16}", p)
        if (match(p, /\\\.pelmo-[^\/]*$/))  # no backslash in a replacement: awks differ there
          p = substr(p, 1, RSTART - 1) "\\.pelmo-.*"
        return p "$"
      }
      BEGIN { for (i = 0; i < 16; i++) hex = hex "[0-9a-f]" }
      {
        op = $0; sub(/^lfs_/, "", op); sub(/\(.*/, "", op)
        line = $0; sub(/\)$/, "", line)
        if (sub(/^[a-z_]*\(from=/, "", line)) {
          split(line, ft, ",to="); path = ft[2]
        } else if (sub(/^[a-z_]*\(path=/, "", line)) {
          sub(/,(size|mode|isdatasync)=.*$/, "", line); path = line
        } else next
        if (index(path, root) != 1) next
        key = op "\t" general(path)
        if (key in seen) { hidden++; next }
        seen[key] = ++n; order[n] = key
      }
      END {
        for (i = 1; i <= n; i++) {
          split(order[i], f, "\t"); op = f[1]; full = f[2]
          # the shortest tail starting at a "/" that ends no other path of this op
          tail = full
          for (at = length(full); at > 0; at--) {
            if (substr(full, at, 1) != "/") continue
            cand = substr(full, at); unique = 1
            for (j = 1; j <= n && unique; j++) {
              if (j == i) continue
              split(order[j], g, "\t")
              if (g[1] == op && length(g[2]) >= length(cand) && substr(g[2], length(g[2]) - length(cand) + 1) == cand)
                unique = 0
            }
            if (unique) { tail = cand; break }
          }
          multi = op == "rename" || op == "link" || op == "symlink"
          command = "lazyfs::crash::timing=before::op=" op "::from_rgx=" (multi ? ".::to_rgx=" : "") tail
          if (length(command) > 99) { toolong++; continue }
          print op "\t" tail
        }
        print hidden + 0, toolong + 0 > "/dev/stderr"
      }' >"$w/points-$s" 2>"$w/hidden-$s"
}

# --- Trials ------------------------------------------------------------------------------


fail() {
  echo "FAIL $trial_name: $*" >&2
  failures=$((failures + 1))
  if [ -n "${POWERCUT_KEEP:-}" ]; then
    rm -rf "$w/failed-$failures" && cp -a "$root" "$w/failed-$failures"
  fi
}

# After a cut: recover, then check the machine; each step survives a power cut.
check_after_cut() {
  local s=$1 status=0
  # The following run reads the whole demo package, whatever the scenario's was.
  rm -rf "$root/p" && cp -a "$w/full-package" "$root/p"
  mount_fs false
  run_pelmo --recover --target 'C:\KORIMU' >"$w/recover.out" 2>&1 || status=$?
  [ "$status" = 0 ] || { fail "--recover exit $status: $(head -c 300 "$w/recover.out")"; unmount_fs; return; }
  power_cut
  snapshot >"$w/now"
  if ! cmp -s "$w/now" "$w/before-$s" && ! cmp -s "$w/now" "$w/after-$s"; then
    fail "neither all before nor all after:"$'\n'"$(diff "$w/now" "$w/after-$s" | head -12)"
  fi
  [ -z "$(work_files)" ] || fail "work files left: $(work_files | head -3)"
  locks_free || fail "a lock is held"
  status=0
  run_pelmo --unattended >"$w/next.out" 2>&1 || status=$?
  power_cut
  [ "$status" = 0 ] || fail "the following run exit $status: $(head -c 300 "$w/next.out")"
  [ -z "$(work_files)" ] || fail "work files left by the following run"
  status=0
  run_pelmo --undo >"$w/undo.out" 2>&1 || status=$?
  power_cut
  [ "$status" = 0 ] || fail "its undo exit $status: $(head -c 300 "$w/undo.out")"
  cmp -s <(snapshot) "$w/now" || fail "the undo of the following run did not give back the recovered state"
  [ -z "$(work_files)" ] || fail "work files left by the undo"
  unmount_fs
}

# begin_trial SCENARIO NAME [INJECTION]: counts the trial and mounts the scenario's
# start, with the torn write INJECTION in LazyFS's config when given.
begin_trial() {
  trial_name=$2
  trials=$((trials + 1))
  ((trials % 50)) || echo "... $trials trials, $failures failed, $(($(date +%s) - start)) s"
  restore_start "$1"
  mount_fs false "${3:-}"
}

# cut_trial SCENARIO TIMING OP PATTERN: one cut at a point of the uncut run. A
# rename or link is singled out by where it goes: LazyFS ignores its source.
cut_trial() {
  local s=$1 timing=$2 op=$3 pattern=$4 cmd
  begin_trial "$s" "$s $timing $op $pattern"
  cmd="lazyfs::crash::timing=$timing::op=$op::from_rgx="
  case $op in rename | link | symlink) cmd+=".::to_rgx=$pattern" ;; *) cmd+="$pattern" ;; esac
  command_fs "$cmd" 'VALID crash'
  scenario_run "$s" >"$w/cut.out" 2>&1 || true
  if alive; then
    # The uncut run reached it: a pattern that matches nothing is the runner's fault.
    missed=$((missed + 1))
    fail "the point was not reached"
    power_cut
  fi
  unmount_fs
  check_after_cut "$s"
}

# A power cut right after the whole run.
end_trial() {
  local s=$1
  begin_trial "$s" "$s end"
  scenario_run "$s" >"$w/cut.out" 2>&1 || true
  power_cut
  unmount_fs
  check_after_cut "$s"
}

# torn_trial SCENARIO NAME INJECTION: a torn write set in the config; the record
# torn must read as absent.
torn_trial() {
  local s=$1
  begin_trial "$s" "$s torn $2" "$3"
  scenario_run "$s" >"$w/cut.out" 2>&1 || true
  if alive; then
    missed=$((missed + 1))
    echo "note: $trial_name did not happen" >&2
    power_cut
  fi
  unmount_fs
  check_after_cut "$s"
}

# The journal's path holds the run id: the run is stopped at its first work file,
# the tear of the journal's one write is set for that id, and the run goes on.
journal_trial() {
  local s=$1 parts=$2 persist=$3 pid id i
  trial_name="$s torn journal parts=$parts persist=$persist"
  trials=$((trials + 1))
  restore_start "$s"
  mount_fs false
  scenario_run "$s" >"$w/cut.out" 2>&1 &
  pid=$!
  id=
  for ((i = 0; i < 5000; i++)); do
    id=$(find "$root/c" -name '.pelmo-*' -printf '%f\n' 2>/dev/null | head -1 | cut -d- -f2)
    [ -z "$id" ] || break
    sleep 0.002
  done
  [ -z "$id" ] || kill -STOP "$pid" 2>/dev/null || true
  local journal
  journal=$(find "$root/c" -name PELMOBAK -printf '%p\n' | head -1)/$id/JOURNAL
  local cmd="lazyfs::torn-op::file=$journal::parts=$parts::persist=$persist" torn=
  if [ -n "$id" ] && [ ${#cmd} -le 99 ]; then
    command_fs "$cmd" 'configured successfully' && torn=1
  else
    echo "note: $trial_name: no run id, or the command is too long" >&2
  fi
  kill -CONT "$pid" 2>/dev/null || true
  wait "$pid" || true
  if alive; then
    missed=$((missed + 1))
    torn=
    echo "note: $trial_name did not happen" >&2
    power_cut
  fi
  unmount_fs
  check_after_cut "$s"
  # A journal torn before it was whole is absent: the run is rolled back.
  if [ -n "$torn" ] && ! cmp -s "$w/now" "$w/before-$s"; then
    fail "a torn journal was taken for a whole one"
  fi
}

# --- Main --------------------------------------------------------------------------

start=$(date +%s)
failures=0
trials=0
missed=0
cp -a "$repo/examples/package" "$w/full-package"
chmod a-w "$w/full-package/readme.txt"
all=()
for s in demo "${scenarios[@]}"; do
  [ -f "$w/points-$s" ] && continue
  reference "$s"
done
for s in "${scenarios[@]}"; do
  while IFS=$'\t' read -r op pattern; do
    for timing in before after; do
      all+=("$s"$'\t'"$timing"$'\t'"$op"$'\t'"$pattern")
    done
  done <"$w/points-$s"
done
echo "${#all[@]} distinct points in ${#scenarios[@]} scenarios"

chosen=("${all[@]}")
if [ "$mode" = short ]; then
  # Every ninth point: a spread over every scenario.
  chosen=()
  for ((i = 0; i < ${#all[@]}; i += ${POWERCUT_STRIDE:-9})); do chosen+=("${all[i]}"); done
fi
for point in "${chosen[@]}"; do
  IFS=$'\t' read -r s timing op pattern <<<"$point"
  cut_trial "$s" "$timing" "$op" "$pattern"
done
for s in "${scenarios[@]}"; do end_trial "$s"; done

# Torn writes: the staging record's header with its first line, one line, and the journal.
if [[ " ${scenarios[*]} " == *" demo "* ]]; then
  record=$root/c/KORIMU/PELMOBAK/STAGING
  for persist in '[1]' '[2]'; do
    torn_trial demo "record seq $persist" "[[injection]]
type=\"torn-seq\"
op=\"write\"
file=\"$record\"
persist=$persist
occurrence=1"
  done
  for persist in '[1]' '[1,3]' '[2,3]'; do
    torn_trial demo "record line $persist" "[[injection]]
type=\"torn-op\"
file=\"$record\"
parts=3
persist=$persist
occurrence=3"
  done
  # The journal is written at once: kept in part (parts of equal size, the
  # listed ones reach the disk); a path longer than a command allows is skipped.
  for tear in 2:1 2:2 3:1,3 9:1,3 9:2,9 9:9; do
    journal_trial demo "${tear%%:*}" "${tear#*:}"
  done
fi

if [ "$mode" = long ]; then
  while ((trials < limit)); do
    IFS=$'\t' read -r s timing op pattern <<<"${all[RANDOM % ${#all[@]}]}"
    cut_trial "$s" "$timing" "$op" "$pattern"
  done
fi

echo "powercut: $trials trials ($mode), ${#all[@]} distinct points, $missed not reached, $failures failed," \
  "$(($(date +%s) - start)) s"
[ "$failures" = 0 ]
