#!/usr/bin/env bash
# The demo: a copy of the program in a folder of its own (BUILD/demo), reading the indicator
# simulator as "Com1", so the real program's settings file and port links stay untouched.
# With a display the window opens and the simulator stops when it is closed; without one the
# program runs under Xvfb and a screenshot is saved to BUILD/screenshot.png.
set -euo pipefail
build=${1:-build}
demo="$build/demo"
mkdir -p "$demo/ports"
cp "$build/bin/scale-readout" "$demo/scale-readout"
# Com1, 2400 baud, no parity, 8 data bits, 1 stop bit, continuous mode.
printf '0\r\n2\r\n2\r\n0\r\n0\r\n0\r\n' >"$demo/Setting.ini"

log="$demo/indicator-sim.log"
"$build/bin/indicator-sim" --link "$demo/ports/Com1" --protocol continuous \
    --weight walk:7:60 --decimals 2 --rate 4 --seed 7 >"$log" 2>&1 &
sim=$!
stop_simulator() {
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
}
trap stop_simulator EXIT

for _ in $(seq 50); do
    grep -q '^ready' "$log" && break
    sleep 0.1
done
if ! grep -q '^ready' "$log"; then
    echo "The indicator simulator did not start:" >&2
    cat "$log" >&2
    exit 1
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    "$demo/scale-readout"
else
    shot="$build/screenshot.png"
    xvfb-run -a -s "-screen 0 640x420x24" scripts/screenshot.sh "$demo/scale-readout" "$shot"
    echo "No display: ran the program under Xvfb and saved a screenshot to $(realpath "$shot")"
fi
