#!/usr/bin/env bash
# Times the KJV's batch build by its word rule against the same build by the
# Unicode word rule, in one run: "Build --batch Text KJV" (byte rule, the
# baseline) and "Build --batch Text KJV-unicode", a copy of the KJV's verse
# table whose folder records the Unicode rule. Each run builds both texts one
# after the other, so both meet the same load of the machine; the medians of
# RUNS runs are printed with their ratios. Targets: the Unicode build in at
# most 1.3 x the byte-rule build's time, its peak memory within 10 %.
#
#   tools/bench-unicode.sh [BUILD_DIR] [RUNS]     (defaults: out/release, 5)
#
# Needs BUILD_DIR/app/Text/KJV/Bible.db, which the importer writes:
#   BUILD_DIR/app/import-text --sword KJV --to BUILD_DIR/app/Text/KJV
# and the Debian package time. The copy, Text/KJV-unicode, is made (and made
# again when the KJV's verse table is newer) with its own record
# "Words.ini"; the builds rewrite the tables of both texts.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=tools/bench-common.sh
. "$root/tools/bench-common.sh"
bench_folders "$@"
app=$build_dir/app
kjv=$app/Text/KJV/Bible.db
copy=$app/Text/KJV-unicode
if [ ! -x "$app/Build" ]; then
    echo "No $app/Build: build first (tools/setup.sh, or cmake --build $build_dir)." >&2
    exit 1
fi
if [ ! -f "$kjv" ]; then
    echo "No verse table $kjv. Import the KJV first:" >&2
    echo "    $app/import-text --sword KJV --to $app/Text/KJV" >&2
    exit 1
fi
if [ ! -x /usr/bin/time ]; then
    echo "The benchmark needs the Debian package time (tools/setup.sh installs it)." >&2
    exit 1
fi

if [ ! -f "$copy/Bible.db" ] || [ "$copy/Bible.db" -ot "$kjv" ]; then
    mkdir -p "$copy"
    cp "$kjv" "$copy/Bible.db.new" && mv "$copy/Bible.db.new" "$copy/Bible.db"
fi
printf '[Words]\nRule=unicode\nFoldAccents=no\nLanguage=en\n' >"$copy/Words.ini"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "Benchmark: Build --batch in $app, byte rule against Unicode rule, median of $runs runs"
for ((i = 1; i <= runs; i++)); do
    [ -t 1 ] && printf '\r  run %d of %d' "$i" "$runs"
    bench_build KJV "$work/KJV"
    bench_build KJV-unicode "$work/KJV-unicode"
done
[ -t 1 ] && printf '\r%30s\r' ''

awk -v bs="$(bench_median "$work/KJV" 1)" -v bk="$(bench_median "$work/KJV" 2)" \
    -v us="$(bench_median "$work/KJV-unicode" 1)" -v uk="$(bench_median "$work/KJV-unicode" 2)" 'BEGIN {
    printf "  %-24s %10s %13s\n", "", "wall time", "peak memory"
    printf "  %-24s %8.2f s %10.1f MB\n", "KJV, byte rule", bs, bk / 1024
    printf "  %-24s %8.2f s %10.1f MB\n", "KJV, Unicode rule", us, uk / 1024
    if (bs <= 0 || bk <= 0) {
        print "  the byte-rule build took no measurable time; no ratio"
        exit
    }
    t = us / bs
    m = uk / bk
    printf "  time:    %5.2f x the byte rule  (target <= 1.3 x)   %s\n", t,
           t <= 1.3 ? "met" : "NOT met"
    printf "  memory:  %5.2f x the byte rule  (target <= 1.10 x)  %s\n", m,
           m <= 1.10 ? "met" : "NOT met"
}'
