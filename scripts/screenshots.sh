#!/usr/bin/env bash
# Renders the wizard's pictures from the demo package: scripts/screenshots.sh
# [FOLDER] (default docs/screenshots). First under Qt's offscreen platform (the
# README's pictures), then, when Xvfb is installed, every dialog, a message box
# and the progress window in real windows on virtual screens: without a window
# manager at 1024x768 (FOLDER/xvfb-none), and under openbox at 800x600, 1024x768
# and 1920x1080 (FOLDER/openbox-SIZE), and at 3840x2160 twice as large, once by
# QT_SCALE_FACTOR=2 and once by the X resource Xft.dpi: 192
# (FOLDER/openbox-3840x2160-scale2, -dpi192). Each picture is the whole screen;
# the program prints each window's size in device pixels. The build folder is
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
  echo "screenshots: no Xvfb (apt-get install xvfb openbox x11-utils x11-xserver-utils): real windows skipped" >&2
  exit 0
fi
# Each screen is its own Xvfb, on a display it picks itself; only what this
# script started is stopped.
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# shoot NAME SIZE WM [VARIABLE=VALUE] [xdpi]
shoot() {
  local name=$1 size=$2 wm=$3 setting=${4:-} dpi=${5:-}
  if [ "$wm" = openbox ] && ! command -v openbox >/dev/null; then
    echo "screenshots: no openbox: $name skipped" >&2
    return
  fi
  rm -f "$work/display"
  Xvfb -displayfd 3 -noreset -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
  local server=$!
  pids+=("$server")
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  local display=:$(head -n1 "$work/display")
  if [ -n "$dpi" ]; then
    echo "Xft.dpi: $dpi" | DISPLAY=$display xrdb -merge
  fi
  local manager=
  if [ "$wm" = openbox ]; then
    DISPLAY=$display openbox >/dev/null 2>&1 &
    manager=$!
    pids+=("$manager")
    for _ in $(seq 50); do
      DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
      sleep 0.1
    done
  fi
  echo "== $name"
  env DISPLAY="$display" QT_QPA_PLATFORM=xcb ${setting:+"$setting"} "$shots" --screen "$out/$name"
  [ -z "$manager" ] || kill "$manager" 2>/dev/null || true
  kill "$server" 2>/dev/null || true
}
shoot xvfb-none 1024x768 none
shoot openbox-800x600 800x600 openbox
shoot openbox-1024x768 1024x768 openbox
shoot openbox-1920x1080 1920x1080 openbox
shoot openbox-3840x2160-scale2 3840x2160 openbox QT_SCALE_FACTOR=2
if command -v xrdb >/dev/null; then
  shoot openbox-3840x2160-dpi192 3840x2160 openbox "" 192
else
  echo "screenshots: no xrdb (apt-get install x11-xserver-utils): Xft.dpi pictures skipped" >&2
fi
