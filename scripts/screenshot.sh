#!/usr/bin/env bash
# Runs PROGRAM on the current (virtual) display for a few seconds and saves the screen to SHOT.
set -euo pipefail
program=$1
shot=$2
# Tall enough to show the raw-data lines under the settings panel.
"$program" -geometry 554x380+0+0 2>/dev/null &
app=$!
sleep 5
import -window root -crop 554x380+0+0 "$shot"
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true
