#!/usr/bin/env bash
# Usage: installed_files_test.sh BUILD EXPECTED
# Installing BUILD gives exactly the files, links and modes listed in EXPECTED.
set -euo pipefail
source "$(dirname "$0")/stage.sh" "$1"
diff -u "$2" <(cd "$stage" && find . ! -type d -printf '%m %P\n' | LC_ALL=C sort -k2)
