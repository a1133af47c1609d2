# versioned_dll(<target> <a.b.c.d> <output folder>)
# A tiny DLL named <target>.dll whose version resource gives file version a.b.c.d and product
# version 65535.0.1.2, for tests and benchmarks of the update decision.
set(VERSIONED_DLL_DIR ${CMAKE_CURRENT_LIST_DIR})

function(versioned_dll target version folder)
    string(REPLACE "." "," VERSION_COMMAS ${version})
    set(VERSION ${version})
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${VERSIONED_DLL_DIR}/VersionedDll.rc.in ${rc} @ONLY)
    add_library(${target} SHARED ${VERSIONED_DLL_DIR}/VersionedDll.c ${rc})
    set_target_properties(${target} PROPERTIES PREFIX "" RUNTIME_OUTPUT_DIRECTORY ${folder})
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(entry VersionedDllEntry)
    else()
        set(entry _VersionedDllEntry@12)
    endif()
    target_link_options(${target} PRIVATE -nostdlib -Wl,-e,${entry})
endfunction()
