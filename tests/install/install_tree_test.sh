#!/usr/bin/env bash
# Installs the suite into a fresh folder (DESTDIR, outside the build tree) and uses it as a
# user of the installed programs would, with TESSABAN_HOME unset: the versions, a program check
# on an installed example, Taskloom started from the installed tree (it must find its robot
# profile there, or its first window is a message box and the screenshot never comes), the
# menu entries, icons, file types, manual pages and the shell completion.
#   install_tree_test.sh BUILD_DIR VERSION GUI(ON|OFF)
set -euo pipefail
build=$1 version=$2 gui=$3
root=$(mktemp -d /tmp/tessaban-install.XXXXXX)
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
# Under pipefail, `cmd | grep -q` fails whenever grep stops at its match before cmd has written
# everything (cmd then dies of SIGPIPE): each text is read whole before it is searched.

DESTDIR=$root cmake --install "$build" --prefix /usr >"$root/install.log" || { cat "$root/install.log"; fail "install"; }
P=$root/usr
unset TESSABAN_HOME DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
export XDG_CONFIG_HOME=$root/config TESSABAN_PORTS=$root/ports PATH=$P/bin:$PATH

programs=(tessaban kz7sim)
[ "$gui" = ON ] && programs+=(taskloom posewright wirescope)
# The simulator window, where it is built, is held to the same as every program.
[ -e "$P/bin/kz7sim-gui" ] && programs+=(kz7sim-gui)
for p in "${programs[@]}"; do
  [ -x "$P/bin/$p" ] || fail "$p not installed"
  [ "$("$P/bin/$p" --version)" = "$p (Tessaban) $version" ] || fail "$p --version: $("$P/bin/$p" --version)"
done
[ ! -e "$P/bin/robotview_demo" ] || fail "a developer's demo was installed"

# The data, and a check that reads it from there.
for f in "Robot files/default.rbt" "Robot files/humanoid.x" examples/worked_example.tpg samples/kz7-firmware.hex; do
  [ -f "$P/share/tessaban/$f" ] || fail "missing share/tessaban/$f"
done
tessaban program check "$P/share/tessaban/examples/worked_example.tpg" >"$root/check.out" ||
  { cat "$root/check.out"; fail "program check on the installed example"; }
[ -f "$P/share/doc/tessaban/guide/index.md" ] || fail "the guide is not installed"

# Text files every desktop reads.
mime=$P/share/mime/packages/tessaban.xml
xmllint --noout "$mime" || fail "MIME package is not well-formed"
mkdir -p "$root/xdg/mime/packages" && cp "$mime" "$root/xdg/mime/packages/"
XDG_DATA_DIRS=$root/xdg update-mime-database "$root/xdg/mime" 2>"$root/mime.err" || fail "update-mime-database"
[ ! -s "$root/mime.err" ] || { cat "$root/mime.err"; fail "update-mime-database complained"; }
for glob in "application/x-tessaban-program:\*.tpg" "application/x-tessaban-motion:\*.mtn" "application/x-tessaban-robot:\*.rbt"; do
  grep -q ":$glob\$" "$root/xdg/mime/globs2" || fail "no glob $glob"
done

entries=("$P"/share/applications/*.desktop)
if [ "$gui" = ON ]; then
  [ ${#entries[@]} -ge 3 ] || fail "only ${#entries[@]} desktop entries"
  for entry in "${entries[@]}"; do
    # Hints (such as being listed under more than one main category) are advice, not faults.
    out=$(desktop-file-validate "$entry" 2>&1 | grep -v ': hint: ' || true)
    [ -z "$out" ] || fail "$out"
    exe=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
    icon=$(sed -n 's/^Icon=//p' "$entry")
    [ -x "$P/bin/$exe" ] || fail "$entry starts $exe, which is not installed"
    [ -f "$P/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon"
    for size in 16 22 24 32 48 64 128 256; do
      png=$P/share/icons/hicolor/${size}x${size}/apps/$icon.png
      # Width and height are the big-endian words at bytes 16 and 20 of a PNG.
      [ "$(od -An --endian=big -tu4 -j16 -N8 "$png" | tr -s ' ')" = " $size $size" ] ||
        fail "$png is not ${size}x${size}"
    done
    for type in $(sed -n 's/^MimeType=//p' "$entry" | tr ';' ' '); do
      [ -f "$root/xdg/mime/${type}.xml" ] || fail "$entry claims $type, which no MIME package defines"
    done
  done
  grep -q '^MimeType=application/x-tessaban-program;application/x-tessaban-motion;$' \
    "$P/share/applications/taskloom.desktop" || fail "Taskloom does not open .tpg and .mtn"

  # Help and version need no display.
  text=$(taskloom --help) && grep -q '^usage: taskloom' <<<"$text" || fail "taskloom --help without a display"

  # Taskloom from the installed tree: its first window is the main window only if the robot
  # profile was found under the installed share/tessaban.
  timeout 120 xvfb-run -a -s "-screen 0 1280x900x24" env QT_QPA_PLATFORM=xcb \
    taskloom "$P/share/tessaban/examples/worked_example.tpg" --screenshot "$root/taskloom.png" \
    >"$root/taskloom.out" 2>&1 || { cat "$root/taskloom.out"; fail "taskloom --screenshot from the installed tree"; }
  [ -s "$root/taskloom.png" ] || fail "no screenshot"
fi

# Manual pages: they render without a warning, and man finds them by name.
for page in "$P"/share/man/man1/*.1; do
  warnings=$(LC_ALL=C.UTF-8 groff -mandoc -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$page: $warnings"
done
for p in "${programs[@]}"; do [ -f "$P/share/man/man1/$p.1" ] || fail "no manual page for $p"; done
text=$(LC_ALL=C.UTF-8 MANPATH=$P/share/man man -P cat tessaban 2>/dev/null) &&
  grep -q "tessaban (Tessaban)\|Tessaban $version" <<<"$text" || fail "man tessaban does not render with the version"

# Completion: commands, subcommands, options from --help, and only exact COMn names as ports.
mkdir -p "$TESSABAN_PORTS"
ln -s /dev/null "$TESSABAN_PORTS/COM7"
echo "KZ-7 Simulator" >"$TESSABAN_PORTS/COM7.label"
completions() {
  bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _tessaban; printf "%s\n" "${COMPREPLY[@]}" | sort' \
    - "$P/share/bash-completion/completions/tessaban" "$@"
}
[ "$(completions tessaban pro)" = program ] || fail "completing 'pro': $(completions tessaban pro)"
[ "$(completions tessaban program ch)" = check ] || fail "completing 'program ch'"
[ "$(completions tessaban --ver)" = --version ] || fail "completing '--ver'"
text=$(completions tessaban motion backup --p) && grep -qx -- --port <<<"$text" || fail "completing 'motion backup --p'"
[ "$(completions tessaban program download --port C)" = COM7 ] || fail "completing ports: $(completions tessaban program download --port C)"
# Files of the command's kind, and folders to reach them.
mkdir -p "$root/files/lessons" && touch "$root/files/walk.mtn" "$root/files/count.tpg" "$root/files/notes.txt"
[ "$(cd "$root/files" && completions tessaban program check "" | tr '\n' ' ')" = "count.tpg lessons " ] ||
  fail "completing a program file: $(cd "$root/files" && completions tessaban program check "")"
[ "$(cd "$root/files" && completions tessaban motion restore w)" = walk.mtn ] || fail "completing a motion file"
echo "installed tree: ok"
