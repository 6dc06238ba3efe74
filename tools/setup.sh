#!/usr/bin/env bash
# Sets everything up on a Debian 12 machine: installs the Debian packages the
# build needs (as root, non-interactively), configures and builds the project
# into out/release, which assembles the program folder out/release/app.
#
#   tools/setup.sh [extra CMake options]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/out/release}

"$root/tools/install-packages.sh" cmake g++ make pkg-config qt6-base-dev qt6-tools-dev libgl-dev \
    libsqlite3-dev sqlite3 libsword-dev xvfb xauth desktop-file-utils

cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DWARNINGS_AS_ERRORS=ON "$@"
cmake --build "$build_dir" -j2
echo "Program folder: $build_dir/app"
