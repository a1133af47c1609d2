# Warnings for the project's own targets only (third-party code such as GoogleTest keeps its own).
function(halvenport_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
    if(HALVENPORT_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# Places a shipped binary (and, for a DLL, its import library) in out/<arch>/. What lies there is
# what players and operators download, so it goes without symbols: they stay in the build tree
# (symbols/<file>.debug), which the binary names through a debug link for debuggers to find.
# The sanitizer tree's binaries never ship and keep everything.
function(halvenport_ship target)
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${HALVENPORT_OUT_DIR}
        LIBRARY_OUTPUT_DIRECTORY ${HALVENPORT_OUT_DIR}
        ARCHIVE_OUTPUT_DIRECTORY ${HALVENPORT_OUT_DIR})
    if(NOT HALVENPORT_SANITIZE AND CMAKE_OBJCOPY)
        set(symbols ${CMAKE_BINARY_DIR}/symbols/$<TARGET_FILE_NAME:${target}>.debug)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/symbols
            COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${symbols}
            COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${symbols}
                    $<TARGET_FILE:${target}>
            VERBATIM)
    endif()
endfunction()
