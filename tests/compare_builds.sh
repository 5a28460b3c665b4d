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

exports=""
while [ $# -gt 0 ] && [ "$1" = --export ]; do
    [ $# -ge 2 ] || break
    exports="$exports$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
"
    shift 2
done
if [ $# -lt 3 ]; then
    echo "usage: $0 [--export EXPORT]... POSIX_PROGRAM WINDOWS_PROGRAM RUNNER..." >&2
    exit 2
fi

# The programs run in other folders: a path relative to this one must be made absolute.
absolute() {
    case $1 in
        */*) echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")" ;;
        *) echo "$1" ;;
    esac
}
posix_program=$(absolute "$1")
windows_program=$(absolute "$2")
runner=$(absolute "$3")
shift 3

root=$(cd "$(dirname "$0")/.." && pwd)
data="$root/tests/data"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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

# Removes the inputs from the working folder $1, leaving only what the program made.
remove_inputs() {
    while IFS= read -r input; do
        rm "$1/$input"
    done <"$1.inputs"
    if [ -d "$1/Media" ]; then
        find "$1/Media" -depth -type d -empty -delete
    fi
}

# Renames every entry below $1 from code page 932 to UTF-8, deepest first.
decode_names() {
    find "$1" -mindepth 1 -depth >"$1.names"
    while IFS= read -r path; do
        entry=$(basename "$path")
        if ! decoded=$(printf '%s' "$entry" | iconv -f CP932 -t UTF-8); then
            echo "not code page 932: $path" >&2
            return 1
        fi
        if [ "$decoded" != "$entry" ]; then
            mv "$path" "$(dirname "$path")/$decoded"
        fi
    done <"$1.names"
}

# Checks that the folder $1 holds as many folders as its index list $2 holds rows: a folder
# the program makes gets exactly one row, and a row only comes with the folder it names.
check_index_rows() {
    folders=$(find "$1" -mindepth 1 -maxdepth 1 -type d | wc -l)
    rows=0
    if [ -f "$2" ]; then
        rows=$(grep -c . "$2" || true)
    fi
    if [ "$folders" -ne "$rows" ]; then
        difference "$3: $folders folders in ${1#"$work"/}, $rows rows in its index list"
    fi
}

if [ -z "$exports" ]; then
    exports=$(printf '%s\n' "$root/sample" "$data"/exports/*)
fi
printf '%s\n' "$exports" | grep . >"$work/exports"
while IFS= read -r export; do
    name=$(basename "$export" .xml)
    posix="$work/$name/posix"
    windows="$work/$name/windows"
    prepare "$export" "$posix"
    prepare "$export" "$windows"
    for run in 1 2; do
        console="$work/$name/console-$run"
        status=0
        (cd "$posix" && "$posix_program" </dev/null >"$console.posix") || status=$?
        echo "$status" >>"$work/$name/status.posix"
        status=0
        (cd "$windows" && "$runner" "$@" "$windows_program" </dev/null >"$console.windows") || status=$?
        echo "$status" >>"$work/$name/status.windows"
        # Code page 932 and CR LF line ends on the Windows console; the text is the same.
        iconv -f CP932 -t UTF-8 "$console.windows" | tr -d '\r' >"$console.windows.text"
        if ! diff "$console.posix" "$console.windows.text" >&2; then
            difference "$name, run $run: the console texts differ"
        fi
    done
    # Every export here is read through, which ends with status 0.
    for build in posix windows; do
        if [ "$(cat "$work/$name/status.$build")" != "$(printf '0\n0')" ]; then
            difference "$name: the $build program ended with the statuses" \
                "$(tr '\n' ' ' <"$work/$name/status.$build")"
        fi
    done
    remove_inputs "$posix"
    remove_inputs "$windows"
    decode_names "$posix" || difference "$name: the POSIX program made names that are no code page 932"
    if diff -r "$posix" "$windows" >&2; then
        echo "$name: same output, $(find "$windows" -type d | wc -l) folders and" \
            "$(find "$windows" -type f | wc -l) files"
    else
        difference "$name: the output trees differ"
    fi
    for build in posix windows; do
        tree="$work/$name/$build"
        if [ -d "$tree/Music" ]; then
            check_index_rows "$tree/Music" "$tree/list.csv" "$name ($build)"
            find "$tree/Music" -mindepth 1 -maxdepth 1 -type d >"$tree.artists"
            while IFS= read -r artist; do
                check_index_rows "$artist" "$artist/list.csv" "$name ($build)"
            done <"$tree.artists"
        fi
    done
done <"$work/exports"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
