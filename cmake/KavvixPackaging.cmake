# What a system installation adds to the tool, and the Debian packages (scripts/package.sh):
#   kavvix          the tool, its systemd unit, configuration file, man page, completion, udev
#                   rule and system user
#   libkavvix1      the shared libraries
#   libkavvix-dev   headers, CMake package, pkg-config files
#   python3-kavvix  the Python module with its distribution metadata
include(GNUInstallDirs)
set(packaging_dir ${PROJECT_SOURCE_DIR}/packaging)

install(FILES ${packaging_dir}/kavvix.service DESTINATION lib/systemd/system COMPONENT tool)
# /etc for the prefix /usr (a package), else etc under the prefix.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(config_dir ../etc/kavvix)
else()
    set(config_dir ${CMAKE_INSTALL_SYSCONFDIR}/kavvix)
endif()
install(FILES ${packaging_dir}/kavvix.conf DESTINATION ${config_dir} COMPONENT tool)
install(FILES ${packaging_dir}/kavvix.sysusers DESTINATION lib/sysusers.d RENAME kavvix.conf
        COMPONENT tool)
install(FILES ${packaging_dir}/60-kavvix.rules DESTINATION lib/udev/rules.d COMPONENT tool)
# A championship's nginx in front of mirrors, as an example to copy to /etc/nginx/conf.d/.
install(FILES ${packaging_dir}/nginx/kavvix-mirrors.conf
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kavvix/examples COMPONENT tool)
install(FILES ${packaging_dir}/kavvix.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kavvix
        COMPONENT tool)

# The man page, made from the built tool's help. Running the tool at build time rules out the
# sanitizer build, whose tool the build machine need not be able to run cleanly.
find_program(KAVVIX_HELP2MAN help2man)
if(TARGET kavvix_cli AND KAVVIX_HELP2MAN AND NOT KAVVIX_SANITIZE)
    set(man_page ${PROJECT_BINARY_DIR}/man/kavvix.1)
    add_custom_command(OUTPUT ${man_page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND ${packaging_dir}/make-man-page.sh $<TARGET_FILE:kavvix_cli> ${man_page}
        COMMAND gzip -9nf ${man_page}
        DEPENDS kavvix_cli ${packaging_dir}/make-man-page.sh
        COMMENT "Writing the man page kavvix(1)")
    add_custom_target(kavvix_man_page ALL DEPENDS ${man_page}.gz)
    install(FILES ${man_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
endif()

# Every package carries the copyright and changelog Debian asks for.
string(TIMESTAMP kavvix_package_date "%a, %d %b %Y 00:00:00 +0000" UTC)
configure_file(${packaging_dir}/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.gz
    COMMAND gzip -9nkf ${PROJECT_BINARY_DIR}/debian/changelog
    DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog)
add_custom_target(kavvix_package_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.gz)

set(kavvix_packages tool kavvix libraries libkavvix${PROJECT_VERSION_MAJOR} development
    libkavvix-dev)
if(TARGET kavvix_python)
    list(APPEND kavvix_packages python python3-kavvix)
endif()
set(components "")
while(kavvix_packages)
    list(POP_FRONT kavvix_packages component package)
    list(APPEND components ${component})
    install(FILES ${packaging_dir}/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
    string(TOUPPER ${component} upper)
    set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
    set(CPACK_DEBIAN_${upper}_FILE_NAME DEB-DEFAULT)
endwhile()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kavvix)
set(CPACK_PACKAGE_VENDOR "Kavvix developers")
set(CPACK_PACKAGE_CONTACT "Kavvix developers <kavvix@kavvix.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries' shlibs file, and ldconfig run after they are installed or removed.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The tool and the module need the libraries of their own version; dpkg-shlibdeps cannot
# tell, since the libraries are not installed while the packages are built.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${PROJECT_BINARY_DIR}/packages/_CPack_Packages/Linux/DEB/kavvix-${PROJECT_VERSION}-Linux/libraries/usr/${CMAKE_INSTALL_LIBDIR})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(library_dependency "libkavvix${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION})")

set(CPACK_COMPONENT_TOOL_DESCRIPTION "diving meet console communications: tool and service
 The kavvix tool parses judging console text, uploads dive sheets to the
 timing console and, as the systemd service kavvix.service, stores judged
 dives in the meet database and serves live results pages, an HTTP API and a
 WebSocket feed.")
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "${library_dependency}, adduser")
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOL_PACKAGE_CONTROL_EXTRA
    ${packaging_dir}/debian/conffiles ${packaging_dir}/debian/postinst
    ${packaging_dir}/debian/postrm ${packaging_dir}/debian/prerm)

set(CPACK_COMPONENT_LIBRARIES_DESCRIPTION "diving meet console communications: shared libraries
 The libraries parse judging console text, speak the timing console's serial
 protocol, upload dive sheets and run the live results service; with a C
 interface for hosts without Qt.")
set(CPACK_DEBIAN_LIBRARIES_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARIES_PACKAGE_CONTROL_EXTRA ${packaging_dir}/debian/triggers)

set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "diving meet console communications: development files
 Headers, the CMake package (find_package(Kavvix)) and the pkg-config files
 kavvix and kavvix-core (C++ and Qt) and kavvix-c (the C interface alone).")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "${library_dependency}, qt6-base-dev, qt6-serialport-dev")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)

set(CPACK_COMPONENT_PYTHON_DESCRIPTION "diving meet console communications: Python module
 The module kavvix: the score data parsers, the timing console's receivers,
 and uploads and connection tests as generators of the operator's message
 lines.")
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "${library_dependency}, python3")
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)

include(CPack)
