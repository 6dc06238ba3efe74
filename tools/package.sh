#!/usr/bin/env bash
# Builds the Debian package of the programs: sets up (tools/setup.sh, into the
# build folder out/package, configured for the prefix /usr and without the
# tests; this script's arguments go to CMake as options), runs CPack, which
# computes the dependencies on shared libraries from the binaries with
# dpkg-shlibdeps, puts the package into out/ and checks it with lintian,
# which must report no error.
#
#   tools/package.sh [CMake options]
#
# Then, as root:  apt install ./out/concordance-companions_<version>_<arch>.deb
# and to remove:  apt purge concordance-companions
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export BUILD_DIR=${BUILD_DIR:-$root/out/package}

# Debian's hardening flags (stack protector, fortified functions, read-only
# relocations bound at start), as a Debian build would set them; without
# debugging information, which the package would strip anyway. The build
# type's own optimisation (-O3) comes after them and stands. dpkg-buildflags
# comes with the packages the project needs, installed first.
"$root/tools/setup.sh" --packages-only
flags() {
    DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g \
        DEB_CXXFLAGS_MAINT_STRIP=-g dpkg-buildflags --get "$1"
}
ldflags=$(flags LDFLAGS)
hardening=(-DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)"
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags"
    -DCMAKE_MODULE_LINKER_FLAGS="$ldflags")
"$root/tools/setup.sh" -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
    -DCONCORDANCE_READ_ONLY_PROGRAM_FOLDER=ON "${hardening[@]}" "$@"

# CPack installs into a folder of its own below $work; the program folder in
# it has no write permission, which rm needs back.
work=$BUILD_DIR/cpack
clean() { [ ! -e "$work" ] || { chmod -R u+w "$work" && rm -rf "$work"; }; }
clean
(cd "$BUILD_DIR" && cpack -G DEB -B "$work")
debs=("$work"/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "CPack made no single package in $work." >&2
    exit 1
fi
deb=$root/out/$(basename "${debs[0]}")
mv -f "${debs[0]}" "$deb"
clean

echo
echo "Package: $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends | sed 's/^/  /'
echo
echo "lintian:"
# Errors fail the script; warnings and notes are shown. The warnings kept on
# purpose are listed in docs/install.md.
if ! lintian --fail-on error --info "$deb"; then
    echo "lintian reports errors in $deb." >&2
    exit 1
fi
echo "lintian: no errors."
