# Checks that a DLL's export table holds exactly the names given, as the cross objdump
# reads them from the file.
#   cmake -DOBJDUMP=<objdump> -DLIBRARY=<dll> "-DEXPECTED=<name;name;...>" -P CheckExports.cmake
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY}
                OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${LIBRARY} failed: ${status}")
endif()

# The names stand in the "[Ordinal/Name Pointer] Table", one "[ n] Name" line each.
string(REPLACE "\n" ";" lines "${dump}")
set(in_table FALSE)
set(names)
foreach(line IN LISTS lines)
    if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
        set(in_table TRUE)
    elseif(in_table AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.+)$")
        list(APPEND names "${CMAKE_MATCH_1}")
    elseif(in_table)
        set(in_table FALSE)
    endif()
endforeach()

list(SORT names)
set(wanted ${EXPECTED})
list(SORT wanted)
if(NOT names STREQUAL wanted)
    message(FATAL_ERROR "export table of ${LIBRARY}:\n  found:    ${names}\n  expected: ${wanted}")
endif()
message(STATUS "export table of ${LIBRARY}: ${names}")
