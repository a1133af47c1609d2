# Signed manifests. The signature-file format is portable: every tree builds it and the native one
# fuzzes it. The Windows trees add the check itself and the public keys the updater trusts.

add_library(refreshor_signature_file STATIC ${PROJECT_SOURCE_DIR}/client/manifest/SignatureFile.cpp)
target_include_directories(refreshor_signature_file PUBLIC ${PROJECT_SOURCE_DIR}/client)
halvenport_warnings(refreshor_signature_file)

if(NOT WIN32)
    return()
endif()

set(REFRESHOR_MANIFEST_KEYS "${PROJECT_SOURCE_DIR}/keys/demo-manifest-key.pub.pem" CACHE STRING
    "PEM public keys (P-256) whose signatures Refreshor accepts on manifests, separated by ';'; NONE builds an updater that checks no signature")

# The body of a PEM "PUBLIC KEY" file in the one form the updater accepts (the fixed
# SubjectPublicKeyInfo prefix of an uncompressed P-256 point, then X and Y), so that a wrong file
# stops the build here instead of making every update fail in the field.
function(manifest_key_body file out)
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "REFRESHOR_MANIFEST_KEYS: no such file: ${file}")
    endif()
    file(READ "${file}" pem)
    string(REPLACE "\r" "" pem "${pem}")
    string(STRIP "${pem}" pem)
    set(body "")
    if(pem MATCHES "^-----BEGIN PUBLIC KEY-----\n([A-Za-z0-9+/=\n]+)\n-----END PUBLIC KEY-----$")
        string(REPLACE "\n" "" body "${CMAKE_MATCH_1}")
    endif()
    string(LENGTH "${body}" length)
    if(NOT length EQUAL 124 OR NOT body MATCHES "^MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE[A-Za-z0-9+/]+[AQgw]==$")
        message(FATAL_ERROR "REFRESHOR_MANIFEST_KEYS: ${file} is not a PEM public key of the P-256 "
                            "curve (make one with publish-manifest --generate-key)")
    endif()
    set(${out} "${body}" PARENT_SCOPE)
    set(${out}_pem "${pem}" PARENT_SCOPE)
endfunction()

set(manifest_key_pems "")
set(manifest_key_count 0)
if(REFRESHOR_MANIFEST_KEYS STREQUAL "NONE")
    set(manifest_signatures_required false)
    message(WARNING "REFRESHOR_MANIFEST_KEYS is NONE: this Refreshor.exe installs and starts "
                    "whatever manifest and files reach it, unchecked. Anyone on the network path "
                    "(a cafe or hotel network, a hijacked DNS answer) can make it run their programs.")
else()
    set(manifest_signatures_required true)
    manifest_key_body("${PROJECT_SOURCE_DIR}/keys/demo-manifest-key.pub.pem" demo_body)
    foreach(key IN LISTS REFRESHOR_MANIFEST_KEYS)
        get_filename_component(key "${key}" ABSOLUTE BASE_DIR "${PROJECT_SOURCE_DIR}")
        manifest_key_body("${key}" body)
        set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${key}")
        # Compared by content: a copy of the demo key under another name is still the demo key.
        if(body STREQUAL demo_body AND CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
            message(WARNING "This ${CMAKE_BUILD_TYPE} build of Refreshor.exe trusts the demo key "
                            "(${key}), whose private half is public: anyone can sign manifests for "
                            "it. Set REFRESHOR_MANIFEST_KEYS to your own public key before shipping.")
        endif()
        string(APPEND manifest_key_pems "    R\"pem(${body_pem})pem\",\n")
        math(EXPR manifest_key_count "${manifest_key_count} + 1")
    endforeach()
    if(manifest_key_count EQUAL 0)
        message(FATAL_ERROR "REFRESHOR_MANIFEST_KEYS is empty: name at least one key file, or NONE")
    endif()
endif()

set(manifest_keys_dir ${CMAKE_BINARY_DIR}/generated/manifest-keys)
file(CONFIGURE OUTPUT ${manifest_keys_dir}/ManifestKeys.h CONTENT [=[
#pragma once
// Written by CMake from REFRESHOR_MANIFEST_KEYS: change that setting, not this file.

#include <array>
#include <string_view>

inline constexpr bool kManifestSignaturesRequired = @manifest_signatures_required@;
inline constexpr std::array<std::string_view, @manifest_key_count@> kTrustedManifestKeyPems = {
@manifest_key_pems@};
]=] @ONLY)

# The check over CNG; the session calls it before the manifest reader sees a byte.
add_library(refreshor_manifest_trust STATIC
            ${PROJECT_SOURCE_DIR}/client/manifest/ManifestSignature.cpp)
target_include_directories(refreshor_manifest_trust PRIVATE ${manifest_keys_dir})
target_link_libraries(refreshor_manifest_trust PUBLIC refreshor_signature_file platform_crypto)
halvenport_warnings(refreshor_manifest_trust)
