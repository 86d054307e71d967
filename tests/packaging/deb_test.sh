#!/usr/bin/env bash
# Usage: deb_test.sh SOURCE PACKAGE_BUILD SCREENSHOT
# Makes the Debian package (scripts/package.sh, in PACKAGE_BUILD), has lintian check it, and runs
# its unpacked window as a user with a fresh home under Xvfb, reading the unpacked simulator as
# Com1 through ~/.config/scale-readout/ports/Com1. Saves the screen to SCREENSHOT.
set -euo pipefail
source=$1
package_build=$2
screenshot=$3
title=通信测试程序

deb=$("$source/scripts/package.sh" "$package_build")
echo "lintian $deb:"
lintian --fail-on error "$deb"

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    chmod -R u+w "$work"
    rm -rf "$work"
}
trap cleanup EXIT
chmod 755 "$work"
dpkg-deb -x "$deb" "$work/root"
# As under /usr/bin, the user may not write beside the programs.
chmod 555 "$work/root/usr/bin"
bin=$work/root/usr/bin

home=$work/home
mkdir -m 700 "$home"
user_env=(env -i "HOME=$home" PATH=/usr/bin:/bin LANG=C.UTF-8 XDG_RUNTIME_DIR="$home")
if [ "$(id -u)" -eq 0 ]; then
    if ! id nobody >/dev/null 2>&1; then
        echo "no user 'nobody' to run the package as" >&2
        exit 1
    fi
    chown nobody:nogroup "$home"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups "${user_env[@]}")
else
    as_user=("${user_env[@]}")
fi
config=$home/.config/scale-readout

# Waits up to SECONDS for FILE to hold a line matching PATTERN.
wait_for() {
    local file=$1 pattern=$2 seconds=$3 i
    for ((i = 0; i < seconds * 10; i++)); do
        grep -q "$pattern" "$file" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
if ! wait_for "$work/display" '^[0-9]' 10; then
    cat "$work/xvfb.log" >&2
    echo "Xvfb did not start" >&2
    exit 1
fi
display=:$(cat "$work/display")

# Command mode: Com1, 9600, None, 8, 1, "指令". Written with bare LF, so that the CR LF lines
# found afterwards were written by the window.
"${as_user[@]}" mkdir -p "$config"
"${as_user[@]}" sh -c 'printf "0\n4\n2\n0\n0\n1\n" >"$1"' sh "$config/Setting.ini"

"${as_user[@]}" "$bin/indicator-sim" --link "$config/ports/Com1" --protocol command \
    --weight fixed:12.5 --verbose >"$work/sim.log" 2>&1 &
pids+=($!)
if ! wait_for "$work/sim.log" '^ready' 10; then
    cat "$work/sim.log" >&2
    echo "the unpacked indicator-sim did not start" >&2
    exit 1
fi

"${as_user[@]}" DISPLAY="$display" QT_QPA_PLATFORM=xcb "$bin/scale-readout" \
    >"$work/window.log" 2>&1 &
pids+=($!)
if ! wait_for "$work/sim.log" ' request$' 15; then
    cat "$work/window.log" "$work/sim.log" >&2
    echo "the unpacked window sent no request through $config/ports/Com1" >&2
    exit 1
fi
sleep 1

status=0
if ! cmp -s "$config/Setting.ini" <(printf '0\r\n4\r\n2\r\n0\r\n0\r\n1\r\n'); then
    od -c "$config/Setting.ini" >&2
    echo "the window did not write its settings to $config/Setting.ini" >&2
    status=1
fi
# Windows with a class are the program's top-level windows: the main window alone, no message box.
windows=$(DISPLAY=$display xwininfo -root -tree | sed -n 's/^ *0x[0-9a-f]* \("[^"]*": ("[^)]*)\).*/\1/p')
if [ "$windows" != "\"$title\": (\"scale-readout\" \"scale-readout\")" ]; then
    echo "$windows" >&2
    echo "expected only the main window \"$title\" on the screen" >&2
    status=1
fi
mkdir -p "$(dirname "$screenshot")"
DISPLAY=$display import -window root "$screenshot"
echo "screenshot: $screenshot"
if [ "$status" -ne 0 ]; then
    cat "$work/window.log" >&2
fi
exit "$status"
