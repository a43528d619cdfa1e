#!/usr/bin/env bash
# The demo: builds pelmo, packs the demo package from its source (examples/source,
# `pelmo pack`) and checks it, shows the plan of the upgrade (an unattended dry run)
# on a fresh copy of the demo package and machine (examples/), runs it (the wizard
# when a display is present, with a package large enough to show the run's
# progress, else unattended) and shows its install log, then runs it a second
# time on the same copy and checks from that run's log that nothing more changes.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/install-deps.sh

echo "== Building pelmo (Release, build/)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMO_BUILD_TESTS=OFF >/dev/null
cmake --build build --target pelmo -j"$(nproc)" >/dev/null
pelmo=$repo/build/app/pelmo

demo=$(mktemp -d "${TMPDIR:-/tmp}/pelmo-demo-XXXXXX")
cp -a examples/source examples/machine "$demo/"
drive_c=$demo/machine/drive_c
run_log=$drive_c/KORIMU/PELMOBAK/PELMO.LOG

# Every path of the demo with its kind, mode and size, then the sha256 of every file.
snapshot() {
  (cd "$demo" &&
    find package machine -printf '%y %m %s %p\n' | LC_ALL=C sort &&
    find package machine -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum)
}

# Thousands of sample drawings would fill the screen: the first three stand for them.
shorten() { awk '/ZUMEN\\ZU[0-9]/ && ++drawings > 3 { if (drawings == 4) print "  …"; next } { print }'; }

# Runs pelmo with the given arguments after printing its command line.
run() {
  echo "\$ pelmo $*"
  set +e
  "$pelmo" "$@" | shorten
  status=${PIPESTATUS[0]}
  set -e
  echo "exit status $status"
}
common=(--package "$demo/package" --machine "$demo/machine")
first_mode=unattended
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${PELMO_DEMO_UNATTENDED:-}" ]; then
  first_mode=wizard
fi

# The package's few sample drawings install in a blink. On a display the demo
# ships thousands instead, so that the run lasts a few seconds and shows its
# progress window; PELMO_DEMO_DRAWINGS sets how many (the package's own 3 with 0).
drawings=${PELMO_DEMO_DRAWINGS:-}
[ -n "$drawings" ] || { [ "$first_mode" = wizard ] && drawings=8000 || drawings=0; }
disk_size=()
if [ "$drawings" -gt 0 ]; then
  echo
  echo "== Making $drawings sample drawings for the package (zumen/ of its source)"
  bash examples/drawings.sh "$drawings" "$demo/source/zumen/"
  # Thousands of drawings fill more than a floppy; the demo's disks are folders.
  disk_size=(--disk-size 104857600)
fi

# Git keeps no file times, which pack puts into the archives: a fixed one gives
# the same package bytes on every run.
find "$demo/source" -exec touch -h -d '2001-02-03 04:05:06 UTC' {} +

echo
echo "== Packing the demo package from $demo/source (both disks in one folder, as on the floppy drive A:)"
echo "\$ pelmo pack ${disk_size[*]:+${disk_size[*]} }--one-folder $demo/source $demo/package"
"$pelmo" pack "${disk_size[@]}" --one-folder "$demo/source" "$demo/package"
echo "\$ pelmo check --package $demo/package"
"$pelmo" check --package "$demo/package"
echo "nothing found"
(cd "$demo/package" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum | sha256sum | cut -c1-16 |
  sed 's/^/package digest /')
# The package ships this file read-only, which pack does not carry over.
chmod a-w "$demo/package/readme.txt"

echo
echo "== The plan: a dry run on $demo"
snapshot > "$demo/before"
run --unattended --dry-run "${common[@]}"
dry_status=$status
if snapshot | cmp -s - "$demo/before"; then
  echo "the dry run changed nothing: the package and the machine byte for byte as before"
  dry_changed=0
else
  echo "the dry run changed files:"
  snapshot | diff "$demo/before" - | sed -n 's/^[<>] /  /p'
  dry_changed=1
fi

echo
echo "== The upgrade"
if [ "$first_mode" = wizard ]; then
  run "${common[@]}"
else
  run --unattended "${common[@]}"
fi
first_status=$status

echo
echo "== Its install log, C:\\KORIMU\\PELMOBAK\\PELMO.LOG (code page 932, shown in UTF-8)"
if [ -f "$run_log" ]; then
  iconv -f CP932 -t UTF-8 "$run_log" | tr -d '\r' | tee "$demo/first.log" | sed 's/^/  /' | shorten
else
  echo "  none: the run committed nothing"
  : > "$demo/first.log"
fi

echo
echo "== Second run on the same copy, logged to $demo/second.log"
run --unattended --log "$demo/second.log" "${common[@]}"
second_status=$status
# Nothing more changes when every file the run writes has the size and CRC-32
# the first run gave it, no settings key takes a new value and no master record
# is converted again.
file_lines() { grep -E '^(added|replaced) ' "$1" | sed 's/^[a-z]* //' | sort; }
again=$( (comm -13 <(file_lines "$demo/first.log") <(file_lines "$demo/second.log") | sed 's/^/file /'
          grep '^settings ' "$demo/second.log"
          grep '^converted ' "$demo/second.log" | grep -v ' 0 records$') || true)
if [ -z "$again" ]; then
  echo "nothing changed: the files as the first run left them, the title was extended once, the conversions are idempotent"
  changed=0
else
  echo "changed by the second run:"
  echo "$again" | sed 's/^/  /'
  changed=1
fi

echo
echo "Demo folder (left for inspection): $demo"
if [ "$dry_status" -ne 0 ] || [ "$dry_changed" -ne 0 ] || [ "$first_status" -ne 0 ] ||
   [ "$second_status" -ne 0 ] || [ "$changed" -ne 0 ]; then
  echo "demo.sh: the demo did not go as expected" >&2
  exit 1
fi
