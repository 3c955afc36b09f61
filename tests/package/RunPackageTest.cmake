# Installs the built library into a temporary prefix, then builds and runs an outside host
# program against it twice: through find_package(Kavvix) and through pkg-config. Then the C
# example host against the installed C interface, and, when PYTHON is given, the Python package
# from where that interpreter looks for packages under the prefix. Neither of these two loads a
# widget or GUI library.
include(${CMAKE_CURRENT_LIST_DIR}/PackageTestSupport.cmake)
require_defined(BUILD_DIR HOST_SOURCE WORK_DIR)
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
install_into(${prefix})
run(${CMAKE_COMMAND} -S ${HOST_SOURCE} -B ${WORK_DIR}/host -G Ninja -DCMAKE_PREFIX_PATH=${prefix}
    -DCMAKE_BUILD_RPATH=${prefix}/lib)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/host)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/lib ${WORK_DIR}/host/kavvix_host)

set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
execute_process(COMMAND pkg-config --cflags --libs kavvix OUTPUT_VARIABLE flags
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "pkg-config does not know kavvix")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
run(c++ ${HOST_SOURCE}/main.cpp ${flags} -o ${WORK_DIR}/kavvix_host_pc)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/lib ${WORK_DIR}/kavvix_host_pc)

# no_gui_libraries(binary): ldd of the binary lists no Qt widget or GUI library.
function(no_gui_libraries binary)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/lib ldd ${binary}
                    OUTPUT_VARIABLE libraries RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0 OR NOT libraries MATCHES "libkavvix_core")
        message(FATAL_ERROR "ldd ${binary} failed or lists no libkavvix_core:\n${libraries}")
    endif()
    if(libraries MATCHES "libQt6(Widgets|Gui)")
        message(FATAL_ERROR "${binary} loads ${CMAKE_MATCH_0}:\n${libraries}")
    endif()
endfunction()

# A C host takes kavvix-c's flags alone: no C++ standard, no Qt.
execute_process(COMMAND pkg-config --cflags --libs kavvix-c OUTPUT_VARIABLE c_flags
                OUTPUT_STRIP_TRAILING_WHITESPACE)
if(c_flags MATCHES "std=c\\+\\+|Qt")
    message(FATAL_ERROR "kavvix-c.pc gives a C host C++ or Qt flags: ${c_flags}")
endif()
separate_arguments(c_flags UNIX_COMMAND "${c_flags}")
run(cc -std=c11 -Wall -Wextra -Wpedantic -Werror ${C_EXAMPLE} ${c_flags}
    -o ${WORK_DIR}/kavvix_c_host)
run(${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${prefix}/lib ${WORK_DIR}/kavvix_c_host ${CAPTURE})
no_gui_libraries(${WORK_DIR}/kavvix_c_host)

if(PYTHON)
    run(${PYTHON} -c "import site, sys; sys.path[:0] = site.getsitepackages(['${prefix}']); \
import kavvix; assert kavvix.ColoradoData().parse('x').DataIsValid is False; \
import importlib.metadata; assert importlib.metadata.version('kavvix') == kavvix.__version__; \
print('kavvix', kavvix.__version__, 'from', kavvix.__file__)")
    file(GLOB_RECURSE module ${prefix}/_kavvix*.so)
    if(NOT module)
        message(FATAL_ERROR "the installed Python module is missing under ${prefix}")
    endif()
    no_gui_libraries(${module})
endif()
