#!/usr/bin/env bash
# The guide checker passes the real guide and reports exactly the faults planted in the fixture
# (a missing page, a missing heading, three messages that are not ours), none of the good rows.
set -euo pipefail
source_dir=$1 python=$2
checker() { "$python" "$source_dir/tools/check-guide" "$@"; }

checker "$source_dir/docs/guide" "$source_dir/src"

set +e
out=$(checker "$source_dir/tests/guide/fixture" "$source_dir/src")
status=$?
set -e
printf '%s\n' "$out"
[ "$status" -eq 1 ] || { echo "expected status 1, got $status"; exit 1; }
expected="index.md:3: broken link nowhere.md
index.md:4: broken link index.md#no-such-part (no such heading)
index.md:12: message no longer in the programs: \"The robot was eaten by the cat.\"
index.md:13: message no longer in the programs: \"Cannot find a robot file! Please select another one.\"
index.md:14: message no longer in the programs: \"Can not open …, … baud!\""
actual=$(printf '%s\n' "$out" | sed 's|^.*/fixture/||')
[ "$actual" = "$expected" ] || { echo "unexpected report:"; diff <(echo "$expected") <(echo "$actual"); exit 1; }
echo "guide checks: ok"
