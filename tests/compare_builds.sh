#!/bin/sh
# Runs the POSIX program and the Windows program (under Wine) on the same exports and checks
# that they leave the same output: the same folders and files, every list, error note and
# picture byte for byte, and the same console text and exit status. It also checks that
# every folder below Music/ has exactly one row in its parent's index list.
#
#   compare_builds.sh [--export EXPORT]... POSIX_PROGRAM WINDOWS_PROGRAM RUNNER...
#
# RUNNER is the command that runs a Windows program, e.g. tests/windows/wine.sh PREFIX with
# an absolute PREFIX.
# The exports are the sample library (sample/) and the folders of tests/data/exports, each
# with a files.tsv: one line per file to put in the working folder, "<path below
# tests/data><TAB><path below the working folder>". Music files go below Media/. Every
# export is run twice in the same folder, as users run the program again after adding music.
# Each --export EXPORT replaces them with an export of one's own: a folder laid out like
# those, or an export file, which is put in the working folder as "iTunes Music Library.xml".
#
# The POSIX program names its folders with code page 932 bytes as they are; Wine stores the
# names that the Windows program gives in code page 932 as UTF-8. The POSIX program's names
# are therefore decoded from code page 932 before the trees are compared: a name that is no
# valid code page 932, or that decodes to another name than Windows made, is a difference.
set -eu

# The programs run in other folders: an existing file's path is made absolute.
absolute() {
    if [ -e "$1" ]; then echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; else echo "$1"; fi
}
root=$(cd "$(dirname "$0")/.." && pwd)
data="$root/tests/data"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
while [ $# -ge 2 ] && [ "$1" = --export ]; do
    absolute "$2" >>"$work/exports"
    shift 2
done
if [ $# -lt 3 ]; then
    echo "usage: $0 [--export EXPORT]... POSIX_PROGRAM WINDOWS_PROGRAM RUNNER..." >&2
    exit 2
fi
[ -s "$work/exports" ] || printf '%s\n' "$root/sample" "$data"/exports/* >"$work/exports"
posix_program=$(absolute "$1")
windows_program=$(absolute "$2")
runner=$(absolute "$3")
shift 3
tab=$(printf '\t')
failures=0

difference() {
    echo "$*" >&2
    failures=$((failures + 1))
}

# Lays out the export $1 in the fresh working folder $2 and lists its files in $2.inputs.
prepare() {
    mkdir -p "$2"
    if [ -f "$1" ]; then
        cp "$1" "$2/iTunes Music Library.xml"
    elif [ -f "$1/files.tsv" ]; then
        while IFS=$tab read -r source target; do
            mkdir -p "$2/$(dirname "$target")"
            cp "$data/$source" "$2/$target"
        done <"$1/files.tsv"
    else
        cp -R "$1/." "$2"
    fi
    (cd "$2" && find . -type f) >"$2.inputs"
}

# Removes the inputs from the working folder $1, leaving only what the program made, and
# renames every entry left from code page 932 to UTF-8 ($2 = decode), deepest first.
leave_output() {
    while IFS= read -r input; do rm "$1/$input"; done <"$1.inputs"
    [ ! -d "$1/Media" ] || find "$1/Media" -depth -type d -empty -delete
    [ "$2" = decode ] || return 0
    find "$1" -mindepth 1 -depth >"$1.names"
    while IFS= read -r path; do
        entry=$(basename "$path")
        if ! decoded=$(printf '%s' "$entry" | iconv -f CP932 -t UTF-8); then
            echo "not code page 932: $path" >&2
            return 1
        fi
        [ "$decoded" = "$entry" ] || mv "$path" "$(dirname "$path")/$decoded"
    done <"$1.names"
}

while IFS= read -r export; do
    name=$(basename "$export" .xml)
    posix="$work/$name/posix"
    windows="$work/$name/windows"
    prepare "$export" "$posix"
    prepare "$export" "$windows"
    for run in 1 2; do
        # Every export here is read through, which ends with status 0.
        status=0
        (cd "$posix" && "$posix_program" </dev/null >"$posix.console") || status=$?
        [ "$status" -eq 0 ] || difference "$name, run $run: the POSIX program ended with status $status"
        status=0
        (cd "$windows" && "$runner" "$@" "$windows_program" </dev/null >"$windows.console") || status=$?
        [ "$status" -eq 0 ] || difference "$name, run $run: the Windows program ended with status $status"
        # Code page 932 and CR LF line ends on the Windows console; the text is the same.
        iconv -f CP932 -t UTF-8 "$windows.console" | tr -d '\r' | diff "$posix.console" - >&2 ||
            difference "$name, run $run: the console texts differ"
    done
    leave_output "$windows" keep
    leave_output "$posix" decode || difference "$name: the POSIX program made names that are no code page 932"
    if diff -r "$posix" "$windows" >&2; then
        echo "$name: same output, $(find "$windows" -type d | wc -l) folders and" \
            "$(find "$windows" -type f | wc -l) files"
    else
        difference "$name: the output trees differ"
    fi
    # A folder the program makes gets exactly one row in the index list of the folder above
    # it, and a row only comes with the folder it names.
    for tree in "$posix" "$windows"; do
        [ -d "$tree/Music" ] || continue
        find "$tree/Music" -maxdepth 1 -type d >"$tree.indexed"
        while IFS= read -r folder; do
            list="$folder/list.csv"
            [ "$folder" != "$tree/Music" ] || list="$tree/list.csv"
            folders=$(find "$folder" -mindepth 1 -maxdepth 1 -type d | wc -l)
            rows=$(cat "$list" 2>/dev/null | grep -c . || true)
            [ "$folders" -eq "$rows" ] ||
                difference "$name: $folders folders in ${folder#"$work"/}, $rows rows in its index list"
        done <"$tree.indexed"
    done
done <"$work/exports"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
