#!/bin/sh
# Compares the composition of builds without Windows (platform/unicode_posix.cpp and
# platform/nfc_table.inc) with Windows' own, here under Wine. Exits non-zero on a difference.
# Needs x86_64-w64-mingw32-g++ and wine; WINEPREFIX may name the Wine prefix to use.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

x86_64-w64-mingw32-g++ -std=c++17 -O2 -Wall -Wextra -static -I"$root" \
    -o "$work/check_table.exe" "$here/check_table.cpp"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine "$work/check_table.exe"
