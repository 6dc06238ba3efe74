#!/usr/bin/env bash
# Sets Build against the write floor: runs "Build --batch Text NAME" and
# tools/write-floor (the least work that writes the same tables and lists) in
# turn on the same text, RUNS times, and prints for each the CPU time
# (user + system), the wall time and the peak memory (GNU time): the median
# and the range of the runs, and the ratio of the medians. Each run measures
# both programs one after the other, alternating which goes first, so both
# meet the same load of the machine; the machine's load average is printed
# before and after.
#
#   tools/bench-floor.sh [-n RUNS] [-b BUILD_DIR] [-c] [SIZE...]
#
# SIZE is a multiple of the KJV: 1 (its verses alone, as Text/KJV1x), 2, 4, 8 or 16; by
# default all five. RUNS defaults to 7 (fewer for a quick look). -c compares
# the two programs' files after the last run (tools/compare-build.sh).
#
# Needs BUILD_DIR/app/Text/KJV/Bible.db, which the importer writes:
#   BUILD_DIR/app/import-text --sword KJV --to BUILD_DIR/app/Text/KJV
# and the Debian packages time and sqlite3. The multiples are made once with
# import-text from the KJV's verses, as Text/KJV<SIZE>x beside it: the first
# copy with the KJV's own keys, the further copies in books 67 and up, 255
# verses to a chapter and 255 chapters to a book, so that every key stays in
# range. Build rewrites the tables of these texts in their folders; the
# floor writes into BUILD_DIR/floor/<text>.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/bench-common.sh
. "$root/tools/bench-common.sh"
runs=7
build_dir=$root/out/release
compare=false
usage() {
    sed -n '/^#   tools/p' "$0" | sed 's/^#   //' >&2
    exit "${1:-2}"
}
while getopts "n:b:ch" option; do
    case $option in
    n) runs=$OPTARG ;;
    b) build_dir=$OPTARG ;;
    c) compare=true ;;
    h) usage 0 ;;
    *) usage ;;
    esac
