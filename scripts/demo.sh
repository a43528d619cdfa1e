#!/usr/bin/env bash
# The demo: builds pelmo, runs the upgrade (the wizard when a display is present,
# else unattended) on a fresh copy of the demo
# package and machine (examples/), shows what changed, then runs it a second time on
# the same copy and checks that nothing more changes.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

bash scripts/install-deps.sh

echo "== Building pelmo (Release, build/)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMO_BUILD_TESTS=OFF >/dev/null
cmake --build build --target pelmo -j"$(nproc)" >/dev/null
pelmo=$repo/build/app/pelmo

demo=$(mktemp -d "${TMPDIR:-/tmp}/pelmo-demo-XXXXXX")
cp -a examples/package examples/machine "$demo/"
# The package ships this file read-only; git does not keep the mode.
chmod a-w "$demo/package/readme.txt"
drive_c=$demo/machine/drive_c
mkdir -p "$demo/before"

# sha256 and path of every file on drive C:, sorted by path.
snapshot() { (cd "$drive_c" && find . -type f -print0 | sort -z | xargs -0 -r sha256sum) | sed 's|  \./|  |'; }
# A host path below drive C: in the program's Windows form.
windows() { printf 'C:\\%s' "${1//\//\\}"; }

# The first run opens the wizard when there is a display to show it on; the
# check run after it is always unattended.
run() {
  local mode=${1:-unattended}
  set +e
  if [ "$mode" = wizard ]; then
    echo "\$ pelmo --package $demo/package --machine $demo/machine"
    "$pelmo" --package "$demo/package" --machine "$demo/machine"
  else
    echo "\$ pelmo --unattended --package $demo/package --machine $demo/machine"
    "$pelmo" --unattended --package "$demo/package" --machine "$demo/machine"
  fi
  status=$?
  set -e
  echo "exit status $status"
}
first_mode=unattended
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${PELMO_DEMO_UNATTENDED:-}" ]; then
  first_mode=wizard
fi

echo
echo "== First run on $demo"
snapshot > "$demo/before/files"
cp -a "$drive_c" "$demo/before/drive_c"
run "$first_mode"
first_status=$status
snapshot > "$demo/after-first"

echo
echo "== What changed on drive C:"
join -1 2 -2 2 -a 2 -e NONE -o 1.1,2.1,0 <(sort -k2 "$demo/before/files") <(sort -k2 "$demo/after-first") |
  while read -r old new path; do
    if [ "$old" = NONE ]; then
      echo "added     $(windows "$path")"
    elif [ "$old" != "$new" ]; then
      echo "replaced  $(windows "$path")"
    fi
  done

echo
echo "== Settings written to C:\\KORIMU\\korimu1.ini"
diff <(iconv -f CP932 -t UTF-8 "$demo/before/drive_c/KORIMU/korimu1.ini" | tr -d '\r') \
     <(iconv -f CP932 -t UTF-8 "$drive_c/KORIMU/korimu1.ini" | tr -d '\r') |
  sed -n 's/^> /  /p' || true  # diff exits 1 when the files differ

echo
echo "== Master files converted"
grep -i '\.mst$' "$demo/after-first" | while read -r hash path; do
  [ -f "$demo/before/drive_c/$path" ] || continue
  total=$(wc -l < "$drive_c/$path")
  changed=$(diff "$demo/before/drive_c/$path" "$drive_c/$path" | grep -c '^>' || true)
  [ "$changed" -eq 0 ] && continue
  echo "  $(windows "$path"): $changed of $total records changed"
done

echo
echo "== Second run on the same copy"
run
second_status=$status
snapshot > "$demo/after-second"
if diff -q "$demo/after-first" "$demo/after-second" >/dev/null; then
  echo "nothing changed: the title was extended once, the conversions are idempotent"
  changed=0
else
  echo "changed by the second run:"
  diff "$demo/after-first" "$demo/after-second" | sed -n 's/^> [0-9a-f]*  /  /p'
  changed=1
fi

echo
echo "Demo folder (left for inspection): $demo"
if [ "$first_status" -ne 0 ] || [ "$second_status" -ne 0 ] || [ "$changed" -ne 0 ]; then
  echo "demo.sh: the demo did not go as expected" >&2
  exit 1
fi
