#!/usr/bin/env bash
# Renders the wizard's pictures from the demo package: scripts/screenshots.sh
# [FOLDER] (default docs/screenshots). First under Qt's offscreen platform (the
# README's pictures), then, when Xvfb is installed, every dialog, a message box
# and the progress window in real windows on a virtual screen, without a window
# manager and with openbox, into FOLDER/xvfb-none and FOLDER/xvfb-openbox. The screen size is
# $PELMO_SCREENSHOTS_SIZE (default 1024x768). The build folder is
# $PELMO_SCREENSHOTS_BUILD, else build-screenshots; an existing one keeps its
# settings and only gains the screenshot program.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$repo/docs/screenshots}")
build=$(realpath -m "${PELMO_SCREENSHOTS_BUILD:-$repo/build-screenshots}")
size=${PELMO_SCREENSHOTS_SIZE:-1024x768}
cd "$repo"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMO_BUILD_TESTS=OFF >/dev/null
fi
cmake -S . -B "$build" -DPELMO_SCREENSHOTS=ON >/dev/null
cmake --build "$build" --target pelmo_screenshots -j"$(nproc)" >/dev/null
shots=$build/scripts/pelmo_screenshots
QT_QPA_PLATFORM=offscreen "$shots" "$out"

if ! command -v Xvfb >/dev/null; then
  echo "screenshots: no Xvfb (apt-get install xvfb openbox): real windows skipped" >&2
  exit 0
fi
# Each run gets its own virtual screen; only what this script started is stopped.
pids=()
cleanup() { for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT
display=:$((90 + RANDOM % 400))
Xvfb "$display" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
for wm in none openbox; do
  if [ "$wm" = openbox ]; then
    if ! command -v openbox >/dev/null; then
      echo "screenshots: no openbox: pictures with a window manager skipped" >&2
      break
    fi
    DISPLAY=$display openbox >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
  fi
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$shots" --screen "$out/xvfb-$wm"
done
