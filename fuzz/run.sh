#!/usr/bin/env bash
# Builds the fuzz targets with clang in build/fuzz and fuzzes them one after another (one
# process at a time: the machine is shared), each for the given number of seconds, with its
# dictionary and committed corpus.
#
#   fuzz/run.sh [seconds per target] [target ...]      (default: 60 s, every target)
#
# 0 seconds fuzzes nothing, which with MERGE=1 merges what earlier runs found.
# New inputs collect in build/fuzz/corpus/<target>, crashes and hangs in
# build/fuzz/findings/<target>, the whole output in build/fuzz/logs/<target>.log. With
# MERGE=1, the new inputs of at most MERGE_MAX_BYTES bytes (default 2048) that reach code the
# committed corpus does not (edges, not hit counts, which keeps the additions few) are merged
# into fuzz/corpus/<target>; review them before committing, and keep each committed corpus to
# a few dozen small files.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build/fuzz"

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(export journal location shift_jis list_merge artwork)

# The targets' scratch folders, and libFuzzer's own, go here rather than to the shared /tmp:
# a crashing input leaves its scratch folder behind.
export TMPDIR="$build/tmp"
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"

cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DBUNKAI_FUZZ=ON -DBUNKAI_SANITIZE=ON -DBUNKAI_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/%/_fuzzer}"

status=0
for name in "${targets[@]}"; do
  found="$build/corpus/$name"
  findings="$build/findings/$name"
  mkdir -p "$found" "$findings" "$build/logs"
  echo "== $name: ${seconds} s"
  if [ "$seconds" -gt 0 ]; then
    before=$(ls "$findings" | wc -l)
    # One worker process at a time (-fork=1). A failing input is kept in findings/ and the
    # run goes on, so that a known bug (its reproducer in the committed corpus fails at
    # once) does not stop the search for others.
    "$build/fuzz/${name}_fuzzer" "$found" "$root/fuzz/corpus/$name" \
      -dict="$root/fuzz/$name.dict" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
      -rss_limit_mb=2048 -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
      -artifact_prefix="$findings/" >"$build/logs/$name.log" 2>&1 || status=1
    grep -E '^#[0-9]+: cov:' "$build/logs/$name.log" | tail -1 | sed 's/^/   /' || true
    after=$(ls "$findings" | wc -l)
    if [ "$after" -gt "$before" ]; then
      status=1
      echo "   $((after - before)) failing inputs in $findings (see logs/$name.log)"
    fi
  fi

  if [ "${MERGE:-0}" = 1 ]; then
    small="$build/small/$name"
    rm -rf "$small"
    mkdir -p "$small"
    find "$found" -type f -size -"$((${MERGE_MAX_BYTES:-2048} + 1))"c -exec cp {} "$small/" \;
    "$build/fuzz/${name}_fuzzer" -merge=1 -use_counters=0 "$root/fuzz/corpus/$name" "$small" \
      >>"$build/logs/$name.log" 2>&1
    echo "   committed corpus: $(ls "$root/fuzz/corpus/$name" | wc -l) files"
  fi
done
exit $status
