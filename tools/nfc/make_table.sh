#!/bin/sh
# Regenerates platform/nfc_table.inc by asking Windows' own normalization, here under Wine.
# Needs x86_64-w64-mingw32-g++ and wine; WINEPREFIX may name the Wine prefix to use.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

x86_64-w64-mingw32-g++ -std=c++17 -O2 -Wall -Wextra -static \
    -o "$work/generate_table.exe" "$here/generate_table.cpp"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine "$work/generate_table.exe" >"$work/nfc_table.inc"
mv "$work/nfc_table.inc" "$root/platform/nfc_table.inc"
echo "wrote $root/platform/nfc_table.inc"
