#!/bin/sh
# Builds one of the table tools for Windows and runs it under Wine:
#
#   tools/under_wine.sh cp932/generate_table.cpp > platform/cp932_table.inc
#   tools/under_wine.sh nfc/generate_table.cpp > platform/nfc_table.inc
#   tools/under_wine.sh cp932/check_table.cpp      (also nfc/check_table.cpp,
#                                                   cp932/check_case_fold.cpp)
#
# The generators ask Windows' own conversion (code page 932) or normalization (NFC) and print
# the table that builds without Windows carry; the checks compare those builds' code with
# Windows' own and exit non-zero on a difference. Needs x86_64-w64-mingw32-g++ and wine;
# WINEPREFIX may name the Wine prefix to use.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

x86_64-w64-mingw32-g++ -std=c++17 -O2 -Wall -Wextra -static -I"$here/.." \
    -o "$work/tool.exe" "$here/$1"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine "$work/tool.exe"
