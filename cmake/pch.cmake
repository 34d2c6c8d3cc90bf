# Precompiled headers: a good part of each translation unit's compile time
# goes on parsing Qt's and GoogleTest's headers, again for every file. Three
# precompiled sets, each built once per tree and shared by the targets that
# may include all of it (a target links every Qt module its set needs, so
# the layers still cannot reach what they do not link):
#
#   core     QtCore and the standard library: what links Qt Core
#   widgets  the core set and QtWidgets: the windows and what sits on them
#   tests    the widgets set and GoogleTest: the unit tests and benchmarks
#
# Only system headers are in a set, never the project's own. A missing
# #include of a Qt or standard header goes unnoticed with them; configure
# with -DPLENVO_PCH=OFF to build without.
#
# Release builds parse the headers: at -O3, GCC 12 takes a few std::string
# copies for out-of-bounds ones (-Warray-bounds, -Wstringop-overflow) when
# the headers come precompiled, and not when it parses them.
if(CMAKE_BUILD_TYPE STREQUAL "Release")
    set(plenvo_pch_default OFF)
else()
    set(plenvo_pch_default ON)
endif()
option(PLENVO_PCH "Build with precompiled Qt and standard headers" ${plenvo_pch_default})
if(NOT PLENVO_PCH)
    return()
endif()

set(plenvo_pch_core
    <algorithm> <array> <functional> <map> <memory> <optional> <string> <vector>
    <QByteArray> <QCoreApplication> <QDir> <QFile> <QFileInfo> <QObject> <QString> <QTimer>
)
set(plenvo_pch_widgets ${plenvo_pch_core}
    <QApplication> <QKeyEvent> <QLabel> <QMenu> <QMouseEvent> <QPainter> <QPixmap> <QPointer>
    <QPushButton> <QScrollBar> <QWidget>
)
set(plenvo_pch_tests ${plenvo_pch_widgets} <QTemporaryDir> <gtest/gtest.h>)

# GCC takes a precompiled header only where every macro defined on the
# command line when it was built is defined alike; so each set is built by a
# target of its own that links just the modules it needs (their QT_*_LIB
# macros are the only ones it defines), and the targets that reuse it define
# those too.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/pch/empty.cpp "// Only the precompiled header is built here.\n")
function(plenvo_pch_set name headers links)
    set(owner plenvo_pch_${name})
    add_library(${owner} OBJECT EXCLUDE_FROM_ALL ${CMAKE_CURRENT_BINARY_DIR}/pch/empty.cpp)
    set_target_properties(${owner} PROPERTIES AUTOMOC OFF)
    target_link_libraries(${owner} PRIVATE ${links})
    target_precompile_headers(${owner} PRIVATE ${headers})
    foreach(target IN LISTS ARGN)
        if(TARGET ${target})
            target_precompile_headers(${target} REUSE_FROM ${owner})
        endif()
    endforeach()
endfunction()

plenvo_pch_set(core "${plenvo_pch_core}" Qt6::Core
    plenvo_base plenvo_lines plenvo_network_lines plenvo_unit plenvo_devices plenvo_control plenvo_panel_client
    plenvo_doors plenvo_control_server plenvo_web plenvo_mqtt plenvo_app plenvo-network plenvo-broker plenvo-web
    plenvo_ctl plenvo-ctl
    plenvo_sim_lines plenvo-sim plenvo-skin-gen plenvo_linksupport plenvo-link-tests)
plenvo_pch_set(widgets "${plenvo_pch_widgets}" Qt6::Widgets
    plenvo_windows plenvo-windows plenvo-bare-window)
if(TARGET plenvo-tests)
    find_package(GTest REQUIRED)
    plenvo_pch_set(tests "${plenvo_pch_tests}" "Qt6::Widgets;GTest::gtest"
        plenvo_testsupport plenvo-tests plenvo-bench)
endif()