done
shift $((OPTIND - 1))
sizes=("$@")
((${#sizes[@]})) || sizes=(1 2 4 8 16)
bench_check_runs 2
for size in "${sizes[@]}"; do
    [[ $size =~ ^(1|2|4|8|16)$ ]] || {
        echo "SIZE is 1, 2, 4, 8 or 16, not '$size'." >&2
        exit 2
    }
done
build_dir=$(cd "$build_dir" 2>/dev/null && pwd) || {
    echo "No build folder: build first (tools/setup.sh)." >&2
    exit 1
}
app=$build_dir/app
floor=$build_dir/tools/write-floor
kjv=$app/Text/KJV/Bible.db
for program in "$app/Build" "$app/import-text" "$floor"; do
    [ -x "$program" ] || {
        echo "No $program: build first (cmake --build $build_dir)." >&2
        exit 1
    }
done
[ -f "$kjv" ] || {
    echo "No verse table $kjv; import the KJV first:" >&2
    echo "    $app/import-text --sword KJV --to $app/Text/KJV" >&2
    exit 1
}
missing=()
[ -x /usr/bin/time ] || missing+=(time)
command -v sqlite3 >/dev/null || missing+=(sqlite3)
if ((${#missing[@]})); then
    echo "The benchmark needs the Debian packages: ${missing[*]}." >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

text_of() { # SIZE
    echo "KJV$1x"
}

# The KJV SIZE times over, imported from a verse file made of its verses.
make_multiple() { # SIZE
    local name verses
    name=$(text_of "$1")
    verses=$app/Text/$name/Bible.db
    [ -f "$verses" ] && [ "$verses" -nt "$kjv" ] && return
    if [ "$1" = 1 ]; then
        # The verses alone: a text imported from a tagged module also has
        # its Strong's numbers, whose table Build makes and the floor does not.
        mkdir -p "$(dirname "$verses")"
        cp "$kjv" "$verses"
        return
    fi
    echo "Making $name, the KJV $1 times over ..."
    sqlite3 -separator $'\t' "$kjv" "
        WITH RECURSIVE copy(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM copy WHERE n < $1 - 1),
        verse AS (SELECT Verse, Text, row_number() OVER (ORDER BY Verse) - 1 AS i,
                         count(*) OVER () AS total FROM Bible)
        SELECT Verse, Text FROM verse
        UNION ALL
        SELECT ((67 + o / 65025) << 24) | ((1 + o / 255 % 255) << 16) | ((1 + o % 255) << 8), Text
        FROM (SELECT (n - 1) * total + i AS o, Text FROM copy, verse)
        ORDER BY 1" >"$work/multiple.tsv"
    bench_import "$work/multiple.tsv" "$(dirname "$verses")" "$name"
}

# measure FILE COMMAND...: appends "cpu wall kilobytes" of one run to FILE.
measure() {
    local file=$1 status=0
    shift
    /usr/bin/time -f "%U %S %e %M" -o "$work/one" "$@" >"$work/out" 2>&1 || status=$?
    if [ "$status" -ne 0 ]; then
        echo "$* failed (exit status $status); its last output:" >&2
        tail -n 5 "$work/out" >&2
        exit 1
    fi
    awk '{ printf "%.3f %.3f %d\n", $1 + $2, $3, $4 }' "$work/one" >>"$file"
}

run_build() { # NAME
    (cd "$app" && measure "$work/$1.build" env -u QT_QPA_PLATFORM ./Build --batch Text "$1")
}
run_floor() { # NAME
    mkdir -p "$build_dir/floor/$1"
    measure "$work/$1.floor" "$floor" --word-size "${width[$1]}" "$app/Text/$1" \
        "$build_dir/floor/$1" "$1"
}

declare -A width
for size in "${sizes[@]}"; do
    make_multiple "$size"
    name=$(text_of "$size")
    # A first build, not counted: it reads the verses into the page cache and
    # records the width of the word fields that the floor is given.
    (cd "$app" && env -u QT_QPA_PLATFORM ./Build --batch Text "$name" >"$work/out" 2>&1) || {
        echo "Build --batch Text $name failed:" >&2
        tail -n 5 "$work/out" >&2
        exit 1
    }
    width[$name]=$(sqlite3 "$app/Text/$name/Key.db" \
        "SELECT size FROM _layout_fields WHERE position = 1")
done

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
for ((i = 1; i <= runs; i++)); do
    [ -t 1 ] && printf '\r  run %d of %d' "$i" "$runs"
    for size in "${sizes[@]}"; do
        name=$(text_of "$size")
        if ((i % 2)); then
            run_build "$name"
            run_floor "$name"
        else
            run_floor "$name"
            run_build "$name"
        fi
    done
done
[ -t 1 ] && printf '\r%30s\r' ''
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

echo "Build against the write floor: median (min-max) of $runs paired runs"
echo "machine: $(nproc) cores; load average $load_before before, $load_after after"
printf '%-7s %11s %-9s %27s %27s %27s\n' text occurrences program \
    "CPU s" "wall s" "peak MiB"
for size in "${sizes[@]}"; do
    name=$(text_of "$size")
    occurrences=$(sqlite3 "$app/Text/$name/Word.db" "SELECT count(*) FROM Word")
    for program in build floor; do
        read -r cm cl ch < <(bench_stats "$work/$name.$program" 1)
        read -r wm wl wh < <(bench_stats "$work/$name.$program" 2)
        read -r pm pl ph < <(bench_stats "$work/$name.$program" 3)
        awk -v t="${size}x" -v o="$occurrences" -v p="$program" -v cm="$cm" -v cl="$cl" \
            -v ch="$ch" -v wm="$wm" -v wl="$wl" -v wh="$wh" -v pm="$pm" -v pl="$pl" -v ph="$ph" \
            'BEGIN { printf "%-7s %11d %-9s %8.3f (%6.3f-%6.3f) %8.3f (%6.3f-%6.3f) %8.1f (%6.1f-%6.1f)\n",
                            t, o, p, cm, cl, ch, wm, wl, wh, pm / 1024, pl / 1024, ph / 1024 }'
        eval "${program}_cpu=$cm ${program}_wall=$wm ${program}_peak=$pm"
    done
    # shellcheck disable=SC2154
    awk -v o="$occurrences" -v bc="$build_cpu" -v fc="$floor_cpu" -v bw="$build_wall" \
        -v fw="$floor_wall" -v bp="$build_peak" -v fp="$floor_peak" 'BEGIN {
        printf "%-7s %11s %-9s %8.2fx %18s %8.2fx %18s %8.2fx\n", "", "", "ratio",
               (fc > 0 ? bc / fc : 0), "", (fw > 0 ? bw / fw : 0), "", (fp > 0 ? bp / fp : 0)
        printf "%-7s %11s %-9s %8.3f s CPU and %.1f MiB peak per million occurrences\n", "", "",
               "Build", bc * 1e6 / o, bp / 1024 * 1e6 / o
    }'
done

if $compare; then
    echo
    for size in "${sizes[@]}"; do
        name=$(text_of "$size")
        echo "$name: Build's files against the floor's"
        "$root/tools/compare-build.sh" --name "$name" "$app/Text/$name" \
            "$build_dir/floor/$name" | sed 's/^/  /' || echo "  DIFFERENT"
    done
fi
