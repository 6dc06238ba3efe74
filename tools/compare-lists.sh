#!/usr/bin/env bash
# Checks the six word-list files that Build wrote for a text against an
# independent reference (tools/list-reference, computed from the same verse
# table), apart from the header's path and date lines and the order of words
# of equal count or length and of letters of equal count, which are left open.
#
#   tools/compare-lists.sh [--name NAME] TEXTFOLDER [BUILD_DIR]
#
# TEXTFOLDER is the text's folder, holding Bible.db and the lists of the last
# build (for example out/release/app/Text/KJV); the text's name is the
# folder's name unless --name gives it. BUILD_DIR (default out/release) holds
# tools/list-reference. Prints one line per file and exits with 0 when all six
# agree, 1 when one differs or is missing, 2 on a wrong command line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
name=
if [ "${1:-}" = --name ] && [ $# -ge 2 ]; then
    name=$2
    shift 2
fi
if [ $# -lt 1 ] || [ ! -f "$1/Bible.db" ]; then
    echo "usage: tools/compare-lists.sh [--name NAME] TEXTFOLDER [BUILD_DIR]" >&2
    echo "       (TEXTFOLDER holds Bible.db and the lists of the last build)" >&2
    exit 2
fi
folder=$(cd "$1" && pwd)
name=${name:-$(basename "$folder")}
reference=${2:-$root/out/release}/tools/list-reference
if [ ! -x "$reference" ]; then
    echo "No $reference: build it first (cmake --build BUILD_DIR --target list-reference)." >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$reference" "$folder" "$name" "$work"

status=0
for suffix in _Freq _List _Alpha _Length _CharFreq _Pcre; do
    file=$name$suffix.txt
    if [ ! -f "$folder/$file" ]; then
        echo "$file: missing"
        status=1
        continue
    fi
    "$reference" --normalize "$folder/$file" >"$work/build.norm"
    "$reference" --normalize "$work/$file" >"$work/reference.norm"
    if cmp -s "$work/build.norm" "$work/reference.norm"; then
        echo "$file: same as the reference ($(wc -c <"$folder/$file") bytes)"
    else
        echo "$file: DIFFERS from the reference; first differences (< Build, > reference):"
        { diff "$work/build.norm" "$work/reference.norm" || true; } | head -n 10 | cat -A | sed "s/^/    /"
        status=1
    fi
done
exit $status
