# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DKESTRAVION_GUI=OFF
# or, with the window, given Qt built for Windows (tools/build-qt-mingw.sh prints its folder):
#   cmake ... -DCMAKE_PREFIX_PATH=$(tools/build-qt-mingw.sh)
# tests/windows/run-windows-tests.sh does this and runs the tests under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

# Headers and libraries come from the mingw-w64 tree only, never from the host's /usr.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Packages built for Windows outside that tree, as Qt is (tools/build-qt-mingw.sh), are
# named in CMAKE_PREFIX_PATH; each of its folders is searched as a root of its own. Qt's
# own tools (moc, rcc, uic) are the host's, of the same version, from Debian's Qt.
list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
set(QT_HOST_PATH /usr CACHE PATH "The host's Qt, whose tools the cross build runs")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "The host Qt's CMake packages")

# The compiler's runtime (libgcc, libstdc++, winpthread) is linked into every executable
# and DLL, so they run without the mingw runtime DLLs beside them (Qt's DLLs, built apart,
# do need them: dist/windows/ installs them).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# GoogleTest built from Debian's sources, and the header-only nlohmann-json, for this
# target (cmake/windows/); the host's packages are Linux builds.
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/windows CACHE PATH "GoogleTest for the cross build")
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/windows CACHE PATH "nlohmann-json for the cross build")

# ctest runs the test executables (and gtest's test discovery) under wine.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../tests/windows/wine-run.sh CACHE STRING "Runs a Windows program")
