#!/usr/bin/env bash
# Builds the fuzz targets (the `fuzz` preset, clang) and fuzzes them one after another, each
# for the given seconds, with its dictionary and committed corpus.
#   fuzz/run.sh [seconds per target] [target ...]      (default: 60 s, every target)
# New inputs collect in build/fuzz/corpus/<target>, failing ones in build/fuzz/findings/,
# libFuzzer's output in build/fuzz/<target>.log. To add the new inputs that reach new code
# to the committed corpus, run build/fuzz/fuzz/<target>_fuzzer -merge=1 with the absolute
# paths of fuzz/corpus/<target> and build/fuzz/corpus/<target>; keep each corpus to a few
# dozen small files.
set -euo pipefail
cd "$(dirname "$0")/.."
# Absolute paths: the targets change the working folder to a scratch folder.
root=$PWD
seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
[ $# -gt 0 ] || targets=(export journal list_merge artwork)
# The targets' scratch folders go here rather than to the shared /tmp: a failing input
# leaves its scratch folder behind.
export TMPDIR=$root/build/fuzz/tmp
mkdir -p "$TMPDIR" build/fuzz/findings
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target "${targets[@]/%/_fuzzer}"
status=0
for name in "${targets[@]}"; do
  mkdir -p "build/fuzz/corpus/$name"
  echo "== $name: $seconds s"
  "build/fuzz/fuzz/${name}_fuzzer" "$root/build/fuzz/corpus/$name" "$root/fuzz/corpus/$name" \
    -dict="fuzz/$name.dict" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
    -artifact_prefix="$root/build/fuzz/findings/" \
    >"build/fuzz/$name.log" 2>&1 || { status=1; echo "   failing input: see build/fuzz/$name.log"; }
done
exit $status
