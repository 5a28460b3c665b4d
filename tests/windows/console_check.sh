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
program=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "$*" >&2
    failures=$((failures + 1))
}

# Runs COMMAND... in the folder $2 (made with a copy of the program) with standard input at
# its end, so that the key wait returns, and checks its exit status against $3 (none when
# "-") and its output against the code page 932 form of the UTF-8 text $4 (a printf format,
# so "\r\n" is a line end); $1 tells what is checked.
check() {
    what=$1 folder=$work/$2 expected_status=$3 text=$4
    shift 4
    mkdir -p "$folder"
    cp "$program" "$folder/bunkai.exe"
    status=0
    (cd "$folder" && "$@" </dev/null >"$folder.out") || status=$?
    # shellcheck disable=SC2059
    printf "$text" | iconv -f UTF-8 -t CP932 >"$folder.expected"
    if ! cmp -s "$folder.out" "$folder.expected"; then
        fail "$what differs. Expected, then got:"
        od -An -c "$folder.expected" >&2
        od -An -c "$folder.out" >&2
    fi
    [ "$expected_status" = - ] || [ "$status" -eq "$expected_status" ] ||
        fail "exit status $status after $what, expected $expected_status"
}

head='iTunesのxmlを分解するツール\r\nVer：0.20210531\r\n'
usage='使用法\r\n●「iTunes Music Library.xml」か「ライブラリ.xml」をbunkaiと同じフォルダに置く\r\n●bunkai.exeをダブルクリックする\r\n何か押すと終了'

# Started alone in a folder without an export, as by a double-click. Wine hands on the low
# byte of the exit code; a batch file sees the whole of it.
check "the usage text" usage 255 "$head$usage" "$@" bunkai.exe
printf '@bunkai.exe\r\n@echo exit code %%ERRORLEVEL%%\r\n' >"$work/usage/check.bat"
check "the usage text and exit code in a batch file" usage - "$head${usage}exit code -1\r\n" \
    "$@" cmd /c check.bat
[ ! -e "$work/usage/Music" ] || fail "the usage run created Music"

# Beside an export under its Japanese name, which Wine stores in UTF-8 like any name.
mkdir "$work/export"
cat >"$work/export/ライブラリ.xml" <<'EOF2'
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
EOF2
check "the output of a run" export 0 \
    "${head}xmlを解析します\r\n情報を解析中\r\n..\r\nプレイリストへ\r\n解析終わり\r\n" "$@" bunkai.exe
[ -f "$work/export/Music/歌手/盤/list.csv" ] || fail "the run did not make Music/歌手/盤/list.csv"

[ "$failures" -eq 0 ] || exit 1
echo "console texts, exit codes and Japanese names as on Windows"
