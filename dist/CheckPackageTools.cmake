# Run by CPack before it makes the Debian package (CPACK_PRE_BUILD_SCRIPTS): the package's
# dependencies on the libraries the programs link come from dpkg-shlibdeps, which needs
# file to find the programs. Without them the package would be made without those
# dependencies, so packaging stops here instead.
foreach(tool dpkg-shlibdeps file)
    find_program(found_${tool} ${tool})
    if(NOT found_${tool})
        list(APPEND missing ${tool})
    endif()
endforeach()
if(missing)
    string(REPLACE ";" " and " missing "${missing}")
    message(FATAL_ERROR "The Debian package needs ${missing} to name its dependencies: "
                        "install the packages dpkg-dev and file "
                        "(tools/install-deps.sh run installs them), then run cpack again.")
endif()
