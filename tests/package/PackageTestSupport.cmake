# What the installed-package tests share: running a step, and installing the build tree into a
# fresh prefix.

# require_defined(name...): each variable must have been passed with -D.
function(require_defined)
    foreach(var IN LISTS ARGN)
        if(NOT DEFINED ${var})
            message(FATAL_ERROR "${var} not set")
        endif()
    endforeach()
endfunction()

# run(command...): runs it; a failure ends the test with the command's output.
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
    endif()
    message(STATUS "${out}")
endfunction()

# install_into(prefix): the build tree BUILD_DIR installed there, nothing else.
function(install_into prefix)
    file(REMOVE_RECURSE ${prefix})
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
endfunction()
