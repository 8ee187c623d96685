#!/usr/bin/env bash
# CPU use of kz7sim-gui under a virtual X server with the software renderer: idle (nothing
# moving, line paced) and while a motion page with every joint moving plays on (a page that
# chains to itself). Prints the program's CPU as a share of one core over the measured span.
# Usage: bench/simwindow/sim_window_cpu.sh [SECONDS]   (default 10 s each)
set -euo pipefail
cd "$(dirname "$0")/../.."
BIN=${BUILD_DIR:-build}/bin
SPAN=${1:-10}
[ -x "$BIN/kz7sim-gui" ] && [ -x "$BIN/tessaban" ] || { echo "sim_window_cpu: build kz7sim-gui and tessaban first" >&2; exit 1; }
work=$(mktemp -d)
trap 'kill "${gui:-}" "${xpid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
export TESSABAN_PORTS=$work/ports XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config

fifo=$work/display
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$fifo" 2>/dev/null &
xpid=$!
read -r display <"$fifo"
export DISPLAY=:$display QT_QPA_PLATFORM=xcb
"$BIN/kz7sim-gui" --com 60 2>/dev/null &
gui=$!
for _ in $(seq 50); do [ -e "$TESSABAN_PORTS/COM60" ] && break; sleep 0.1; done
sleep 2

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
measure() {
  local before after
  before=$(ticks "$gui")
  sleep "$SPAN"
  after=$(ticks "$gui")
  awk -v t=$((after - before)) -v hz="$(getconf CLK_TCK)" -v s="$SPAN" -v what="$1" \
    'BEGIN { printf "%-22s %.3f of a core\n", what ":", t / hz / s }'
}
measure "idle"

# Page 9: two poses far apart for all 18 joints, chaining to itself, so it plays until ESC.
args=(motion page --port COM60 --open 9)
for pose in 300 700; do
  for id in $(seq 18); do args+=(--send "goto 0 $id" --send "set $pose"); done
  args+=(--send write)
done
args+=(--send "goto 9 14" --send "set 9" --send save)
"$BIN/tessaban" "${args[@]}" >/dev/null
device=$(readlink "$TESSABAN_PORTS/COM60")
exec 3<>"$device"
stty -F "$device" raw -echo
printf '\r' >&3          # the menu's highlight is on the editor after the command above
sleep 0.5
printf 'play 9\r' >&3
sleep 1
measure "playing, all joints"
printf '\033' >&3
exec 3>&-
