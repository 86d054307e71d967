#!/usr/bin/env bash
# Builds the programs for /usr in Release with Debian's hardening flags in BUILD (default
# build/package), makes the Debian package there with CPack, and prints the .deb's path.
# SCALE_JOBS sets the build's parallel jobs (default 2).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
install_dependencies >&2

build=${1:-build/package}
# Debian's flags (fortified functions, stack protector, relro and bindnow), without -g: the
# package ships stripped programs and no debug symbols.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
export DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSCALE_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
ninja -C "$build" -j"${SCALE_JOBS:-2}" >&2

log=$(cd "$build" && cpack -G DEB)
deb=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$log")
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
    echo "$log" >&2
    echo "cpack made no package" >&2
    exit 1
fi
echo "$deb"
