#!/usr/bin/env bash
# Renders the README's screenshots from the demo package under Qt's offscreen
# platform: scripts/screenshots.sh [FOLDER] (default docs/screenshots). The build
# folder is $PELMO_SCREENSHOTS_BUILD, else build-screenshots; an existing one keeps
# its settings and only gains the screenshot program.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$repo/docs/screenshots}")
build=$(realpath -m "${PELMO_SCREENSHOTS_BUILD:-$repo/build-screenshots}")
cd "$repo"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMO_BUILD_TESTS=OFF >/dev/null
fi
cmake -S . -B "$build" -DPELMO_SCREENSHOTS=ON >/dev/null
cmake --build "$build" --target pelmo_screenshots -j"$(nproc)" >/dev/null
QT_QPA_PLATFORM=offscreen "$build/scripts/pelmo_screenshots" "$out"
