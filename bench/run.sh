#!/usr/bin/env bash
# How fast is it: times Rollcall, Exec and Say against the commands a user
# would otherwise type (ls, find, sort), side by side with hyperfine, over
# synthetic folders of 10,000, 100,000 and 1,000,000 entries, records the
# peak memory of each command with /usr/bin/time -v, and writes
# bench/results/results.md and bench/results/scaling.png.
#
#   bash bench/run.sh            full run (10k, 100k, 1M entries)
#   bash bench/run.sh --quick    10k and 100k only, fewer runs; results go to
#                                bench/results/quick/ (not committed)
# Options: --runs N (timed runs per command), --no-build (use the existing
# build/release), --sizes "N N ..." (folder sizes).
# A command whose first run takes over $BENCH_LIMIT seconds (default 300) is
# left out at that size; over $BENCH_SLOW (default 20) it gets 3 timed runs.
# The folders are kept under $BENCH_DIR (default /tmp/sprite-bench) and
# reused by later runs while their entry count is right.
# Installs the Debian packages it needs when they are missing (as root).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

quick=0 build=1 runs="" sizes=""
while [ $# -gt 0 ]; do
    case "$1" in
        --quick) quick=1 ;;
        --no-build) build=0 ;;
        --runs) runs=$2; shift ;;
        --sizes) sizes=$2; shift ;;
        -h|--help) sed -n '2,18p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown option: $1 (try --help)" >&2; exit 2 ;;
    esac
    shift
done
if [ "$quick" = 1 ]; then
    sizes=${sizes:-"10000 100000"}; runs=${runs:-5}; warmup=1
    results=$here/results/quick
else
    sizes=${sizes:-"10000 100000 1000000"}; runs=${runs:-10}; warmup=3
    results=$here/results
