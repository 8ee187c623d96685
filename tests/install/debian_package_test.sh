#!/usr/bin/env bash
# The Debian package made from the build tree (as scripts/package makes it): its fields, its
# computed dependencies and every kind of file a desktop needs.
#   debian_package_test.sh BUILD_DIR VERSION GUI(ON|OFF)
set -euo pipefail
build=$1 version=$2 gui=$3
out=$(mktemp -d /tmp/tessaban-deb.XXXXXX)
trap 'rm -rf "$out"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
# Under pipefail, `cmd | grep -q` fails whenever grep stops at its match before cmd has written
# everything (cmd then dies of SIGPIPE): each text is read whole before it is searched.

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; fail cpack; }
deb=$(ls "$out"/tessaban_*.deb)
[ "$(basename "$deb")" = "tessaban_${version}_$(dpkg --print-architecture).deb" ] || fail "named $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package)" = tessaban ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version)"
text=$(dpkg-deb -f "$deb" Maintainer) && grep -q '<.*@.*>' <<<"$text" || fail "no maintainer address"
text=$(dpkg-deb -f "$deb" Description) && grep -q 'sudo adduser USER dialout' <<<"$text" ||
  fail "no dialout advice in the description"
depends=$(dpkg-deb -f "$deb" Depends)
echo "$depends" | grep -q 'libc6' || fail "dependencies were not computed: $depends"
[ "$gui" = OFF ] || echo "$depends" | grep -q 'libqt6widgets6' || fail "the windows' Qt is not a dependency: $depends"
text=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t) && grep -qx './postinst' <<<"$text" || fail "no postinst"

files=$(dpkg-deb -c "$deb" | sed 's|^.* \./|/|')
wanted=(/usr/bin/tessaban /usr/bin/kz7sim "/usr/share/tessaban/Robot files/default.rbt"
  /usr/share/tessaban/examples/worked_example.tpg /usr/share/tessaban/samples/kz7-firmware.hex
  /usr/share/doc/tessaban/guide/index.md /usr/share/mime/packages/tessaban.xml
  /usr/share/man/man1/tessaban.1 /usr/share/man/man1/kz7sim.1 /usr/share/bash-completion/completions/tessaban)
[ "$gui" = OFF ] || wanted+=(/usr/bin/taskloom /usr/bin/posewright /usr/bin/wirescope
  /usr/share/applications/taskloom.desktop /usr/share/icons/hicolor/scalable/apps/taskloom.svg
  /usr/share/icons/hicolor/48x48/apps/wirescope.png)
for f in "${wanted[@]}"; do
  grep -qxF "$f" <<<"$files" || fail "the package lacks $f"
done
echo "debian package: ok"
