# Build steps that several folders repeat, each defined once.

# Sets `result` to the path under which a test program finds the build's file `path` when
# it runs: the path itself, or for Windows programs built on a Unix host and run under
# wine, the same file on wine's drive Z:, which maps the host's root.
function(kestravion_runtime_path result path)
    if(WIN32 AND CMAKE_HOST_UNIX)
        set(${result} "Z:${path}" PARENT_SCOPE)
    else()
        set(${result} "${path}" PARENT_SCOPE)
    endif()
endfunction()

# Lets `target` find, by the ordinary library search, the libraries it loads with dlopen()
# from the folder `path` (in the build tree). Under the sanitizers dlopen() is called from
# the sanitizer's runtime, which the executable's RUNPATH does not serve; there the older
# RPATH, which serves every lookup of the process, is used. Elsewhere RUNPATH, which
# LD_LIBRARY_PATH may override. Does nothing on Windows, which has no run path.
function(kestravion_library_search target path)
    if(NOT UNIX)
        return()
    endif()
    set_target_properties(${target} PROPERTIES BUILD_RPATH "${path}")
    if(KESTRAVION_SANITIZE OR KESTRAVION_TSAN OR KESTRAVION_FUZZ)
        target_link_options(${target} PRIVATE "LINKER:--disable-new-dtags")
    else()
        target_link_options(${target} PRIVATE "LINKER:--enable-new-dtags")
    endif()
endfunction()

# kestravion_add_fuzzer(TARGET TEST SOURCES... LIBRARIES... CORPUS)
# A libFuzzer program `TARGET` from SOURCES linked with LIBRARIES, and a ctest `TEST`
# (label "fuzz-run") that runs it for KESTRAVION_FUZZ_SECONDS over the checked-in seed
# folder CORPUS. What the run finds goes to a folder in the build tree (libFuzzer writes
# to its first corpus folder), so the checked-in corpus is only read; a crashing input is
# left in the build folder of the test.
function(kestravion_add_fuzzer target)
    cmake_parse_arguments(FUZZ "" "TEST;CORPUS" "SOURCES;LIBRARIES" ${ARGN})
    add_executable(${target} ${FUZZ_SOURCES})
    target_link_libraries(${target} PRIVATE ${FUZZ_LIBRARIES})
    target_link_options(${target} PRIVATE -fsanitize=fuzzer)
    set(found ${CMAKE_CURRENT_BINARY_DIR}/${target}-found)
    file(MAKE_DIRECTORY ${found})
    add_test(NAME ${FUZZ_TEST}
             COMMAND ${target} -max_total_time=${KESTRAVION_FUZZ_SECONDS} -timeout=10
                     -artifact_prefix=${CMAKE_CURRENT_BINARY_DIR}/ ${found} ${FUZZ_CORPUS})
    # The limit leaves room for loading the corpus and for libFuzzer's closing report.
    math(EXPR limit "${KESTRAVION_FUZZ_SECONDS} + 120")
    set_tests_properties(${FUZZ_TEST} PROPERTIES LABELS fuzz-run TIMEOUT ${limit}
                         ENVIRONMENT "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1")
endfunction()

# Sets `result` to the full paths of the mingw-w64 runtime DLLs (C++, GCC, threads) that
# Windows DLLs built with the compiler's default shared runtime import, as Qt's do. The
# project's own programs and DLLs link that runtime statically (mingw-w64-x86_64.cmake).
function(kestravion_mingw_runtime_dlls result)
    set(paths)
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
            message(FATAL_ERROR "${CMAKE_CXX_COMPILER} finds no ${dll}, which Qt's DLLs need")
        endif()
        get_filename_component(path "${path}" REALPATH)
        list(APPEND paths "${path}")
    endforeach()
    set(${result} ${paths} PARENT_SCOPE)
endfunction()
