#!/usr/bin/env bash
# CPU use of the eight robot windows under a virtual X server with the software renderer: every
# joint of every window moving, then nothing moving. Prints the program's own CPU use (what the
# targets are about) and the X server's beside it. Needs a build with robotview_demo.
# Usage: bench/robotview/eight_windows.sh [SECONDS] [WxH]   (default 10 s each, 1240x700)
set -euo pipefail
cd "$(dirname "$0")/../.."
BIN=${BUILD_DIR:-build}/bin
SECONDS_EACH=${1:-10}
SIZE=${2:-1240x700}
[ -x "$BIN/robotview_demo" ] || { echo "eight_windows: $BIN/robotview_demo is missing; build first" >&2; exit 1; }
command -v Xvfb >/dev/null || { echo "eight_windows: Xvfb is missing (scripts/install-deps)" >&2; exit 1; }

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
run() {
  local fifo display xpid before after
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
  xpid=$!
  read -r display <"$fifo"
  rm -f "$fifo"
  before=$(cpu_ticks "$xpid")
  local start=$SECONDS
  DISPLAY=:$display QT_QPA_PLATFORM=xcb "$BIN/robotview_demo" "$@" --size "$SIZE" --seconds "$SECONDS_EACH" 2>/dev/null
  after=$(cpu_ticks "$xpid")
  kill "$xpid"
  wait "$xpid" 2>/dev/null || true
  awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v s=$((SECONDS - start)) \
    'BEGIN { printf "  X server: %.3f of a core (whole run, start-up included)\n", t / hz / s }'
}
echo "every joint moving:"
run --sweep
echo "nothing moving:"
run --still
