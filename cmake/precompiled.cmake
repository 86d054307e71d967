# The headers nearly every file of a target includes, parsed once per target instead of once per
# file: Qt's and GoogleTest's take most of each file's compile time, and this takes about a third
# off a clean build. Only for targets of several files; a header listed here adds nothing to a
# file's own includes, which must still name what it uses.
set(scale_common_headers <functional> <memory> <optional> <string> <vector>)
set(scale_qt_headers <QByteArray> <QObject> <QString> <QStringList> <QTimer>)

# KIND: qt (Qt's headers), tests (GoogleTest's), or qt-tests (both).
function(scale_precompile kind)
    set(headers ${scale_common_headers})
    if(kind MATCHES "^qt")
        list(APPEND headers ${scale_qt_headers})
    endif()
    if(kind MATCHES "tests$")
        list(APPEND headers <gtest/gtest.h>)
    endif()
    foreach(target IN LISTS ARGN)
        if(TARGET ${target})  # the tests' only when they are built
            target_precompile_headers(${target} PRIVATE ${headers})
        endif()
    endforeach()
endfunction()

scale_precompile(qt scale_app scale_ui scale_read_core scale_read_mqtt scale_read_http
                 scale_read_modbus scale_read_keyboard scale-read scale-wedge)
scale_precompile(qt-tests scale-tests e2e-tests http-tests mqtt-tests scale-read-tests
                 scale-read-mqtt-tests scale-read-http-tests)
scale_precompile(tests protocol-tests indicator-sim-tests)
