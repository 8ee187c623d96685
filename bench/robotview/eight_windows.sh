#!/usr/bin/env bash
# CPU use of the eight robot windows under a virtual X server with the software renderer: every
# joint of every window moving, then nothing moving. Needs a build with robotview_demo.
# Usage: bench/robotview/eight_windows.sh [SECONDS]   (default 10 each)
set -euo pipefail
cd "$(dirname "$0")/../.."
BIN=${BUILD_DIR:-build}/bin
SECONDS_EACH=${1:-10}
[ -x "$BIN/robotview_demo" ] || { echo "eight_windows: $BIN/robotview_demo is missing; build first" >&2; exit 1; }
run() {
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1200x24 -nolisten tcp" \
    "$BIN/robotview_demo" "$@" --seconds "$SECONDS_EACH" 2>/dev/null
}
echo "every joint moving: $(run --sweep)"
echo "nothing moving:     $(run --still)"
