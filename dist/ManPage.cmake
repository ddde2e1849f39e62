# Makes one gzipped manual page from its scdoc source (cmake -P, from dist/CMakeLists.txt):
#   -DSCDOC=scdoc -DEPOCH=seconds -DSOURCE=page.1.scd -DOUTPUT=page.1.gz
# scdoc dates the page by SOURCE_DATE_EPOCH; gzip -n leaves out the file's name and time.
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
get_filename_component(name ${OUTPUT} NAME_WLE)
set(page ${OUTPUT}.troff)
execute_process(COMMAND ${SCDOC} INPUT_FILE ${SOURCE} OUTPUT_FILE ${page}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    file(REMOVE ${page})
    message(FATAL_ERROR "scdoc could not make the manual page ${name} from ${SOURCE}")
endif()
execute_process(COMMAND gzip -n -9 -c ${page} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
file(REMOVE ${page})
if(NOT status EQUAL 0)
    file(REMOVE ${OUTPUT})
    message(FATAL_ERROR "gzip could not compress the manual page ${name}")
endif()
