# Installs the libraries as one CMake package (find_package(Kavvix), targets Kavvix::Kavvix,
# Kavvix::Core, Kavvix::Simulator and Kavvix::Service) and two pkg-config files: kavvix.pc
# (the core and the upload dialog) and kavvix-core.pc (the core alone, without widgets).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KAVVIX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Kavvix)

set_target_properties(kavvix PROPERTIES EXPORT_NAME Kavvix)
install(TARGETS kavvix_core kavvix kavvix_simulator kavvix_service EXPORT KavvixTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_BINARY_DIR}/include/kavvix/version.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kavvix)
install(EXPORT KavvixTargets NAMESPACE Kavvix:: DESTINATION ${KAVVIX_CMAKE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KavvixConfig.cmake.in
    ${PROJECT_BINARY_DIR}/KavvixConfig.cmake INSTALL_DESTINATION ${KAVVIX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/KavvixConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/KavvixConfig.cmake
              ${PROJECT_BINARY_DIR}/KavvixConfigVersion.cmake
        DESTINATION ${KAVVIX_CMAKE_DIR})

# The .pc file finds the prefix from its own place: LIBDIR/pkgconfig -> up as many levels.
file(RELATIVE_PATH KAVVIX_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
foreach(pc IN ITEMS kavvix kavvix-core)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${PROJECT_BINARY_DIR}/${pc}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/${pc}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
