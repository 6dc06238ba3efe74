#!/usr/bin/env bash
# Sets everything up (tools/setup.sh) and starts Build on the KJV text of the
# program folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/out/release}
"$root/tools/setup.sh"
app="$build_dir/app"
mkdir -p "$app/Text/KJV"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cat <<MSG
There is no display here, so the Build dialog cannot be shown.
Run it in a virtual X display instead:

    xvfb-run -a "$app/Build" Text KJV

or on a desktop:

    "$app/Build" Text KJV
MSG
    exit 0
fi
exec "$app/Build" Text KJV
