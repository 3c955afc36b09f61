# Builds the kavvix tool's own sources (apps/) against the installed libraries alone, then runs
# it: the tool needs nothing but the public headers of Kavvix::Kavvix and Kavvix::Simulator.
include(${CMAKE_CURRENT_LIST_DIR}/PackageTestSupport.cmake)
require_defined(BUILD_DIR SOURCE_DIR TOOL_PROJECT WORK_DIR)

# Said plainly before compiling: a quoted include must name a file of the tool itself.
set(apps ${SOURCE_DIR}/apps)
file(GLOB_RECURSE sources ${apps}/*.cpp ${apps}/*.h)
set(private "")
foreach(source IN LISTS sources)
    get_filename_component(folder ${source} DIRECTORY)
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
        string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
        get_filename_component(found ${folder}/${header} ABSOLUTE)
        string(FIND "${found}" "${apps}/" at)
        if(NOT EXISTS ${found} OR NOT at EQUAL 0)
            file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
            string(APPEND private "\n  ${name}: \"${header}\"")
        endif()
    endforeach()
endforeach()
if(private)
    message(FATAL_ERROR "apps/ include private headers of the libraries; use their public "
                        "headers (<kavvix/...>) instead:${private}")
endif()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
install_into(${prefix})
run(${CMAKE_COMMAND} -S ${TOOL_PROJECT} -B ${WORK_DIR}/tool -G Ninja
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_RPATH=${prefix}/lib -DKAVVIX_SOURCE_DIR=${SOURCE_DIR})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/tool)
execute_process(COMMAND ${WORK_DIR}/tool/apps/kavvix/kavvix --version
                OUTPUT_VARIABLE version RESULT_VARIABLE rc)
# One version everywhere: the tool says what pkg-config says of the installed library.
execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${prefix}/lib/pkgconfig
                        pkg-config --modversion kavvix
                OUTPUT_VARIABLE packaged OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0 OR NOT version STREQUAL "kavvix ${packaged}\n" OR NOT packaged MATCHES "^1\\.6\\.0\\.0$")
    message(FATAL_ERROR "the tool built against the prefix says '${version}' (exit ${rc}), "
                        "pkg-config '${packaged}'")
endif()
