#!/usr/bin/env bash
# Usage: manpages_test.sh BUILD
# The installed manual pages render without a warning, and the pages of indicator-sim and
# scale-read name every option their --help names, and every built-in format (the simulator's
# --help lists the format registry's names as "--protocol NAME").
set -euo pipefail
source "$(dirname "$0")/stage.sh" "$1"
pages=$stage/usr/share/man/man1
status=0

for page in scale-readout indicator-sim scale-read scale-wedge; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
        "$pages/$page.1.gz" 2>&1 >/dev/null)
    if [ -n "$warnings" ]; then
        echo "$warnings"
        echo "$page.1: man warns while rendering it" >&2
        status=1
    fi
done

for program in indicator-sim scale-read; do
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l -Tutf8 "$pages/$program.1.gz" | col -b)
    for option in $("$stage/usr/bin/$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        if ! grep -qE -- "(^|[^A-Za-z0-9-])$option([^A-Za-z0-9-]|\$)" <<<"$text"; then
            echo "$program.1: no $option, which --help names" >&2
            status=1
        fi
    done
done
formats=$("$stage/usr/bin/indicator-sim" --help | grep -oE -- '^  --protocol [a-z0-9-]+' |
    cut -d' ' -f4)
[ "$(wc -w <<<"$formats")" -ge 12 ] || { echo "indicator-sim --help lists no formats" >&2; exit 1; }
for program in indicator-sim scale-read; do
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l -Tutf8 "$pages/$program.1.gz" | col -b)
    for format in $formats; do
        if ! grep -qE -- "(^|[^A-Za-z0-9-])$format([^A-Za-z0-9-]|\$)" <<<"$text"; then
            echo "$program.1: no format $format, which the registry names" >&2
            status=1
        fi
    done
done
exit "$status"
