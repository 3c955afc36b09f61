# Installs the libraries as one CMake package (find_package(Kavvix), targets Kavvix::Kavvix,
# Kavvix::Core, Kavvix::Simulator and Kavvix::Service) and three pkg-config files: kavvix.pc
# (the core and the upload dialog), kavvix-core.pc (the core alone, without widgets), both for
# C++ hosts, and kavvix-c.pc for hosts of the C interface (no C++ or Qt flags).
# Install components, one Debian package each: libraries (the shared libraries), development
# (headers, CMake package, pkg-config files, the libraries' link names).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KAVVIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kavvix)

set_target_properties(kavvix PROPERTIES EXPORT_NAME Kavvix)
install(TARGETS kavvix_core kavvix kavvix_simulator kavvix_service EXPORT KavvixTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT libraries
            NAMELINK_COMPONENT development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT libraries
    FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
install(FILES ${PROJECT_BINARY_DIR}/include/kavvix/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kavvix COMPONENT development)
install(EXPORT KavvixTargets NAMESPACE Kavvix:: DESTINATION ${KAVVIX_CMAKE_DIR}
        COMPONENT development)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KavvixConfig.cmake.in
    ${PROJECT_BINARY_DIR}/KavvixConfig.cmake INSTALL_DESTINATION ${KAVVIX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KavvixConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KavvixConfig.cmake
              ${PROJECT_BINARY_DIR}/KavvixConfigVersion.cmake
        DESTINATION ${KAVVIX_CMAKE_DIR} COMPONENT development)

# The .pc file finds the prefix from its own place: LIBDIR/pkgconfig -> up as many levels. Under
# /usr (a package) it says /usr, so that pkg-config knows the system folders and leaves them out.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(KAVVIX_PC_PREFIX /usr)
else()
    file(RELATIVE_PATH to_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
    set(KAVVIX_PC_PREFIX "\${pcfiledir}/${to_prefix}")
endif()
foreach(pc IN ITEMS kavvix kavvix-core kavvix-c)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
            COMPONENT development)
endforeach()
