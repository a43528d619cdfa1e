#!/usr/bin/env bash
# Runs window_actions (the program given) on a virtual screen under openbox. Exits
# 77, which ctest counts as skipped, when Xvfb, openbox or xprop is missing.
set -uo pipefail
program=$1
for tool in Xvfb openbox xprop xdpyinfo; do
  if ! command -v "$tool" >/dev/null; then
    echo "window actions: no $tool (apt-get install xvfb openbox x11-utils): skipped"
    exit 77
  fi
done
pids=()
work=$(mktemp -d)
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# Xvfb picks a free display itself: a guessed number may be another's screen.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
display=:$(head -n1 "$work/display")
if [ "$display" = : ]; then
  echo "window actions: Xvfb did not start" >&2
  exit 1
fi
DISPLAY=$display openbox >/dev/null 2>&1 &
pids+=($!)
# openbox announces itself on the root window once it manages the screen.
for _ in $(seq 50); do
  DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
DISPLAY=$display QT_QPA_PLATFORM=xcb "$program"