fi
bench_dir=${BENCH_DIR:-/tmp/sprite-bench}
limit=${BENCH_LIMIT:-300}         # seconds one run of a command may take
slow_after=${BENCH_SLOW:-20}      # seconds from which a command gets 3 runs
raw=$results/raw
mkdir -p "$bench_dir" "$raw"
rm -f "$raw"/*

source "$root/tests/debian_packages.sh"
require_packages cmake make g++ pkg-config libicu-dev hyperfine time
command -v gnuplot >/dev/null || require_packages gnuplot-nox
command -v python3 >/dev/null || require_packages python3

if [ "$build" = 1 ]; then
    echo "== building the release build"
    cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
    cmake --build "$root/build/release" -j "$(nproc)" >/dev/null
fi
bin=$root/build/release/bin
for tool in Rollcall Exec Say; do
    [ -x "$bin/$tool" ] || { echo "missing $bin/$tool" >&2; exit 1; }
done

# One locale for every command: C, so that sort -f is a byte-wise sort and
# Rollcall uses its neutral (locale-independent) order.
export LC_ALL=C
out=$bench_dir/out          # outputs go here, outside the measured folders
mkdir -p "$out"
q() { printf '%q' "$1"; }
B=$(q "$bin") O=$(q "$out")
find_shp="find . -maxdepth 1 -type f -iname '*.shp' ! -name '.*'"
# Same lines as Exec: "conv NAME BASE.s16 p  " + CR LF, BASE = up to the first dot.
exec_sed="sed -E 's/^([^.]*)(.*)\$/conv \\1\\2 \\1.s16 p  \\r/'"

# Names and commands (run by sh in the folder), in the table's order.
names=("Say" "ls -f | wc -l" "find | wc -l"
       "Exec" "find -printf | sed"
       "Rollcall" "find | sort -f")
cmds=("$B/Say '/*.shp'"
      "ls -f | wc -l"
      "$find_shp | wc -l"
      "$B/Exec conv '*.shp' s16 p > $O/exec.txt"
      "$find_shp -printf '%f\\n' | $exec_sed > $O/exec_ref.txt"
      "$B/Rollcall '*.shp' $O/list.txt"
      "$find_shp -printf '%f\\n' | sort -f > $O/list_ref.txt")

{
    echo "mode=$([ "$quick" = 1 ] && echo quick || echo full)"
    echo "runs=$runs"
    echo "warmup=$warmup"
    echo "date=$(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
    echo "cpus=$(nproc)"
    echo "kernel=$(uname -r)"
    echo "filesystem=$(df -T "$bench_dir" | awk 'NR==2 {print $2}')"
    echo "hyperfine=$(hyperfine --version)"
    echo "commit=$(git -C "$root" rev-parse --short HEAD)$(git -C "$root" diff --quiet HEAD -- . ':!bench' 2>/dev/null || echo ' + uncommitted changes')"
    echo "load=$(cut -d' ' -f1-3 /proc/loadavg)"
} > "$raw/env.txt"
: > "$raw/checks.txt"; : > "$raw/timeouts.tsv"; : > "$raw/memory.tsv"
check() { # description, ok (0/1)
    local verdict=ok; [ "$2" = 0 ] && verdict=FAILED
    printf '%s\t%s\t%s\n' "$size" "$1" "$verdict" >> "$raw/checks.txt"
    echo "   check: $1: $verdict"
}

for size in $sizes; do
    folder=$bench_dir/f$size
    have=-1
    if [ -f "$folder.json" ] && [ -d "$folder" ]; then
        have=$(( $(cd "$folder" && ls -f | wc -l) - 2 ))
    fi
    if [ "$have" != "$size" ]; then
        echo "== creating $folder ($size entries)"
        python3 "$here/make_folder.py" "$folder" "$size" >/dev/null
    else
        echo "== reusing $folder ($size entries)"
    fi
    cp "$folder.json" "$raw/folder-$size.json"
    matching=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["matching"])' "$folder.json")
    cd "$folder"

    # One run of each command first, under a time limit: a command that
    # does not finish is left out at this size (and reported); one that
    # takes long gets 3 timed runs and 1 memory run instead of the full set.
    fast=() slow=()
    for k in "${!cmds[@]}"; do
        t0=$(date +%s%N)
        rc=0; timeout "$limit" sh -c "${cmds[$k]}" > "$out/first-$k.txt" || rc=$?
        seconds=$(( ($(date +%s%N) - t0) / 1000000000 ))
        if [ "$rc" = 124 ]; then
            printf '%s\t%s\t%s\n' "$size" "${names[$k]}" "$limit" >> "$raw/timeouts.tsv"
            echo "   ${names[$k]}: no result within $limit s, left out at $size entries"
        elif [ "$seconds" -ge "$slow_after" ]; then
            slow+=("$k"); echo "   ${names[$k]}: one run took $seconds s, timed with 3 runs"
        else
            fast+=("$k")
        fi
        codes[$k]=$rc
    done
    finished() { [ -z "$(awk -v s="$size" -v n="$1" -F'\t' '$1==s && $2==n' "$raw/timeouts.tsv" 2>/dev/null)" ]; }

    # The tools and the references must give the same answers, or the
    # comparison means nothing.
    count=$(sh -c "$find_shp" | wc -l)
    check "find counts $matching matching files" $([ "$count" = "$matching" ] && echo 1 || echo 0)
    check "Say prints and returns the count" \
        $(cmp -s "$out/first-0.txt" <(printf '%s \r\n' "$count") \
          && [ "${codes[0]}" = $((count % 256)) ] && echo 1 || echo 0)
    ok=1; for k in 3 4 5 6; do [ "${codes[$k]}" = 0 ] || [ "${codes[$k]}" = 124 ] || ok=0; done
    check "Exec, Rollcall and the references exit with 0" $ok
    # Same lines; find (gnulib fts) reorders big folders by inode number,
    # so the order is compared with the folder's own order (ls -f) instead.
    check "Exec lines = find -printf | sed lines (as sets)" \
        $(cmp -s <(sort "$out/exec.txt") <(sort "$out/exec_ref.txt") && echo 1 || echo 0)
    check "Exec lines come in the folder's own order (ls -f)" \
        $(cmp -s "$out/exec.txt" <(ls -f | grep -v '^\.' | grep -Fxf "$out/list_ref.txt" \
                                   | sh -c "$exec_sed") && echo 1 || echo 0)
    if finished Rollcall; then
        check "Rollcall list holds the same names as find | sort -f (CR LF ends)" \
            $(cmp -s <(sed 's/\r$//' "$out/list.txt" | sort) <(sort "$out/list_ref.txt") \
              && [ "$(grep -c $'\r$' "$out/list.txt")" = "$count" ] && echo 1 || echo 0)
    fi

    for group in fast slow; do
        if [ "$group" = fast ]; then set -- "${fast[@]}"; r=$runs; wu=$warmup
        else set -- "${slow[@]}"; r=3; wu=0; fi
        [ $# -gt 0 ] || continue
        echo "== timing $size entries ($r runs, $wu warm-up runs each)"
        args=()
        for k in "$@"; do args+=(-n "${names[$k]}" "${cmds[$k]}"); done
        # -i: Say's exit status is its count; the exit statuses were checked above.
        hyperfine --style basic -i --warmup "$wu" --runs "$r" \
            --export-json "$raw/time-$size-$group.json" "${args[@]}" \
            | grep -E '^(Benchmark|  Time)' || true
    done

    echo "== peak memory, $size entries"
    for k in "${fast[@]}" "${slow[@]}"; do
        name=${names[$k]} cmd=${cmds[$k]}
        n=3; [[ " ${slow[*]} " == *" $k "* ]] && n=1
        for i in $(seq $n); do
            case "$name" in
                # The tools run directly, so a shell's memory does not count.
                Say) /usr/bin/time -v -o "$out/mem.txt" "$bin/Say" '/*.shp' >/dev/null || true ;;
                Exec) /usr/bin/time -v -o "$out/mem.txt" "$bin/Exec" conv '*.shp' s16 p > "$out/exec.txt" ;;
                Rollcall) /usr/bin/time -v -o "$out/mem.txt" "$bin/Rollcall" '*.shp' "$out/list.txt" >/dev/null ;;
                # A pipeline's figure is that of its largest process.
                *) /usr/bin/time -v -o "$out/mem.txt" sh -c "$cmd" >/dev/null ;;
            esac
            kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$out/mem.txt")
            printf '%s\t%s\t%s\n' "$size" "$name" "$kb" >> "$raw/memory.tsv"
        done
    done
    cd "$root"
done

echo "== report"
python3 "$here/report.py" "$raw" "$results"
echo "Results: $results/results.md and $results/scaling.png"
