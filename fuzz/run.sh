#!/usr/bin/env bash
# Builds the fuzz target (the `fuzz` preset, clang) and fuzzes it for the given seconds with
# its dictionary, starting from its committed corpus.
#   fuzz/run.sh [seconds, default 60]
# New inputs collect in build/fuzz/corpus, failing ones in build/fuzz/findings/, the target's
# scratch folder in build/fuzz/tmp (a failing input's stays there). To add the new inputs that
# reach new code to the committed corpus, run build/fuzz/fuzz/export_fuzzer -merge=1 with the
# absolute paths of fuzz/corpus/export and build/fuzz/corpus; keep the corpus to a few dozen
# small files.
set -euo pipefail
cd "$(dirname "$0")/.."
export TMPDIR=$PWD/build/fuzz/tmp
mkdir -p "$TMPDIR" build/fuzz/findings build/fuzz/corpus
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 --target export_fuzzer
build/fuzz/fuzz/export_fuzzer "$PWD/build/fuzz/corpus" "$PWD/fuzz/corpus/export" \
    -dict=fuzz/export.dict -max_total_time="${1:-60}" -max_len=4096 -timeout=10 \
    -artifact_prefix="$PWD/build/fuzz/findings/"
