#!/usr/bin/env bash
# How long the wizard takes to take a run back: the demo package with many
# drawings on a virtual screen (Xvfb), the wizard led to the disk prompt by
# keys (xdotool), the prompt cancelled; measured from the key that closes the
# run's cancelled message to the window of the message that follows it,
# "ｱｯﾌﾟﾃﾞｲﾄ前の状態に戻しました。". Not a test: it prints the times.
#
#   bash bench/cancel_time.sh PELMO [DRAWINGS] [TRIALS]
#
# PELMO_WM names a window manager to run on the screen (openbox), else none.
# Needs xvfb and xdotool (Debian packages of those names), lha for the drawings.
set -euo pipefail
pelmo=$(realpath "$1")
drawings=${2:-2000}
trials=${3:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/pelmo-cancel-XXXXXX")
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
export DISPLAY=$display
sleep 1
if [ -n "${PELMO_WM:-}" ]; then
  "$PELMO_WM" >/dev/null 2>&1 &
  wm=$!
  trap 'kill $wm $xvfb 2>/dev/null; rm -rf "$work"' EXIT
  sleep 1
fi
cp -a "$root/examples/package" "$work/package"
bash "$root/examples/drawings.sh" "$drawings" "$work/package/ZUMEN.lzh"

# The ids of the visible message boxes (caption 確認), one a line.
boxes() { xdotool search --onlyvisible --name '^確認$' 2>/dev/null | sort || true; }
# Waits until a box that is not one of $1 shows, and prints its id.
new_box() {
  local known=$1 id
  while :; do
    for id in $(boxes); do
      grep -qx "$id" <<<"$known" || { echo "$id"; return; }
    done
    sleep 0.005
  done
}
now() { date +%s.%N; }

for trial in $(seq "$trials"); do
  rm -rf "$work/machine"
  cp -a "$root/examples/machine" "$work/machine"
  "$pelmo" --package "$work/package" --machine "$work/machine" >/dev/null 2>&1 &
  wizard=$!
  # Start, destination and confirmation dialogs: each takes Enter.
  for page in 1 2 3; do
    sleep 1.5
    xdotool key --clearmodifiers Return
  done
  prompt=$(new_box "")
  sleep 0.3
  xdotool key --clearmodifiers Escape
  cancelled=$(new_box "$prompt")
  sleep 0.3
  start=$(now)
  xdotool key --clearmodifiers Return
  final=$(new_box "$(printf '%s\n%s' "$prompt" "$cancelled")")
  end=$(now)
  printf 'trial %d: %.2f s from closing the cancelled message to the next message\n' "$trial" \
    "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')"
  sleep 0.3
  xdotool key --clearmodifiers Return
  wait "$wizard" || true
done
