#!/usr/bin/env bash
# Benchmarks bunkai on a synthetic library made by make_library.py.
#
# Generates the library in a scratch folder, runs bunkai once in a fresh empty working
# folder (warm page cache, export path as the only argument, no standard input), and
# compares its wall time with what `cat` needs to read the same export and, whole, the music
# files that bunkai opens (one per album). Prints throughput, peak memory and what the run
# made, checked against the counts the generator expects.
#
# Then it runs interleaved rounds, each of: bunkai in a fresh folder, bunkai again over the
# tree it made (a rerun), the floor program (bench/floor.c: the same folders, files and
# bytes, the same export and music files read, nothing else) in a fresh folder, and bunkai
# with its standard output on a terminal (under `script`) in a fresh folder. It prints the
# median of each and the medians of the ratios of each round: side by side, the ratios
# hold even when other work on the machine slows a whole round.
#
# Exit status: 0 when bunkai ran and made what was expected, 1 when it failed or was
# stopped by the timeout, 3 when its output counts differ from the expected ones.
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: bench/run.sh [--bin PATH] [--keep] [--scratch DIR] [--timeout SECONDS] [--rounds N]
                    [--library DIR]
                    [make_library.py options: --tracks N --error-share S --music-size B ...]

  --bin PATH         bunkai binary (default: build/release/bunkai of this repository)
  --keep             keep the scratch folder (library and output tree) afterwards
  --scratch DIR      create the scratch folder in DIR (default /tmp)
  --timeout SECONDS  stop bunkai after this long (default 300)
  --rounds N         interleaved rounds of first run, rerun, floor and terminal run
                     (default 5; 0 skips them)
  --library DIR      use the library that make_library.py made in DIR (left as it is)
                     instead of generating one
Every other option goes to make_library.py (see bench/make_library.py --help).
EOF
}

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
bin="$here/../build/release/bunkai"
keep=0
scratch_parent=/tmp
timeout_seconds=300
rounds=5
given_library=
generator_args=()
while (($#)); do
    case $1 in
        --bin) bin=$2; shift 2 ;;
        --keep) keep=1; shift ;;
        --scratch) scratch_parent=$2; shift 2 ;;
        --timeout) timeout_seconds=$2; shift 2 ;;
        --rounds) rounds=$2; shift 2 ;;
        --library) given_library=$(cd "$2" && pwd); shift 2 ;;
        --out) echo "run.sh chooses the library folder itself; use --scratch" >&2; exit 2 ;;
        -h | --help) usage; exit 0 ;;
        *) generator_args+=("$1"); shift ;;
    esac
done

if [[ ! -x $bin ]]; then
    echo "no bunkai binary at $bin (build it with: cmake --preset release && cmake --build --preset release)" >&2
    exit 1
fi
bin=$(cd "$(dirname "$bin")" && pwd)/$(basename "$bin")

scratch=$(mktemp -d "$scratch_parent/bunkai-bench.XXXXXX")
cleanup() {
    if ((keep)); then
        echo "kept      $scratch"
    else
        rm -rf "$scratch"
    fi
}
trap cleanup EXIT

nanoseconds() { date +%s%N; }

# Best wall time, in nanoseconds, of three runs of a command whose output is discarded.
best_of_three() {
    local best=0 start elapsed
    for _ in 1 2 3; do
        start=$(nanoseconds)
        "$@" >/dev/null
        elapsed=$(($(nanoseconds) - start))
        if ((best == 0 || elapsed < best)); then best=$elapsed; fi
    done
    echo "$best"
}

cat_music() { xargs -r -d '\n' -a "$scanned_list" cat; }

if [[ -n $given_library ]]; then
    library=$given_library
    generate_ns=0
else
    library=$scratch/library
    start=$(nanoseconds)
    python3 "$here/make_library.py" --out "$library" "${generator_args[@]}" >/dev/null
    generate_ns=$(($(nanoseconds) - start))
fi

