#!/bin/sh
# Rewrites tests/golden/sample.listing from what the program does now. Run it after an
# intended change of the output (or of the sample library, sample/make_sample.py), then
# review the difference with "git diff tests/golden/sample.listing" before committing it.
#   tests/golden/regenerate.sh [BUILD_DIR]
# BUILD_DIR is a configured build folder, build/release by default (configured here with
# the "release" preset when missing).
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}

if [ ! -f "$build/CMakeCache.txt" ]; then
    if [ $# -gt 0 ]; then
        echo "regenerate.sh: $build is not a configured build folder" >&2
        exit 1
    fi
    (cd "$root" && cmake --preset release)
fi
build=$(cd "$build" && pwd)
cmake --build "$build" --target bunkai -j2
program=$(find "$build" -maxdepth 1 -name bunkai -type f | head -n 1)
if [ -z "$program" ]; then
    echo "regenerate.sh: no bunkai program in $build" >&2
    exit 1
fi
cmake -DBUNKAI="$program" -DWORK="$build/golden-regenerate" -DUPDATE=ON \
    -P "$root/tests/golden/golden_test.cmake"
