#!/usr/bin/env bash
# Sets everything up (tools/setup.sh, which receives this script's arguments as
# CMake options), builds everything else (the test programs and the
# benchmarks) and runs the whole test suite headless under CTest.
#
#   tools/test.sh [CMake options]       CI: tools/test.sh -DWARNINGS_AS_ERRORS=ON
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/out/release}
"$root/tools/setup.sh" -DBUILD_TESTING=ON "$@"
cmake --build "$build_dir" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build_dir" --output-on-failure -j"$(nproc)"
