#!/usr/bin/env bash
# Saves docs/scale-wedge.png: scale-wedge under Xvfb reading the simulator (SICS, 12.345 kg) and
# typing into a recording window, its panel captured once a weight has been typed.
# Usage: scripts/wedge-screenshot.sh [BUILD]   (default build/sanitize)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/sanitize}
ninja -C "$build" -j2 scale-wedge indicator-sim type-target >/dev/null
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/ports"
cp "$build/bin/scale-wedge" "$work/"
cat >"$work/scale-wedge.ini" <<'INI'
[General]
port=Com1
settings="9600,N,8,1"
protocol=sics
template={weight}{Tab}{unit}{Enter}
on=settle
decimal=.
INI
exec {fd}<> <(:)
Xvfb -displayfd "$fd" -nolisten tcp -screen 0 640x400x24 2>/dev/null &
pids+=($!)
read -r -u "$fd" number
export DISPLAY=:$number QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0
sleep 30 | "$build/bin/type-target" "$work/typed.txt" Sheet >/dev/null 2>&1 &
pids+=($!)
"$build/bin/indicator-sim" --link "$work/ports/Com1" --protocol sics --stream \
    --weight fixed:12.345 >/dev/null 2>&1 &
pids+=($!)
sleep 1
"$work/scale-wedge" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
    [ -s "$work/typed.txt" ] && break
    sleep 0.2
done
sleep 0.5
window=$(xwininfo -name "Scale to keyboard" | awk '/Window id:/ { print $4 }')
import -window "$window" docs/scale-wedge.png
echo "typed: $(od -c "$work/typed.txt" | head -1)"
echo "saved docs/scale-wedge.png"
