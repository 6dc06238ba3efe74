#!/usr/bin/env bash
# Kills (SIGKILL) the batch build of a text at many points spread over its run
# time and checks after each kill that every word list in the folder describes
# the tables beside it: no list of the build before, none of the killed build
# beside tables that are not yet its own, and none half written.
#
#   tools/kill-builds.sh [BUILD_DIR] [POINTS] [TEXT]   (defaults: out/release, 16, KJV)
#
# Needs BUILD_DIR/app/Text/TEXT/Bible.db (tools/run.sh imports the KJV) and
# sqlite3. Works in a scratch program folder of its own (the program copied,
# its libraries linked), with two texts: TEXT as it is (A) and TEXT with its
# first verse changed (B), so that the tables and lists of two builds differ.
# A complete build of one text is followed by a build of the other that is
# killed after POINT/(POINTS+1) of a build's time; each of the three tables
# must then hold the rows of A, of B or none, and the lists present must be
# those of A when all three tables are A's, those of B when all three are
# B's, and otherwise there must be none. Prints one line per point and exits
# with 0 when every point passes, 1 otherwise.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$(cd "${1:-$root/out/release}" && pwd)
points=${2:-16}
text=${3:-KJV}
source_text="$build_dir/app/Text/$text/Bible.db"
if [ ! -f "$source_text" ] || ! command -v sqlite3 >/dev/null; then
    echo "usage: tools/kill-builds.sh [BUILD_DIR] [POINTS] [TEXT]" >&2
    echo "       (needs BUILD_DIR/app/Text/TEXT/Bible.db and sqlite3)" >&2
    exit 2
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
app="$scratch/app"
mkdir -p "$app/Text/$text"
cp "$build_dir/app/Build" "$app/"
cp "$build_dir/app/Bible left.bmp" "$app/" 2>/dev/null || true
for library in "$build_dir"/app/*.so*; do
    ln -s "$library" "$app/"
done
folder="$app/Text/$text"

# The verse tables of the two texts.
cp "$source_text" "$scratch/A.db"
cp "$source_text" "$scratch/B.db"
sqlite3 "$scratch/B.db" \
    "UPDATE Bible SET Text = 'Quokka zebra ' || Text WHERE Verse = (SELECT min(Verse) FROM Bible)"

build() { # TEXT-FILE: a complete build of A or B in the folder
    cp "$scratch/$1.db" "$folder/Bible.db"
    "$app/Build" --batch "Text" "$text" >/dev/null 2>&1
}

# What a build made: a fingerprint of each table's rows, and each list
# without the header's date line (the path is the same in every build).
table_print() { # TABLE
    sqlite3 "$folder/$1.db" "SELECT * FROM $1 ORDER BY rowid" 2>&1 | md5sum | cut -c1-32
}
list_print() { # SUFFIX
    sed -E '2s/^[0-9]{4} .*, [0-9]{2}:[0-9]{2}\r$/<time>/' "$folder/${text}$1.txt" | md5sum |
        cut -c1-32
}
suffixes=(_Freq _List _Alpha _Length _CharFreq _Pcre)
tables=(Key Freq Word)
empty_print=$(printf '' | md5sum | cut -c1-32)

declare -A made
for which in A B; do
    start=$(date +%s%N)
    build "$which"
    elapsed_ms=$((($(date +%s%N) - start) / 1000000))
    for table in "${tables[@]}"; do made[$which$table]=$(table_print "$table"); done
    for suffix in "${suffixes[@]}"; do made[$which$suffix]=$(list_print "$suffix"); done
done
echo "A complete build takes $elapsed_ms ms; killing at $points points spread over it."

failed=0
for ((point = 1; point <= points; point++)); do
    # The folder holds a complete build of one text; the other is killed.
    if ((point % 2)); then before=A after=B; else before=B after=A; fi
    build "$before"
    cp "$scratch/$after.db" "$folder/Bible.db"
    wait_ms=$((elapsed_ms * point / (points + 1)))
    "$app/Build" --batch Text "$text" >/dev/null 2>&1 &
    pid=$!
    sleep "$(printf '%d.%03d' $((wait_ms / 1000)) $((wait_ms % 1000)))"
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true

    states=()
    for table in "${tables[@]}"; do
        print=$(table_print "$table")
        if [ "$print" = "${made[$after$table]}" ]; then states+=("$after")
        elif [ "$print" = "${made[$before$table]}" ]; then states+=("$before")
        elif [ "$print" = "$empty_print" ]; then states+=(empty)
        else states+=("other"); fi
    done
    owner=
    if [ "${states[0]}" = "${states[1]}" ] && [ "${states[1]}" = "${states[2]}" ]; then
        owner=${states[0]}
    fi
    lists=()
    verdict=ok
    for suffix in "${suffixes[@]}"; do
        [ -e "$folder/${text}$suffix.txt" ] || continue
        lists+=("$suffix")
        if [ "$owner" != A ] && [ "$owner" != B ]; then
            verdict="FAIL: ${text}$suffix.txt beside tables ${states[*]}"
        elif [ "$(list_print "$suffix")" != "${made[$owner$suffix]}" ]; then
            verdict="FAIL: ${text}$suffix.txt is not of build $owner"
        fi
    done
    for state in "${states[@]}"; do
        [ "$state" = other ] && verdict="FAIL: a table holds rows of no build"
    done
    printf '%2d  %5d ms  %s over %s: tables %-17s lists %-40s %s\n' "$point" "$wait_ms" \
        "$after" "$before" "${states[*]}" "${lists[*]:-none}" "$verdict"
    [ "$verdict" = ok ] || failed=1
done
exit $failed
