#!/usr/bin/env bash
# The main job: sets everything up (tools/setup.sh, which receives this
# script's arguments as CMake options), imports the KJV from Debian's SWORD
# module into the program folder (once), and builds its concordance tables
# with Build's batch mode.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/out/release}
"$root/tools/setup.sh" "$@"
app="$build_dir/app"
text="$app/Text/KJV"
mkdir -p "$text"

if [ ! -f "$text/Bible.db" ]; then
    "$app/import-text" --sword KJV --to "$text"
fi

"$app/Build" --batch Text KJV
echo
echo "The KJV's tables are in $text:"
ls -l "$text"
cat <<MSG

To build with the dialog instead, start "$app/Build" Text KJV on a desktop
(or under a virtual display: xvfb-run -a "$app/Build" Text KJV).
MSG
