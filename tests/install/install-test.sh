#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop gets: the program runs
# from there and starts its helpers from the installed helper folder, and the desktop entry and
# the AppStream metainfo pass their validators.
# Usage: install-test.sh BUILD_DIR VERSION
set -euo pipefail

build_dir=$1
version=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-install.XXXXXX")
program_pid=
cleanup() {
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

prefix=$work/prefix
cmake --install "$build_dir" --prefix "$prefix" >/dev/null

data=$prefix/share
for file in bin/corvane libexec/corvane/corvane-plist-reader libexec/corvane/corvane-open; do
    [ -x "$prefix/$file" ] || fail "$file is not installed as a program"
done
for file in applications/net.corvane.Corvane.desktop \
    icons/hicolor/scalable/apps/net.corvane.Corvane.svg \
    icons/hicolor/256x256/apps/net.corvane.Corvane.png \
    metainfo/net.corvane.Corvane.metainfo.xml; do
    [ -s "$data/$file" ] || fail "$file is not installed"
done

# The icon in the 256x256 folder must be that size: width and height follow the PNG signature.
size=$(od -An -tx1 -j16 -N8 "$data/icons/hicolor/256x256/apps/net.corvane.Corvane.png" | tr -d ' \n')
[ "$size" = "0000010000000100" ] || fail "the 256 px icon measures $size"

desktop-file-validate "$data/applications/net.corvane.Corvane.desktop" ||
    fail "desktop-file-validate refused the desktop entry"
appstreamcli validate --no-net "$data/metainfo/net.corvane.Corvane.metainfo.xml" >"$work/appstream.txt" ||
    { cat "$work/appstream.txt" >&2; fail "appstreamcli refused the metainfo"; }
grep -q "<release version=\"$version\"" "$data/metainfo/net.corvane.Corvane.metainfo.xml" ||
    fail "the metainfo does not name release $version"

# The desktop entry starts the installed program by name.
exec_line=$(grep '^Exec=' "$data/applications/net.corvane.Corvane.desktop")
read -r exec_program _ <<<"${exec_line#Exec=}"
[ -x "$prefix/bin/$exec_program" ] || fail "the desktop entry's $exec_line names no installed program"

# --version answers without a display.
answer=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/corvane" --version) ||
    fail "corvane --version failed"
[ "$answer" = "corvane $version" ] || fail "corvane --version said: $answer"

# A command line it cannot carry out is refused with status 2 before any window opens.
for arguments in "--no-such-option" "$work/missing.app" "$work $work"; do
    status=0
    # shellcheck disable=SC2086 # the words of each case are meant to split
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/corvane" $arguments \
        >/dev/null 2>"$work/refused.txt" || status=$?
    [ "$status" = 2 ] || fail "corvane $arguments ended with $status, not 2"
    [ -s "$work/refused.txt" ] || fail "corvane $arguments gave no reason"
done

# Started on a bundle, the installed program reads its Info.plist through the installed reader.
# The reader is wrapped to note each start; the build tree must not be the one that answers.
helpers=$prefix/libexec/corvane
mv "$helpers/corvane-plist-reader" "$helpers/corvane-plist-reader.real"
cat >"$helpers/corvane-plist-reader" <<WRAPPER
#!/bin/sh
echo "\$@" >>"$work/reader-starts"
exec "$helpers/corvane-plist-reader.real" "\$@"
WRAPPER
chmod +x "$helpers/corvane-plist-reader"

home=$work/home
bundle=$home/Applications/Widget.app
mkdir -p "$bundle/Contents" "$home/Library/Preferences"
cat >"$bundle/Contents/Info.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0"><dict><key>CFBundleIdentifier</key><string>com.example.Widget</string></dict></plist>
PLIST

(cd "$work" && HOME=$home XDG_DATA_HOME=$home/.local/share QT_QPA_PLATFORM=offscreen \
    exec "$prefix/bin/corvane" "$bundle") >"$work/program.log" 2>&1 &
program_pid=$!
for _ in $(seq 100); do
    [ -s "$work/reader-starts" ] && break
    kill -0 "$program_pid" 2>/dev/null || { cat "$work/program.log" >&2; fail "corvane ended early"; }
    sleep 0.1
done
grep -qxF "$bundle/Contents/Info.plist" "$work/reader-starts" 2>/dev/null ||
    { cat "$work/program.log" >&2; fail "the installed program did not start the installed reader"; }
kill "$program_pid" 2>/dev/null || true

# The command line needs no display and finds the installed reader too: --list names the
# application's settings and nothing of its neighbour's.
: >"$work/reader-starts"
touch "$home/Library/Preferences/com.example.Widget.plist" \
    "$home/Library/Preferences/com.example.WidgetHelper.plist"
listed=$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$home" \
    "$prefix/bin/corvane" --list "$bundle") || fail "corvane --list failed"
[ "$listed" = "$home/Library/Preferences/com.example.Widget.plist" ] ||
    fail "corvane --list said: $listed"
grep -qxF "$bundle/Contents/Info.plist" "$work/reader-starts" ||
    fail "corvane --list did not start the installed reader"
echo "installed tree works"
