# tarvix_gzip(<target> <file>...): a target, built by default, that compresses each file into
# <name>.gz in the current build folder, the way Debian wants manual pages and changelogs:
# gzip -9n, so no name or time stamp in the header and the same bytes from the same file.
# <target>_FILES holds the compressed files' paths, for install(FILES).
#
# Run as a script (cmake -DIN=... -DOUT=... -P gzip.cmake), it does one file: written beside
# the output first, so that a failed run leaves no output that looks up to date.
if(CMAKE_SCRIPT_MODE_FILE)
    find_program(GZIP_EXECUTABLE gzip REQUIRED)
    execute_process(COMMAND ${GZIP_EXECUTABLE} -9nc ${IN}
                    OUTPUT_FILE ${OUT}.part
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        file(REMOVE ${OUT}.part)
        message(FATAL_ERROR "gzip could not compress ${IN}: ${status}")
    endif()
    file(RENAME ${OUT}.part ${OUT})
    return()
endif()

function(tarvix_gzip target)
    set(outputs)
    foreach(file IN LISTS ARGN)
        get_filename_component(name ${file} NAME)
        set(output ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
        add_custom_command(OUTPUT ${output}
            COMMAND ${CMAKE_COMMAND} -DIN=${file} -DOUT=${output} -P ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
            DEPENDS ${file} ${CMAKE_CURRENT_FUNCTION_LIST_FILE}
            COMMENT "Compressing ${name}"
            VERBATIM)
        list(APPEND outputs ${output})
    endforeach()
    add_custom_target(${target} ALL DEPENDS ${outputs})
    set(${target}_FILES ${outputs} PARENT_SCOPE)
endfunction()
