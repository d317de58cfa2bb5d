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
for file in bin/corvane libexec/corvane/corvane-window libexec/corvane/corvane-plist-reader \
    libexec/corvane/corvane-open; do
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

# A hint (such as two main categories, which puts the entry in two menus) counts as a fault.
validation=$(desktop-file-validate "$data/applications/net.corvane.Corvane.desktop" 2>&1) ||
    fail "desktop-file-validate refused the desktop entry: $validation"
[ -z "$validation" ] || fail "desktop-file-validate: $validation"
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

# The manual page renders without a warning and names every option --help names.
man_page=$data/man/man1/corvane.1.gz
[ -s "$man_page" ] || fail "the manual page is not installed"
LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$man_page" \
    >/dev/null 2>"$work/man-warnings.txt" || fail "man could not render the manual page"
[ ! -s "$work/man-warnings.txt" ] ||
    { cat "$work/man-warnings.txt" >&2; fail "the manual page renders with warnings"; }
options=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/corvane" --help |
    grep -o -- '--[a-z][a-z0-9-]*' | sort -u)
[ -n "$options" ] || fail "corvane --help names no option"
LC_ALL=C.UTF-8 MANWIDTH=1000 man -l "$man_page" 2>/dev/null | grep -o -- '--[a-z][a-z0-9-]*' |
    sort -u >"$work/man-options.txt"
for option in $options; do
    grep -qxF -- "$option" "$work/man-options.txt" || fail "the manual page does not name $option"
done

# The bash completion, run as bash runs it for the line typed so far. A stand-in corvane answers
# --history with a record, a damaged record and an identifier that would run a command if the
# completion expanded it.
completion=$data/bash-completion/completions/corvane
[ -s "$completion" ] || fail "the bash completion is not installed"
bash -n "$completion" || fail "bash -n refused the bash completion"
mkdir -p "$work/bin" "$work/empty"
cat >"$work/bin/corvane" <<'HISTORY'
#!/bin/sh
printf '%s\t' RECORD TIME APPLICATION IDENTIFIER ENTRIES; printf 'IN TRASH\n'
printf '20261208T093000Z-00\t2026-12-08 09:30\tWidget\tcom.example.Widget\t2\t2\n'
printf '20261207T080000Z-00\tdamaged\t-\t-\t-\t-\n'
printf '20261206T070000Z-01\t2026-12-06 07:00\tEvil\t$(touch ran)\t1\t1\n'
HISTORY
chmod +x "$work/bin/corvane"
# Prints what the completion offers for LINE, sorted, one per line; COMP_WORDS splits at "=" as
# bash's word breaks do.
offered() {
    (cd "$work/empty" && bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        compopt() { :; }
        COMP_LINE=$2 COMP_POINT=${#2} COMP_WORDS=()
        read -ra typed <<<"$2"
        [[ $2 == *" " ]] && typed+=("")
        for word in "${typed[@]}"; do
            if [[ $word == *=* ]]; then
                COMP_WORDS+=("${word%%=*}" "=")
                [[ -n ${word#*=} ]] && COMP_WORDS+=("${word#*=}")
            else
                COMP_WORDS+=("$word")
            fi
        done
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _corvane "${COMP_WORDS[0]}" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
        printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$1" | LC_ALL=C sort)
}
fake=$work/bin/corvane
while IFS='|' read -r line expected; do
    answer=$(offered "$line" | tr '\n' ' ')
    [ "$answer" = "$expected" ] || fail "completing '$line' offered '$answer', not '$expected'"
done <<CASES
$fake --restore |\$(touch ran) 20261206T070000Z-01 20261207T080000Z-00 20261208T093000Z-00 com.example.Widget 
$fake --history c|com.example.Widget 
$fake --reset com.|com.example.Widget 
$fake --list --safari=|hard soft 
$fake --reset --safari=soft --y|--yes 
CASES
[ ! -e "$work/empty/ran" ] || fail "the completion ran a command named in a record"
for action in "" --list --reset --restore --history; do
    offered "$fake $action --" | sed 's/=$//'
done | LC_ALL=C sort -u >"$work/completed-options.txt"
for option in $options; do
    grep -qxF -- "$option" "$work/completed-options.txt" || fail "the completion never offers $option"
done

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
