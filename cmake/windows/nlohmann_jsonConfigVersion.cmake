# The version of the nlohmann-json headers the cross build uses, read from the headers.
set(kestravion_json_hpp /usr/include/nlohmann/detail/abi_macros.hpp)
set(PACKAGE_VERSION 0)
if(EXISTS ${kestravion_json_hpp})
    file(STRINGS ${kestravion_json_hpp} version_lines
         REGEX "^#define NLOHMANN_JSON_VERSION_(MAJOR|MINOR|PATCH) [0-9]+")
    foreach(part MAJOR MINOR PATCH)
        string(REGEX MATCH "VERSION_${part} ([0-9]+)" found "${version_lines}")
        set(json_${part} ${CMAKE_MATCH_1})
    endforeach()
    set(PACKAGE_VERSION ${json_MAJOR}.${json_MINOR}.${json_PATCH})
endif()
# Same major version, at least the one asked for.
if(PACKAGE_VERSION VERSION_LESS PACKAGE_FIND_VERSION OR
   NOT PACKAGE_FIND_VERSION_MAJOR STREQUAL json_MAJOR)
    set(PACKAGE_VERSION_COMPATIBLE FALSE)
else()
    set(PACKAGE_VERSION_COMPATIBLE TRUE)
    if(PACKAGE_VERSION VERSION_EQUAL PACKAGE_FIND_VERSION)
        set(PACKAGE_VERSION_EXACT TRUE)
    endif()
endif()
