#!/bin/sh
# Times "tessaban motion restore" against kz7sim paced at a real 57,600-baud line and checks it
# against the budget: 1.1 x the line time of the 65,537 bytes sent, plus the protocol's fixed
# waits. Also times the same restore on an unpaced simulator, which shows the fixed waits alone.
#
# Usage: bench/link/motion_restore_pace.sh [BUILD_DIR]   (default: build)
# Exit status 0 when the paced restore is within budget.
set -eu

BUILD=${1:-build}
BIN=$(cd "$BUILD/bin" && pwd)
WORK=$(mktemp -d /tmp/restore-bench.XXXXXX)
SIM=
cleanup() {
    [ -n "$SIM" ] && kill "$SIM" 2>/dev/null && wait "$SIM" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

export TESSABAN_PORTS="$WORK/ports"
head -c 65536 /dev/urandom > "$WORK/motion.mtn"

# Milliseconds since the epoch, without relying on GNU date's %N everywhere.
now_ms() { python3 -c 'import time; print(int(time.time() * 1000))'; }

run_restore() { # $1: pace (0 = none); prints elapsed ms
    if [ "$1" -gt 0 ]; then PACE="--pace $1"; else PACE=; fi
    # shellcheck disable=SC2086
    "$BIN/kz7sim" --com 41 --memory "$WORK/memory.bin" $PACE > "$WORK/sim.out" 2> "$WORK/sim.err" &
    SIM=$!
    for _ in 1 2 3 4 5 6 7 8 9 10; do [ -s "$WORK/sim.out" ] && break; sleep 0.1; done
    start=$(now_ms)
    status=0
    "$BIN/tessaban" motion restore --port COM41 --quiet "$WORK/motion.mtn" > "$WORK/out" 2>&1 || status=$?
    end=$(now_ms)
    # This runs in a command substitution: the simulator is ended here, not by the trap.
    kill "$SIM"; wait "$SIM" 2>/dev/null || true; SIM=
    if [ "$status" -ne 0 ]; then
        cat "$WORK/out" >&2
        exit 1
    fi
    echo $((end - start))
}

unpaced=$(run_restore 0) || exit 1
paced=$(run_restore 57600) || exit 1

# 65,537 bytes of 10 bits (start, 8 data, stop) at 57,600 baud.
line_ms=$((65537 * 10 * 1000 / 57600))
# The protocol's own sleeps on this path: connect (one probe), entering the boot loader (probe,
# leave-mode wait, probe, one block of '#'), the download (probe of the boot loader, "ld" reply,
# final reply, "app"), its return to the menu (probe, "go" wait, probe) and the disconnect probe.
fixed_ms=$((200 + 200 + 200 + 200 + 200 + 400 + 200 + 300 + 200 + 400 + 200 + 200 + 200))
budget_ms=$((line_ms * 11 / 10 + fixed_ms))

echo "line time of 65,537 bytes at 57,600 baud: ${line_ms} ms"
echo "protocol's fixed waits on this path:      ${fixed_ms} ms"
echo "restore, unpaced simulator:               ${unpaced} ms"
echo "restore, simulator paced at 57,600 baud:  ${paced} ms"
echo "budget (1.1 x line time + fixed waits):   ${budget_ms} ms"
if [ "$paced" -le "$budget_ms" ]; then
    echo "within budget"
else
    echo "OVER BUDGET" >&2
    exit 1
fi
