#!/usr/bin/env bash
# Keeps the commands in the documentation runnable: every test, test function,
# tool, target and script that README.md and docs/*.md name must exist in the
# source tree and the build tree.
#
#   tools/check-docs.sh SOURCE_DIR BUILD_DIR
#
# It checks, wherever they stand in the text:
#   ctest ... -R NAME                a test of the build tree matches NAME
#   out/<build>/tests/tst_x [FUNC]   the test program exists and has the test
#                                    function FUNC (tst_x -functions)
#   `tst_x`                          a test of that name
#   out/<build>/tools/NAME           the tool exists in BUILD_DIR/tools
#   --target NAME                    the build tree has the target
#   tools/NAME (a script or file)    the file exists in the source tree
# and that docs/design.md names every unit (every header) of the source
# folders.
# Prints one line "file:line: problem" for each problem; exits with 1 when
# there is any. CTest runs it as the test "docs".
set -u

if [ $# -ne 2 ]; then
    echo "usage: $0 SOURCE_DIR BUILD_DIR" >&2
    exit 2
fi
source_dir=$1
build_dir=$2
problems=0

problem() {
    echo "$1: $2"
    problems=$((problems + 1))
}

tests=$(ctest --test-dir "$build_dir" -N 2>/dev/null | sed -n 's/^ *Test *#[0-9]*: *//p')
targets=$(cmake --build "$build_dir" --target help 2>/dev/null | sed -n 's/^\.\.\. \([^ ]*\).*/\1/p')

cd "$source_dir" || exit 2
for doc in README.md docs/*.md; do
    # "file:line:text" for every line, so each finding can name its place.
    while IFS= read -r entry; do
        rest=${entry#*:}
        line=${rest%%:*}
        text=${rest#*:}
        at="$doc:$line"

        for name in $(grep -oP 'ctest\b.*?-R\s+\K[^\s`]+' <<<"$text"); do
            grep -qE -- "$name" <<<"$tests" || problem "$at" "no test matches ctest -R $name"
        done

        while read -r program function; do
            [ -n "$program" ] || continue
            binary="$build_dir/tests/$program"
            if [ ! -x "$binary" ]; then
                problem "$at" "no test program $program in $build_dir/tests"
            elif [ -n "$function" ] &&
                ! QT_QPA_PLATFORM=offscreen "$binary" -functions | grep -qx "$function()"; then
                problem "$at" "$program has no test function $function"
            fi
        done < <(grep -oP 'out/[^/\s`]+/tests/\Ktst_\w+( +[A-Za-z_]\w*)?' <<<"$text")

        for name in $(grep -oP '`\Ktst_\w+(?=`)' <<<"$text"); do
            grep -qx -- "$name" <<<"$tests" || problem "$at" "no test named $name"
        done

        for name in $(grep -oP 'out/[^/\s`]+/tools/\K[\w.-]+' <<<"$text"); do
            [ -x "$build_dir/tools/$name" ] || problem "$at" "no tool $name in $build_dir/tools"
        done

        if [ -n "$targets" ]; then
            for name in $(grep -oP -- '--target\s+\K[\w.-]+' <<<"$text"); do
                grep -qx -- "$name" <<<"$targets" || problem "$at" "no target $name"
            done
        fi

        for path in $(grep -oP '(?<![\w/.<>-])tools/[\w.-]+\.(sh|cpp|allow)\b' <<<"$text"); do
            [ -e "$path" ] || problem "$at" "no file $path"
        done
    done < <(grep -nE 'ctest|tst_|tools/|--target' "$doc" | sed "s|^|$doc:|")
done

# Every header of the source folders (all top folders but those beside the
# layers) by its file name.
while IFS= read -r header; do
    grep -qF -- "$(basename "$header")" docs/design.md ||
        problem "docs/design.md" "the unit $header is not named"
done < <(find . -path ./out -prune -o -path ./tests -prune -o -path ./tools -prune \
    -o -path ./docs -prune -o -path ./data -prune -o -path './.*' -prune \
    -o -name '*.h' -print | sed 's|^\./||' | sort)

if [ "$problems" -ne 0 ]; then
    echo "$problems problems in the documentation's commands"
    exit 1
fi
echo "The documentation's commands name tests, tools, targets and scripts that exist"
