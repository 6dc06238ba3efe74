#!/usr/bin/env bash
# Sets everything up on a Debian 12 machine: installs the Debian packages that
# the build, the tests and the scripts need (as root, non-interactively), then
# configures the project in out/release and builds the programs, their
# libraries and data (the target "programs"), which assembles the program
# folder out/release/app. The tests and benchmarks are built by tools/test.sh.
#
#   tools/setup.sh [CMake options]      for example -DWARNINGS_AS_ERRORS=ON
#   tools/setup.sh --packages-only      the Debian packages alone
#
# Warnings do not stop the build unless asked to, so that a newer compiler
# cannot break the quick start; CI asks. BUILD_DIR names another build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/out/release}

# Every Debian package that a script or a test of the project needs; no other
# script installs anything.
packages=(
    cmake g++ make pkg-config              # the build
    qt6-base-dev libgl-dev libsqlite3-dev  # Qt 6 (its GUI part needs OpenGL's headers), SQLite
    qt6-tools-dev                          # the Qt Designer plugin of the component package
    qt6-svg-dev                            # the windows' icons, drawn from their SVG at build time
    libsword-dev                           # import-text --sword
    sword-text-kjv                         # the KJV: tools/run.sh and the importer's tests
    sword-text-web sword-text-sparv        # the WEB and RV1909: the importer's tests where present
    sword-dict-strongs-greek               # Strong's glosses in the browser (Greek)
    sword-dict-strongs-hebrew              # Strong's glosses in the browser (Hebrew)
    bsdutils                               # script(1): the tests run Build on a terminal
    sqlite3 time                           # tools/bench-build.sh
    xvfb xauth                             # xvfb-run: the dialog without a display
    desktop-file-utils                     # desktop-file-validate: the menu entries
    appstream                              # appstreamcli: the software centre's metadata
    man-db                                 # man: the manual pages
    xdg-utils                              # xdg-open: the help page (F1)
    dpkg-dev file lintian                  # tools/package.sh: dpkg-shlibdeps, CPack, checks
)
"$root/tools/install-packages.sh" "${packages[@]}"
# tools/package.sh asks for the packages alone before it configures.
[ "${1:-}" = --packages-only ] && exit 0

cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DWARNINGS_AS_ERRORS=OFF "$@"
cmake --build "$build_dir" -j"$(nproc)" --target programs
echo "Program folder: $build_dir/app"
