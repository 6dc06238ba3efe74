# shellcheck shell=bash
# Shell functions the benchmark scripts share; sourced, not run. The caller
# sets `root` (the source tree), and `app` (the program folder) and `work` (a
# scratch folder) before it uses bench_build or bench_import.
# shellcheck disable=SC2154

# bench_folders BUILD_DIR RUNS: checks the arguments [BUILD_DIR] [RUNS]
# (defaults: out/release, 5) and sets build_dir and runs; `root` is the source
# tree.
bench_folders() {
    build_dir=${1:-$root/out/release}
    runs=${2:-5}
    build_dir=$(cd "$build_dir" 2>/dev/null && pwd) || {
        echo "No build folder ${1:-$root/out/release}: build first (tools/setup.sh)." >&2
        exit 1
    }
    bench_check_runs 1
}

# bench_check_runs STATUS: leaves with STATUS unless runs is a positive number.
bench_check_runs() {
    if ! [[ $runs =~ ^[1-9][0-9]*$ ]]; then
        echo "RUNS must be a positive number, not '$runs'." >&2
        exit "$1"
    fi
}

# bench_build TEXT FILE: runs "Build --batch Text TEXT" in the program folder
# and appends "seconds kilobytes" of the run to FILE; leaves the script, with
# Build's last output, when the build does not complete.
bench_build() {
    local status=0
    (cd "$app" && /usr/bin/time -f "%e %M" -o "$work/one" env -u QT_QPA_PLATFORM \
        ./Build --batch Text "$1" >"$work/build.out" 2>"$work/build.err") || status=$?
    if [ "$status" -ne 0 ]; then
        echo "Build --batch Text $1 did not complete (exit status $status). Its last output:" >&2
        tail -n 5 "$work/build.out" >&2
        cat "$work/build.err" >&2
        exit 1
    fi
    cat "$work/one" >>"$2"
}

# bench_import TSV FOLDER WHAT: imports the verse file TSV into the text folder
# FOLDER, replacing its verse table; leaves the script when import-text fails,
# saying it could not make WHAT.
bench_import() {
    if ! "$app/import-text" --tsv "$1" --to "$2" --force >"$work/import.out" 2>&1; then
        echo "import-text could not make $3:" >&2
        tail -n 5 "$work/import.out" >&2
        exit 1
    fi
}

# bench_stats FILE COLUMN: "median min max" of one column of the runs.
bench_stats() {
    awk -v c="$2" '{ print $c }' "$1" | sort -g | awk '
        { v[NR] = $1 }
        END { printf "%s %s %s\n", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2,
                     v[1], v[NR] }'
}

# bench_median FILE COLUMN: the median of one column of the runs.
bench_median() {
    bench_stats "$1" "$2" | cut -d' ' -f1
}
