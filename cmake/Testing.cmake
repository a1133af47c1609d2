# GoogleTest, built from Debian's sources for whichever compiler this build uses (mingw included).
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

if(WIN32)
    # Windows test programs run under wine64 through a wrapper that carries the prefix,
    # the Chinese locale (ANSI code page 936) and the quiet-Wine settings.
    set(HALVENPORT_WINEPREFIX "${CMAKE_BINARY_DIR}/../wineprefix"
        CACHE PATH "Wine prefix the tests run in (made by scripts/wine-prefix.sh)")
    get_filename_component(HALVENPORT_WINEPREFIX "${HALVENPORT_WINEPREFIX}" ABSOLUTE)
    configure_file(${PROJECT_SOURCE_DIR}/scripts/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                   @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                   GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()

# halvenport_gtest(<name> SOURCES ... [LIBS ...] [TIMEOUT s] [PROPERTIES prop value ...])
# One test program; each of its cases becomes a ctest test, discovered when ctest runs so that
# discovery happens under the same (warm) wineserver as the tests themselves. PROPERTIES are
# set on every case (e.g. RESOURCE_LOCK display for tests that show windows).
function(halvenport_gtest name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;PROPERTIES" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main)
    halvenport_warnings(${name})
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT ${ARG_TIMEOUT} ${ARG_PROPERTIES})
endfunction()
