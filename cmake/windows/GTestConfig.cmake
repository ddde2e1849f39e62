# GoogleTest for the mingw-w64 cross build: built from Debian's sources
# (/usr/src/googletest, package googletest) as part of the build, with the target names
# the host's package provides.
set(kestravion_gtest_source /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT TARGET gtest)
    set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    add_subdirectory(${kestravion_gtest_source} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
endif()
set(GTest_FOUND TRUE)
