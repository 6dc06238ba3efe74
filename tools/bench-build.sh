#!/usr/bin/env bash
# Times the whole batch build of the KJV, "Build --batch Text KJV", end to end
# on the program folder, and prints its wall time and peak memory next to a
# baseline measured in the same run: the classic shell word count over the same
# verse texts. Targets: at most 12 x the baseline's time, peak memory < 150 MB.
#
#   tools/bench-build.sh [BUILD_DIR]      (default: out/release)
#
# Needs BUILD_DIR/app/Text/KJV/Bible.db, which the importer writes:
#   BUILD_DIR/app/import-text --sword KJV --to BUILD_DIR/app/Text/KJV
# and the Debian packages time and sqlite3, which tools/setup.sh installs; it
# installs nothing itself. The build rewrites the KJV's tables in that folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$root/out/release}
build_dir=$(cd "$build_dir" 2>/dev/null && pwd) || {
    echo "No build folder ${1:-$root/out/release}: build first (tools/setup.sh)." >&2
    exit 1
}
app=$build_dir/app
text=$app/Text/KJV
verses=$text/Bible.db

if [ ! -x "$app/Build" ]; then
    echo "No $app/Build: build first (tools/setup.sh, or cmake --build $build_dir)." >&2
    exit 1
fi
if [ ! -f "$verses" ]; then
    cat >&2 <<MSG
No verse table $verses.
Import the KJV first (Debian package sword-text-kjv):

    $build_dir/app/import-text --sword KJV --to $text
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

# The verse text is the second field of the verse table's layout.
sql_name() { printf '"%s"' "${1//\"/\"\"}"; }
column=$(sqlite3 "$verses" "SELECT name FROM _layout_fields ORDER BY position LIMIT 1 OFFSET 1" \
    2>/dev/null || true)
if [ -z "$column" ]; then
    column=$(sqlite3 "$verses" "SELECT name FROM pragma_table_info('Bible') ORDER BY cid LIMIT 1 OFFSET 1")
fi
query="SELECT $(sql_name "$column") FROM Bible"
verse_count=$(sqlite3 "$verses" "SELECT count(*) FROM Bible")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "Benchmark: Build --batch Text KJV ($verse_count verses) in $app"
echo

# Baseline: the shell word count over the same verse texts (the inner script
# takes the file and the query as its arguments).
# shellcheck disable=SC2016
/usr/bin/time -f "%e %M" -o "$work/baseline.time" sh -c \
    'sqlite3 "$1" "$2" | tr -cs "A-Za-z" "\n" | tr A-Z a-z | sort | uniq -c | sort -rn > /dev/null' \
    sh "$verses" "$query"

# The build, without a display; its texts go to a log.
status=0
(cd "$app" && env -u QT_QPA_PLATFORM /usr/bin/time -f "%e %M" -o "$work/build.time" \
    ./Build --batch --verbose Text KJV >"$work/build.out" 2>"$work/build.err") || status=$?
if [ "$status" -ne 0 ]; then
    echo "The build did not complete (exit status $status). Its last output:" >&2
    tail -n 5 "$work/build.out" >&2
    cat "$work/build.err" >&2
    exit 1
fi

read -r base_s base_kb <"$work/baseline.time"
read -r build_s build_kb <"$work/build.time"

grep -E "records processed|^Total Words|^Elapsed time" "$work/build.out" | sed 's/^/  build: /'
echo

awk -v bs="$build_s" -v bk="$build_kb" -v ws="$base_s" -v wk="$base_kb" 'BEGIN {
    ratio = ws > 0 ? bs / ws : -1
    printf "  %-26s %10s %14s\n", "", "wall time", "peak memory"
    printf "  %-26s %9.2f s %11.1f MB\n", "Build --batch Text KJV", bs, bk / 1024
    printf "  %-26s %9.2f s %11.1f MB\n", "shell word count (baseline)", ws, wk / 1024
    printf "\n"
    if (ratio < 0)
        printf "  time:   the baseline took no measurable time; no ratio\n"
    else
        printf "  time:   %.1f x baseline   (target <= 12 x)   %s\n", ratio,
               ratio <= 12 ? "met" : "NOT met"
    printf "  memory: %.1f MB           (target < 150 MB)  %s\n", bk / 1024,
           bk / 1024 < 150 ? "met" : "NOT met"
}'
