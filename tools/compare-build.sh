#!/usr/bin/env bash
# Checks that two folders hold the same concordance of a text: the tables
# Word, Key and Freq row for row (rowids included), with the same schema,
# layout rows and file settings (page size, encoding, auto-vacuum, the table
# file's marks), and the six word lists byte for byte apart from the header's
# path and date lines. It compares what Build wrote with what
# tools/write-floor wrote, and either with itself after a change.
#
#   tools/compare-build.sh [--name NAME] FOLDER OTHERFOLDER
#
# The text's name (for the lists' file names) is FOLDER's name unless --name
# gives it. Prints one line per table and list; exits with 0 when all agree,
# 1 when something differs or is missing, 2 on a wrong command line. Needs
# the Debian package sqlite3.
set -euo pipefail
name=
if [ "${1:-}" = --name ] && [ $# -ge 2 ]; then
    name=$2
    shift 2
fi
if [ "${1:-}" = --help ] || [ $# -ne 2 ] || [ ! -d "$1" ] || [ ! -d "$2" ]; then
    echo "usage: tools/compare-build.sh [--name NAME] FOLDER OTHERFOLDER" >&2
    [ "${1:-}" = --help ] && exit 0
    exit 2
fi
command -v sqlite3 >/dev/null || {
    echo "compare-build.sh needs the Debian package sqlite3." >&2
    exit 2
}
one=$(cd "$1" && pwd)
other=$(cd "$2" && pwd)
name=${name:-$(basename "$one")}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# dump FILE TABLE: everything of a table file that a reader can tell apart,
# but for where the engine put its pages.
dump() {
    sqlite3 -batch -noheader "file:$1?mode=ro" "
        SELECT 'page_size', * FROM pragma_page_size;
        SELECT 'encoding', * FROM pragma_encoding;
        SELECT 'auto_vacuum', * FROM pragma_auto_vacuum;
        SELECT 'application_id', * FROM pragma_application_id;
        SELECT 'user_version', * FROM pragma_user_version;
        SELECT 'schema', type, name, tbl_name, sql FROM sqlite_master ORDER BY type, name;
        SELECT 'field', * FROM _layout_fields ORDER BY position;
        SELECT 'index', * FROM _layout_indexes ORDER BY position;
        SELECT 'check', * FROM pragma_integrity_check;
        SELECT 'row', rowid, * FROM \"$2\" ORDER BY rowid;"
}

status=0
for table in Word Key Freq; do
    for side in one other; do
        folder=${!side}
        if [ ! -f "$folder/$table.db" ]; then
            echo "$table: missing in $folder"
            status=1
            continue 2
        fi
        dump "$folder/$table.db" "$table" >"$work/$side.$table" 2>&1 || true
    done
    if cmp -s "$work/one.$table" "$work/other.$table"; then
        echo "$table: same ($(grep -c '^row|' "$work/one.$table") rows)"
    else
        echo "$table: DIFFERS; first differences (< $one, > $other):"
        { diff "$work/one.$table" "$work/other.$table" || true; } | head -n 10 | sed 's/^/    /'
        status=1
    fi
done

for suffix in _Freq _List _Alpha _Length _CharFreq _Pcre; do
    file=$name$suffix.txt
    for side in one other; do
        folder=${!side}
        if [ ! -f "$folder/$file" ]; then
            echo "$file: missing in $folder"
            status=1
            continue 2
        fi
        # The path and the date, the header's first two lines, differ by
        # nature; the PCRE file has no header.
        if [ "$suffix" = _Pcre ]; then
            cp "$folder/$file" "$work/$side.list"
        else
            tail -n +3 "$folder/$file" >"$work/$side.list"
        fi
    done
    if cmp -s "$work/one.list" "$work/other.list"; then
        echo "$file: same ($(wc -c <"$one/$file") bytes)"
    else
        echo "$file: DIFFERS; first differences (< $one, > $other):"
        { diff "$work/one.list" "$work/other.list" || true; } | head -n 10 | cat -A | sed 's/^/    /'
        status=1
    fi
done
exit $status
