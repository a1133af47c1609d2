# Warnings for the project's own targets only (third-party code such as GoogleTest keeps its own).
function(halvenport_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
    if(HALVENPORT_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# Places a shipped binary (and, for a DLL, its import library) in out/<arch>/.
function(halvenport_ship target)
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${HALVENPORT_OUT_DIR}
        LIBRARY_OUTPUT_DIRECTORY ${HALVENPORT_OUT_DIR}
        ARCHIVE_OUTPUT_DIRECTORY ${HALVENPORT_OUT_DIR})
endfunction()
