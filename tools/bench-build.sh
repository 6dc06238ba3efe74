#!/usr/bin/env bash
# Times the whole batch build, "Build --batch Text NAME", end to end on the
# program folder, for the KJV and for the KJV twice over, and prints the median
# wall time and peak memory of RUNS runs next to a baseline measured in the
# same runs: the classic shell word count over the same verse texts,
#
#   sqlite3 Bible.db "SELECT <text> FROM Bible" | tr -cs 'A-Za-z' '\n' |
#       tr A-Z a-z | sort | uniq -c | sort -rn
#
# in the locale C.UTF-8 (Debian's default, in which the targets were set; in
# the plain C locale sort and tr run about a third faster). Each run measures
# the baseline and the build one after the other, so both meet the same load
# of the machine. Targets: the
# KJV's build in at most 4 x the baseline's time (the aim is 3 x), peak memory
# under 80 MB for the KJV and under 100 MB for the text twice its size.
#
#   tools/bench-build.sh [BUILD_DIR] [RUNS]     (defaults: out/release, 5)
#
# Needs BUILD_DIR/app/Text/KJV/Bible.db, which the importer writes:
#   BUILD_DIR/app/import-text --sword KJV --to BUILD_DIR/app/Text/KJV
# and the Debian packages time and sqlite3, which tools/setup.sh installs; it
# installs nothing itself. The doubled text, Text/KJVx2, is made from the KJV's
# verses (the second copy under the book numbers 67 to 127) with import-text
# when it is missing or older than the KJV's. The builds rewrite the tables of
# both texts in their folders.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/bench-common.sh
. "$root/tools/bench-common.sh"
bench_folders "$@"
app=$build_dir/app
kjv=$app/Text/KJV/Bible.db
doubled=$app/Text/KJVx2/Bible.db

for program in Build import-text; do
    if [ ! -x "$app/$program" ]; then
        echo "No $app/$program: build first (tools/setup.sh, or cmake --build $build_dir)." >&2
        exit 1
    fi
done
if [ ! -f "$kjv" ]; then
    cat >&2 <<MSG
No verse table $kjv.
Import the KJV first (Debian package sword-text-kjv):

    $app/import-text --sword KJV --to $app/Text/KJV
MSG
    exit 1
fi

# GNU time reports the peak memory; sqlite3 reads the verse texts.
missing=()
[ -x /usr/bin/time ] || missing+=(time)
command -v sqlite3 >/dev/null || missing+=(sqlite3)
if ((${#missing[@]})); then
    echo "The benchmark needs the Debian packages: ${missing[*]}." >&2
    echo "tools/setup.sh installs them (or: apt-get install ${missing[*]})." >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The name of field N (1, 2, ...) of a verse table, quoted for SQL.
field() {
    local name
    name=$(sqlite3 "$1" "SELECT name FROM _layout_fields ORDER BY position LIMIT 1 OFFSET $(($2 - 1))")
    printf '"%s"' "${name//\"/\"\"}"
}
key=$(field "$kjv" 1)
text=$(field "$kjv" 2)

# The KJV twice over: books 1 to 60 again as 67 to 126, and the six books
# after them as chapters of book 127, so every verse key stays in range.
if [ ! -f "$doubled" ] || [ "$doubled" -ot "$kjv" ]; then
    echo "Making the doubled text $doubled ..."
    sqlite3 -separator $'\t' "$kjv" "
        SELECT $key, $text FROM Bible
        UNION ALL
        SELECT CASE WHEN ($key >> 24) <= 60 THEN $key + (66 << 24)
                    ELSE (127 << 24)
                         | (((($key >> 16) & 255) + CASE $key >> 24 WHEN 61 THEN 0 WHEN 62 THEN 3
                              WHEN 63 THEN 8 WHEN 64 THEN 9 WHEN 65 THEN 10 ELSE 11 END) << 16)
                         | ($key & 65535) END,
               $text FROM Bible" >"$work/doubled.tsv"
    bench_import "$work/doubled.tsv" "$(dirname "$doubled")" "the doubled text"
fi

# measure NAME FILE COMMAND...: appends "seconds kilobytes" of one run to FILE.
measure() {
    local file=$1
    shift
    /usr/bin/time -f "%e %M" -o "$work/one" "$@"
    cat "$work/one" >>"$file"
}

baseline() { # TEXT
    local verses=$app/Text/$1/Bible.db
    # shellcheck disable=SC2016
    measure "$work/$1.baseline" env LC_ALL=C.UTF-8 sh -c \
        'sqlite3 "$1" "$2" | tr -cs "A-Za-z" "\n" | tr A-Z a-z | sort | uniq -c | sort -rn >/dev/null' \
        sh "$verses" "SELECT $text FROM Bible"
}

echo "Benchmark: Build --batch in $app, median of $runs runs"
for ((i = 1; i <= runs; i++)); do
    [ -t 1 ] && printf '\r  run %d of %d' "$i" "$runs"
    for name in KJV KJVx2; do
        baseline "$name"
        bench_build "$name" "$work/$name.build"
    done
done
[ -t 1 ] && printf '\r%30s\r' ''
echo

report() { # TEXT LABEL MEMORY_TARGET_MB
    local verses
    verses=$(sqlite3 "$app/Text/$1/Bible.db" "SELECT count(*) FROM Bible")
    awk -v label="$2 ($verses verses)" -v bs="$(bench_median "$work/$1.build" 1)" \
        -v bk="$(bench_median "$work/$1.build" 2)" -v ws="$(bench_median "$work/$1.baseline" 1)" \
        -v wk="$(bench_median "$work/$1.baseline" 2)" 'BEGIN {
        printf "  %s\n", label
        printf "    %-28s %8.2f s %10.1f MB\n", "Build", bs, bk / 1024
        printf "    %-28s %8.2f s %10.1f MB\n", "shell word count (baseline)", ws, wk / 1024
        if (ws > 0)
            printf "    %-28s %8.1f x\n", "ratio", bs / ws
    }'
}

printf '  %-32s %10s %13s\n' "" "wall time" "peak memory"
echo "  (the baseline in the locale C.UTF-8)"
report KJV "KJV"
report KJVx2 "KJV twice over"
echo

awk -v bs="$(bench_median "$work/KJV.build" 1)" -v ws="$(bench_median "$work/KJV.baseline" 1)" \
    -v bk="$(bench_median "$work/KJV.build" 2)" -v dk="$(bench_median "$work/KJVx2.build" 2)" 'BEGIN {
    verdict = "met"
    if (ws <= 0) {
        printf "  time, KJV:        the baseline took no measurable time; no ratio\n"
    } else {
        r = bs / ws
        printf "  time, KJV:        %4.1f x the baseline  (target <= 4 x, aim 3 x)  %s\n", r,
               r <= 3 ? "met, aim too" : (r <= 4 ? "met" : "NOT met")
    }
    printf "  memory, KJV:      %5.1f MB            (target < 80 MB)           %s\n", bk / 1024,
           bk / 1024 < 80 ? "met" : "NOT met"
    printf "  memory, twice:    %5.1f MB            (target < 100 MB)          %s\n", dk / 1024,
           dk / 1024 < 100 ? "met" : "NOT met"
}'
