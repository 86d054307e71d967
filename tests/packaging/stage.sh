# shellcheck shell=bash
# Sourced by the packaging tests with BUILD: installs that build under /usr into a fresh
# staging folder ($stage), as a package would, and removes the folder on exit.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$1" --prefix /usr >/dev/null
