# What the project's libraries have in common, the wire code they share, and one static archive
# of everything for the programs that reach past the public API (tests, benchmarks, fuzzers).
include(GNUInstallDirs)

# kavvix_library_defaults(target): an installed shared library of this project. Hidden by
# default, so its binary interface is what its public headers mark KAVVIX_EXPORT.
function(kavvix_library_defaults target)
    set_target_properties(${target} PROPERTIES
        VERSION ${PROJECT_VERSION}
        SOVERSION ${PROJECT_VERSION_MAJOR}
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
    target_compile_features(${target} PUBLIC cxx_std_20)
    target_include_directories(${target}
        PUBLIC
            $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
            $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
            $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
        PRIVATE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${target} PRIVATE $<BUILD_INTERFACE:kavvix_warnings>)
endfunction()

# The console's wire format (frame cutting and checks, the "305" and upload frame layouts and
# the numeric rules they need): compiled once, linked into the core and the simulator, hidden
# in each.
add_library(kavvix_wire OBJECT)
set_target_properties(kavvix_wire PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(kavvix_wire PUBLIC
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_BINARY_DIR}/include ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kavvix_wire PUBLIC Qt6::Core PRIVATE kavvix_warnings)

# The meet database's engines (the dialect, driver, types and waits of each): compiled once,
# linked into the core and the service, hidden in each.
add_library(kavvix_dialect OBJECT)
set_target_properties(kavvix_dialect PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
target_include_directories(kavvix_dialect PUBLIC
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_BINARY_DIR}/include ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(kavvix_dialect PUBLIC Qt6::Core Qt6::Sql PRIVATE kavvix_warnings)

# kavvix_add_internal_library(): kavvix_internal, the objects of every library in one static
# archive with the private headers on its include path. A program links it instead of the
# shared libraries, never together with them.
function(kavvix_add_internal_library)
    add_library(kavvix_internal STATIC
        $<TARGET_OBJECTS:kavvix_core> $<TARGET_OBJECTS:kavvix> $<TARGET_OBJECTS:kavvix_wire>
        $<TARGET_OBJECTS:kavvix_dialect> $<TARGET_OBJECTS:kavvix_simulator>
        $<TARGET_OBJECTS:kavvix_service> $<TARGET_OBJECTS:kavvix_bindings>)
    target_include_directories(kavvix_internal PUBLIC
        ${PROJECT_SOURCE_DIR}/include ${PROJECT_BINARY_DIR}/include ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(kavvix_internal PUBLIC Qt6::Core Qt6::Sql Qt6::Widgets Qt6::SerialPort
                          Qt6::Network Qt6::HttpServer Qt6::WebSockets PkgConfig::QRENCODE)
endfunction()
