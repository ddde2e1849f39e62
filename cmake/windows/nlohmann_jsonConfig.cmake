# nlohmann-json for the mingw-w64 cross build. The library is header-only, but its
# installed headers sit in the host's /usr/include, which must not be searched when
# compiling for Windows; a folder holding only the nlohmann/ headers stands in for it.
set(kestravion_json_headers /usr/include/nlohmann CACHE PATH "nlohmann-json headers")
if(NOT TARGET nlohmann_json::nlohmann_json)
    set(include_dir ${CMAKE_BINARY_DIR}/nlohmann-json/include)
    file(MAKE_DIRECTORY ${include_dir})
    file(CREATE_LINK ${kestravion_json_headers} ${include_dir}/nlohmann SYMBOLIC)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES ${include_dir})
endif()
set(nlohmann_json_FOUND TRUE)
