# Fails the build when a layer includes what lies above it: protocols/ is plain C++ and knows no
# device, device/ is plain C++ on POSIX and knows only itself, app/ has no widgets and no window,
# ui/ and app/ know nothing of the tools, the simulator knows only protocols/ and device/ (no Qt),
# the reader has no widgets, the tools' shared option reader is plain C++ and knows only itself.
# Run by the "layers" target, on which every layer's library depends.
# Usage: cmake -DSOURCE_DIR=... -P checklayers.cmake
set(rules
    "protocols|[<\"](Q|app/|ui/|tools/|device/)"
    "device|[<\"](Q|protocols/|app/|ui/|tools/)"
    "app|[<\"](ui/|tools/|QtWidgets/|QtGui/|QtWidgets>|QtGui>)"
    "ui|[<\"]tools/"
    "tools/options|[<\"](Q|protocols/|device/|app/|ui/|tools/scale-read|tools/indicator-sim)"
    "tools/indicator-sim|[<\"](Q|app/|ui/|tools/scale-read)"
    "tools/scale-read|[<\"](ui/|tools/indicator-sim|QtWidgets/|QtGui/|QtWidgets>|QtGui>)")
set(failures "")
foreach(rule IN LISTS rules)
    string(REPLACE "|" ";" parts "${rule}")
    list(GET parts 0 layer)
    list(SUBLIST parts 1 -1 alternatives)
    list(JOIN alternatives "|" forbidden)
    file(GLOB_RECURSE sources "${SOURCE_DIR}/${layer}/*.h" "${SOURCE_DIR}/${layer}/*.cpp")
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include")
        foreach(line IN LISTS includes)
            if(line MATCHES "#[ \t]*include[ \t]*${forbidden}")
                file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
                string(APPEND failures "\n  ${shown}: ${line}")
            endif()
        endforeach()
    endforeach()
endforeach()
if(failures)
    message(FATAL_ERROR "A layer includes what lies above it:${failures}")
endif()
