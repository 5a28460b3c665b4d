#!/bin/sh
# Checks what the Windows program shows in a console, run under Wine as on a Japanese
# Windows: its texts in code page 932 with CR LF line ends, the exit code -1 after the usage
# text, and an export found under its Japanese name.
#
#   console_check.sh PROGRAM RUNNER...
#
# RUNNER is the command that runs a Windows program, e.g. tests/windows/wine.sh PREFIX. The
# expected bytes are made here from UTF-8 with iconv, apart from the program's own tables.
set -eu

if [ $# -lt 2 ]; then
    echo "usage: $0 PROGRAM RUNNER..." >&2
    exit 2
fi
program=$1
shift

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# Writes into the file $1 the code page 932 form of the UTF-8 texts that follow (printf
# formats, so "\r\n" is a line end).
expected() {
    target=$1
    shift
    : >"$target"
    for text in "$@"; do
        # shellcheck disable=SC2059
        printf "$text" | iconv -f UTF-8 -t CP932 >>"$target"
    done
}

# Compares the output file $2 with the expected file $3; $1 tells what is compared.
compare() {
    if ! cmp -s "$2" "$3"; then
        echo "$1 differs. Expected, then got:" >&2
        od -An -c "$3" >&2
        od -An -c "$2" >&2
        failures=$((failures + 1))
    fi
}

head='iTunesのxmlを分解するツール\r\nVer：0.20210531\r\n'
usage='使用法\r\n●「iTunes Music Library.xml」か「ライブラリ.xml」をbunkaiと同じフォルダに置く\r\n●bunkai.exeをダブルクリックする\r\n何か押すと終了'

# Started alone in a folder without an export, as by a double-click, with standard input
# at its end so that the key wait returns. Wine hands on the low byte of the exit code.
mkdir "$work/empty"
cp "$program" "$work/empty/bunkai.exe"
status=0
(cd "$work/empty" && "$@" bunkai.exe </dev/null >"$work/usage.out") || status=$?
expected "$work/usage.expected" "$head" "$usage"
compare "the usage text" "$work/usage.out" "$work/usage.expected"
if [ "$status" -ne 255 ]; then
    echo "exit status $status after the usage text, expected 255 (the low byte of -1)" >&2
    failures=$((failures + 1))
fi

# The whole exit code, as a batch file sees it.
printf '@bunkai.exe\r\n@echo exit code %%ERRORLEVEL%%\r\n' >"$work/empty/check.bat"
(cd "$work/empty" && "$@" cmd /c check.bat </dev/null >"$work/batch.out") || true
expected "$work/batch.expected" "$head" "$usage" 'exit code -1\r\n'
compare "the usage text and exit code in a batch file" "$work/batch.out" "$work/batch.expected"
if [ -e "$work/empty/Music" ]; then
    echo "the usage run created Music" >&2
    failures=$((failures + 1))
fi

# Beside an export under its Japanese name, which Wine stores in UTF-8 like any name.
mkdir "$work/export"
cp "$program" "$work/export/bunkai.exe"
cat >"$work/export/ライブラリ.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0">
<dict>
	<key>Tracks</key>
	<dict>
		<key>1</key>
		<dict>
			<key>Name</key><string>曲</string>
			<key>Location</key><string>file://localhost/Media/Music/%E6%AD%8C%E6%89%8B/%E7%9B%A4/1.mp3</string>
		</dict>
	</dict>
	<key>Playlists</key>
	<array>
	</array>
</dict>
</plist>
EOF
status=0
(cd "$work/export" && "$@" bunkai.exe </dev/null >"$work/export.out") || status=$?
expected "$work/export.expected" "$head" \
    'xmlを解析します\r\n情報を解析中\r\n..\r\nプレイリストへ\r\n解析終わり\r\n'
compare "the output of a run" "$work/export.out" "$work/export.expected"
if [ "$status" -ne 0 ]; then
    echo "exit status $status after a run, expected 0" >&2
    failures=$((failures + 1))
fi
if [ ! -f "$work/export/Music/歌手/盤/list.csv" ]; then
    echo "the run did not make Music/歌手/盤/list.csv" >&2
    failures=$((failures + 1))
fi

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "console texts, exit codes and Japanese names as on Windows"
