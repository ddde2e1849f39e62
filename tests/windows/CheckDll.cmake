# Checks a DLL's tables as the cross objdump reads them from the file: EXPORTS, when given,
# must be exactly its exported names; IMPORTS, when given, must hold every DLL it imports
# from (case does not matter, as for Windows file names).
#   cmake -DOBJDUMP=<objdump> -DLIBRARY=<dll> "-DEXPORTS=<name;...>" "-DIMPORTS=<dll;...>"
#         -P CheckDll.cmake
cmake_minimum_required(VERSION 3.18)

execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY}
                OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${LIBRARY} failed: ${status}")
endif()

# The exported names stand in the "[Ordinal/Name Pointer] Table", one "[ n] Name" line
# each; every imported DLL has a "DLL Name: name" line.
string(REPLACE "\n" ";" lines "${dump}")
set(in_table FALSE)
set(exported)
set(imported)
foreach(line IN LISTS lines)
    if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
        set(in_table TRUE)
    elseif(in_table AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.+)$")
        list(APPEND exported "${CMAKE_MATCH_1}")
    else()
        set(in_table FALSE)
        if(line MATCHES "^[ \t]*DLL Name: (.+)$")
            string(TOLOWER "${CMAKE_MATCH_1}" name)
            list(APPEND imported "${name}")
        endif()
    endif()
endforeach()

if(DEFINED EXPORTS)
    list(SORT exported)
    set(wanted ${EXPORTS})
    list(SORT wanted)
    if(NOT exported STREQUAL wanted)
        message(FATAL_ERROR "export table of ${LIBRARY}:\n  found:    ${exported}\n"
                            "  expected: ${wanted}")
    endif()
    message(STATUS "exports of ${LIBRARY}: ${exported}")
endif()

if(DEFINED IMPORTS)
    string(TOLOWER "${IMPORTS}" allowed)
    foreach(name IN LISTS imported)
        if(NOT name IN_LIST allowed)
            message(FATAL_ERROR "${LIBRARY} imports from ${name}; allowed: ${IMPORTS}")
        endif()
    endforeach()
    message(STATUS "imports of ${LIBRARY}: ${imported}")
endif()
