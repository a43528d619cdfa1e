#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each one for a
# while on a copy of its seed corpus; any crash, leak, timeout or sanitizer report
# fails the run.
#
#   bash scripts/fuzz.sh [--long] [target...]
#
#   FUZZ_SECONDS         seconds per target (default 30; 300 with --long)
#   FUZZ_SECONDS_<name>  seconds for one target, e.g. FUZZ_SECONDS_lha_archive=600
#   PELMO_FUZZ_BUILD     build folder (default build-fuzz)
#
# --long also keeps the grown corpora and prints a table of executions, coverage
# (libFuzzer's cov: and ft:) and findings per target, for docs/reliability.md.
# Results, logs and reproducers go to <build>/fuzz-results/<time>/; the committed
# corpus in fuzz/corpus/ is never written.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

all_targets=(package_info profile registry dib_file lha_archive uninstall_string lha_pack)
long=false
targets=()
for arg in "$@"; do
  case $arg in
    --long) long=true ;;
    -*) echo "usage: $0 [--long] [target...]" >&2; exit 2 ;;
    *)
      if [[ " ${all_targets[*]} " != *" $arg "* ]]; then
        echo "fuzz: no target '$arg' (targets: ${all_targets[*]})" >&2
        exit 2
      fi
      targets+=("$arg") ;;
  esac
done
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
default_seconds=30
$long && default_seconds=300
seconds=${FUZZ_SECONDS:-$default_seconds}

# clang with its libFuzzer runtime, and what the libraries need to build.
missing=()
for package in cmake ninja-build pkg-config clang libclang-rt-14-dev libarchive-dev liblhasa-dev; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "fuzz: run as root to install ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

build=${PELMO_FUZZ_BUILD:-build-fuzz}
echo "== Building the fuzz targets ($build/)"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DPELMO_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

results=$repo/$build/fuzz-results/$(date -u +%Y%m%dT%H%M%SZ)
mkdir -p "$results"
# Each target builds its machine in TMPDIR; a crashed one leaves it behind there.
export TMPDIR=$results/tmp
mkdir -p "$TMPDIR"
# Filling every new allocation with a pattern costs about half the speed of the
# profile target and finds nothing the sanitizers would not.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:max_malloc_fill_size=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# The last value libFuzzer printed for a field ("cov:", "ft:") or a final stat.
last_field() { grep -o "$1 [0-9]*" "$2" | tail -n 1 | awk '{print $2}'; }
final_stat() { sed -n "s/^stat::$1: *//p" "$2" | tail -n 1; }

# Longest inputs where the default (4096 bytes, or the largest seed) only slows
# a target down: a profile edit concerns a line or two, and an Uninstall value
# longer than 255 bytes is unreadable anyway.
declare -A max_len=([profile]=1024 [uninstall_string]=512)

failed=()
rows=()
total=0
for target in "${targets[@]}"; do
  per_target=FUZZ_SECONDS_$target
  time=${!per_target:-$seconds}
  corpus=$results/corpus/$target
  log=$results/$target.log
  mkdir -p "$corpus"
  cp -r "fuzz/corpus/$target/." "$corpus/"
  options=(-max_total_time="$time" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
           -artifact_prefix="$results/$target-")
  [ -f "fuzz/dict/$target.dict" ] && options+=(-dict="fuzz/dict/$target.dict")
  [ -n "${max_len[$target]:-}" ] && options+=(-max_len="${max_len[$target]}")
  echo "== $target: ${time}s"
  # One process, one worker: the machine is shared.
  status=0
  "$build/fuzz/fuzz_$target" "${options[@]}" "$corpus" >"$log" 2>&1 || status=$?
  # A report counts even if the exit status hid it.
  if [ "$status" -ne 0 ] || grep -qE '^==[0-9]+==ERROR|runtime error:|^SUMMARY: |invariant broken' "$log"; then
    failed+=("$target")
    finding=$(grep -m1 -E '^==[0-9]+==ERROR|runtime error:|invariant broken|ERROR: libFuzzer' "$log" || echo "exit status $status")
    echo "   FAILED: $finding"
    ls "$results/$target-"* 2>/dev/null | sed 's/^/   reproducer: /' || true
    echo "   log: $log"
    tail -n 40 "$log" | sed 's/^/   | /'
  else
    finding=none
  fi
  execs=$(final_stat number_of_executed_units "$log")
  cov=$(last_field cov: "$log")
  ft=$(last_field ft: "$log")
  units=$(find "$corpus" -type f | wc -l)
  echo "   executions ${execs:-?}, cov ${cov:-?}, ft ${ft:-?}, corpus $units files"
  total=$((total + ${execs:-0}))
  rows+=("| $target | $time | ${execs:-?} | ${cov:-?} | ${ft:-?} | $units | $finding |")
done

if $long; then
  {
    echo "Commit $(git rev-parse --short HEAD 2>/dev/null || echo unknown), $(date -u +%Y-%m-%d), FUZZ_SECONDS=$seconds"
    echo
    echo "| Target | Seconds | Executions | cov | ft | Corpus files | Findings |"
    echo "|---|---|---|---|---|---|---|"
    printf '%s\n' "${rows[@]}"
    echo "| all | | $total | | | | |"
  } | tee "$results/summary.md"
else
  rm -rf "$results/corpus"
fi
rm -rf "$TMPDIR"

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}; reproducers and logs in $results" >&2
  exit 1
fi
echo "fuzz: no findings ($results)"
