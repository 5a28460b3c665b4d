#!/usr/bin/env bash
# Runs bunkai on a fresh copy of the sample library, then a second time over the same
# folder, and compares its exit status, its console output and a listing of the run folder
# after each run with sample.listing beside this file. Any change to the output, down to a
# byte of a list or a picture, shows up as a difference.
#
#   golden_test.sh BUNKAI WORK [--update]
#
# --update writes the listing into sample.listing instead; review it with git diff.
#
# Listing format: "d <path>" a folder, "l <path>" a link, "f <path>  <size> bytes  sha256
# <digest>" a file, or "f <path>  <size> bytes" for a list (*.csv) followed by its lines,
# indented, line ends written out. Paths are relative, sorted by their bytes, with bytes
# outside printable ASCII (the code page 932 folder names) as \xNN and "\" as \\. In lines,
# bytes from 0x80 up stay as they are (the lists hold UTF-8), CR and LF are \r and \n,
# other control bytes \xNN.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
sample=$here/../../sample
bunkai=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$2
run=$work/run
export="iTunes Music Library.xml"
export LC_ALL=C

# Writes the console output of the run, then the listing of the run folder (its paths null
# separated on standard input), leaving out the export and Media/, the run's input.
listing() {
    perl -0 -MDigest::SHA=sha256_hex -e '
        sub lines {
            my $t = shift;
            $t =~ s/([\x00-\x1f\x7f\\])/$1 eq "\\" ? "\\\\" : $1 eq "\r" ? "\\r" :
                $1 eq "\n" ? "\\n\n    " : sprintf("\\x%02x", ord $1)/ge;
            print "    $t\n" =~ s/\n    \n$/\n/r if length $t;
        }
        sub slurp { local $/; open my $f, "<", shift or die; binmode $f; <$f> }
        lines(slurp(shift));
        print "the export and Media/ (left out below): ", shift, "\n";
        while (my $path = <STDIN>) {
            chomp $path;
            $path =~ s{^\./}{};
            next if $path =~ m{^(Media(/|$)|iTunes Music Library\.xml$)};
            (my $shown = $path) =~ s/([^\x20-\x7e]|\\)/$1 eq "\\" ? "\\\\" : sprintf("\\x%02x", ord $1)/ge;
            if (-l $path) { print "l $shown\n" }
            elsif (-d $path) { print "d $shown\n" }
            elsif ($path =~ /\.csv$/) { print "f $shown  ", (-s $path || 0), " bytes\n"; lines(slurp($path)) }
            else { print "f $shown  ", (-s $path || 0), " bytes  sha256 ", sha256_hex(slurp($path)), "\n" }
        }' "$@"
}

run_listing() {
    status=0
    (cd "$run" && "$bunkai" </dev/null >"$work/console") || status=$?
    inputs=unchanged
    if ! diff -r "$sample/Media" "$run/Media" >/dev/null || ! cmp -s "$sample/$export" "$run/$export"; then
        inputs=CHANGED
    fi
    printf '== %s\nexit status: %s\nconsole:\n' "$1" "$status"
    (cd "$run" && find . -mindepth 1 -print0 | sort -z | listing "$work/console" "$inputs")
}

rm -rf "$work"
mkdir -p "$run"
cp -R "$sample/$export" "$sample/Media" "$run/"
{
    cat <<'EOF'
# The output of bunkai for the sample library: tests/golden/golden_test.sh makes this
# listing and compares it with this file. After an intended change of the output,
# regenerate it with "tests/golden/golden_test.sh build/release/bunkai build/golden --update"
# and review the difference. The format is explained in tests/golden/golden_test.sh.

EOF
    run_listing "first run, in a fresh copy of sample/"
    echo
    run_listing "second run, over the first run's output"
} >"$work/sample.listing"

if [ "${3:-}" = --update ]; then
    cp "$work/sample.listing" "$here/sample.listing"
    echo "wrote $here/sample.listing"
elif ! diff -u "$here/sample.listing" "$work/sample.listing"; then
    echo "The output differs from $here/sample.listing. If the change is intended, run" \
        "$0 $1 $2 --update." >&2
    exit 1
fi
