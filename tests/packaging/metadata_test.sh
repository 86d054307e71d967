#!/usr/bin/env bash
# Usage: metadata_test.sh BUILD
# The installed desktop entry and AppStream metainfo validate without a warning.
set -euo pipefail
source "$(dirname "$0")/stage.sh" "$1"
id=io.github.scalereadout.ScaleReadout

# desktop-file-validate fails only on errors; its warnings and hints count here too.
desktop=$(desktop-file-validate "$stage/usr/share/applications/$id.desktop" 2>&1) || true
if [ -n "$desktop" ]; then
    echo "$desktop"
    echo "desktop-file-validate: the desktop entry is not clean" >&2
    exit 1
fi
appstreamcli validate --no-net --strict "$stage/usr/share/metainfo/$id.metainfo.xml"
# The tree as a whole: the metainfo's launchable, the desktop entry and the icons fit together.
appstreamcli validate-tree --no-net --strict "$stage"
