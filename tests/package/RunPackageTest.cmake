# Installs the built library into a temporary prefix, then builds and runs an outside host
# program against it twice: through find_package(Kavvix) and through pkg-config.
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