{
    read -r export_path
    read -r export_bytes
    read -r scanned_list
    read -r tracks
    read -r albums
    read -r artists
    read -r music_files
    read -r music_bytes
    read -r expected_artist_folders
    read -r expected_album_folders
    read -r expected_list_files
    read -r expected_pictures
    read -r expected_errlist_rows
} < <(python3 -c '
import json, sys
manifest = json.load(open(sys.argv[1], encoding="utf-8"))
for key in sys.argv[2:]:
    print(manifest["expected"][key[9:]] if key.startswith("expected.") else manifest[key])
' "$library/manifest.json" export export_bytes scanned_list tracks albums artists music_files \
    music_bytes expected.artist_folders expected.album_folders expected.list_files \
    expected.pictures expected.errlist_rows)

# Let the generator's gigabytes reach the disk first: written back during the run, they
# would slow it by seconds that have nothing to do with bunkai. Then warm the page cache
# so that bunkai and cat both read from memory.
sync
cat "$export_path" >/dev/null
cat_music >/dev/null

work=$scratch/work
mkdir "$work"
status=0
start=$(nanoseconds)
(cd "$work" && /usr/bin/time -v -o "$scratch/time.txt" \
    timeout --kill-after=10 "$timeout_seconds" "$bin" "$export_path" \
    </dev/null >"$scratch/stdout.txt" 2>"$scratch/stderr.txt") || status=$?
run_ns=$(($(nanoseconds) - start))

export_cat_ns=$(best_of_three cat "$export_path")
music_cat_ns=$(best_of_three cat_music)

peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$scratch/time.txt")
user_s=$(awk -F': ' '/User time/ {print $2}' "$scratch/time.txt")
system_s=$(awk -F': ' '/System time/ {print $2}' "$scratch/time.txt")

count() { { find "$@" 2>/dev/null || true; } | wc -l; }
artist_folders=$(count "$work/Music" -mindepth 1 -maxdepth 1 -type d)
album_folders=$(count "$work/Music" -mindepth 2 -maxdepth 2 -type d)
list_files=$(count "$work" -name list.csv -type f)
pictures=$(count "$work/Music" -mindepth 3 -maxdepth 3 -type f \( -name img.png -o -name img.jpg \))
errlist_rows=0
[[ -f $work/errlist.csv ]] && errlist_rows=$(wc -l <"$work/errlist.csv")
err_notes=0
[[ -f $work/err.csv ]] && err_notes=$(wc -l <"$work/err.csv")

awk -v tracks="$tracks" -v albums="$albums" -v artists="$artists" -v gen="$generate_ns" \
    -v run="$run_ns" -v ebytes="$export_bytes" -v ecat="$export_cat_ns" \
    -v mfiles="$music_files" -v mbytes="$music_bytes" -v mcat="$music_cat_ns" \
    -v peak="$peak_kb" -v user="$user_s" -v sys="$system_s" -v status="$status" -v bin="$bin" \
    -v built="$(date -r "$bin" '+%Y-%m-%d %H:%M:%S')" '
function rate(bytes, ns) { return ns > 0 ? bytes / 1e6 / (ns / 1e9) : 0 }
BEGIN {
    printf "binary    %s (modified %s)\n", bin, built
    printf "library   %d tracks, %d albums, %d artists (generated in %.1f s)\n", tracks, albums, artists, gen / 1e9
    printf "run       %.3f s wall (user %.2f s, system %.2f s), %.0f tracks/s, exit status %d, peak RSS %.1f MB\n",
        run / 1e9, user, sys, tracks / (run / 1e9), status, peak / 1024
    printf "export    %.1f MB: bunkai %.1f MB/s; cat %.3f s, %.0f MB/s; bunkai takes %.1fx cat\n",
        ebytes / 1e6, rate(ebytes, run), ecat / 1e9, rate(ebytes, ecat), run / ecat
    printf "music     %.1f MB in the %d files it opens: bunkai %.1f MB/s; cat %.3f s, %.0f MB/s; bunkai takes %.1fx cat\n",
        mbytes / 1e6, mfiles, rate(mbytes, run), mcat / 1e9, rate(mbytes, mcat), (mcat > 0 ? run / mcat : 0)
    printf "floor     cat of both: %.3f s; bunkai takes %.1fx that\n", (ecat + mcat) / 1e9, run / (ecat + mcat)
}'

mismatch=0
report() {
    local name=$1 got=$2 want=$3
    if [[ $got == "$want" ]]; then
        printf '          %-15s %8d\n' "$name" "$got"
    else
        printf '          %-15s %8d   expected %d\n' "$name" "$got" "$want"
        mismatch=1
    fi
}
echo "made"
report "artist folders" "$artist_folders" "$expected_artist_folders"
report "album folders" "$album_folders" "$expected_album_folders"
report "list.csv files" "$list_files" "$expected_list_files"
report "pictures" "$pictures" "$expected_pictures"
report "errlist rows" "$errlist_rows" "$expected_errlist_rows"
report "err.csv notes" "$err_notes" 0

if ((status != 0)); then
    if ((status == 124 || status == 137)); then
        echo "bunkai did not finish within $timeout_seconds s" >&2
    else
        echo "bunkai failed with exit status $status" >&2
    fi
    if [[ -s $scratch/stderr.txt ]]; then
        echo "its standard error ends with:" >&2
        tail -n 5 "$scratch/stderr.txt" >&2
    fi
    exit 1
fi
if ((mismatch)); then
    echo "bunkai's output differs from what the library should give" >&2
    exit 3
fi
((rounds > 0)) || exit 0

floor=$scratch/floor
plan=$scratch/floor.plan
cc -O2 -o "$floor" "$here/floor.c"
python3 "$here/floor_plan.py" "$work" "$plan"

# Wall time, in nanoseconds, of a command run in the folder given first.
timed_in() {
    local folder=$1 start
    shift
    start=$(nanoseconds)
    (cd "$folder" && "$@" </dev/null >/dev/null 2>&1) || {
        echo "failed in $folder: $*" >&2
        exit 1
    }
    echo $(($(nanoseconds) - start))
}
quoted_run=$(printf '%q ' "$bin" "$export_path")
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

firsts=() reruns=() floors=() terminals=()
for ((round = 1; round <= rounds; ++round)); do
    rm -rf "$work" "$scratch/floor-work" "$scratch/terminal-work"
    mkdir "$work" "$scratch/floor-work" "$scratch/terminal-work"
    firsts+=("$(timed_in "$work" "$bin" "$export_path")")
    reruns+=("$(timed_in "$work" "$bin" "$export_path")")
    floors+=("$(timed_in "$scratch/floor-work" "$floor" "$plan" "$export_path" "$scanned_list")")
    terminals+=("$(timed_in "$scratch/terminal-work" script -qec "$quoted_run" /dev/null)")
    if ((round == 1)) && ! diff -rq "$scratch/floor-work" "$scratch/terminal-work" >/dev/null; then
        echo "the floor program's tree differs from bunkai's" >&2
        exit 1
    fi
done
rm -rf "$scratch/floor-work" "$scratch/terminal-work"

ratios() {
    local -n numerators=$1 denominators=$2
    for i in "${!numerators[@]}"; do
        awk -v a="${numerators[$i]}" -v b="${denominators[$i]}" 'BEGIN { print a / b }'
    done | median
}
seconds() { printf '%s\n' "$@" | median | awk '{ printf "%.3f", $1 / 1e9 }'; }
echo "rounds    $rounds interleaved; medians of wall time and of each round's ratios"
printf '          first run %s s, floor %s s: bunkai takes %.2fx the floor\n' \
    "$(seconds "${firsts[@]}")" "$(seconds "${floors[@]}")" "$(ratios firsts floors)"
printf '          rerun %s s: %.2fx the first run\n' "$(seconds "${reruns[@]}")" "$(ratios reruns firsts)"
printf '          terminal %s s: %.2fx the first run with output to /dev/null\n' \
    "$(seconds "${terminals[@]}")" "$(ratios terminals firsts)"
