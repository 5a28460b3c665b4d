#!/usr/bin/env bash
# Builds the fuzz targets (the `fuzz` preset, clang) and fuzzes each for the given seconds
# with its dictionary, starting from its committed corpus; stops at a target that fails.
#   fuzz/run.sh [seconds per target, default 60] [target ...]      (default: every target)
# New inputs collect in build/fuzz/corpus/<target>, failing ones in build/fuzz/findings/,
# the targets' scratch folders in build/fuzz/tmp (a failing input's stays there). To add the
# new inputs that reach new code to the committed corpus, run build/fuzz/fuzz/<target>_fuzzer
# -merge=1 with the absolute paths of fuzz/corpus/<target> and build/fuzz/corpus/<target>;
# keep each corpus to a few dozen small files.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift $(($# > 0))
[ $# -gt 0 ] || set -- export journal
export TMPDIR=$PWD/build/fuzz/tmp
mkdir -p "$TMPDIR" build/fuzz/findings "${@/#/build/fuzz/corpus/}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "${@/%/_fuzzer}"
for name; do
  # Absolute paths: the targets change the working folder to a scratch folder.
  "build/fuzz/fuzz/${name}_fuzzer" "$PWD/build/fuzz/corpus/$name" "$PWD/fuzz/corpus/$name" \
    -dict="fuzz/$name.dict" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -artifact_prefix="$PWD/build/fuzz/findings/"
done
