#!/bin/sh
# Runs a program of the Windows build under Wine, set up like the Japanese Windows the
# program is made for: code page 932 for its ANSI functions and file names.
#   wine.sh PREFIX PROGRAM [ARGUMENT...]
# PREFIX is the Wine prefix (a folder); it is created on first use, under a lock, so that
# tests started side by side share one prefix made once.
set -eu

prefix=$1
shift

# Wine takes its code page from the locale, but it needs the locale installed to map
# Japanese file names to the Unix file system.
if ! locale -a | grep -qix 'ja_JP\.utf-\{0,1\}8'; then
    echo "$0: the locale ja_JP.UTF-8 is missing (localedef -i ja_JP -f UTF-8 ja_JP.UTF-8)" >&2
    exit 125
fi
# No installer dialogs for .NET and Gecko, which no test needs.
export LC_ALL=ja_JP.UTF-8 WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$(dirname "$prefix")"
(
    flock 9
    if [ ! -f "$prefix/.bunkai-ready" ]; then
        rm -rf "$prefix"
        wine wineboot --init >/dev/null 2>&1
        wineserver -w
        touch "$prefix/.bunkai-ready"
    fi
) 9>"$prefix.lock"

# A program that starts while the Wine server of the previous one is shutting down can lose
# its connection to it ("recvmsg: Connection reset by peer"). A server that waits a while
# after its last program has gone serves a whole test run without shutting down; this
# starts one unless one is running.
wineserver --persistent=10 2>/dev/null || true
# It still happens now and then, to a program that has not even started: such a program is
# run once more. Its error output is held back until then.
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
status=0
wine "$@" 2>"$errors" || status=$?
if [ "$status" -ne 0 ] && grep -q 'wine client error' "$errors"; then
    wineserver --persistent=10 2>/dev/null || true
    status=0
    wine "$@" 2>"$errors" || status=$?
fi
cat "$errors" >&2
exit "$status"
