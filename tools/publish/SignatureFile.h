#pragma once
// Signing a manifest and checking a signed one. The signature file itself (its name is the
// manifest's with ".sig" appended) is the updater's format, read and written by
// manifest/SignatureFile so that what the tool writes is exactly what the updater reads: one line
// per signature, the SHA-256 of the manifest's exact bytes signed with each key. Several lines let
// clients that trust an old key and clients that trust a new one accept the same manifest.

#include "publish/Crypto.h"

#include "manifest/SignatureFile.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace publish {

inline constexpr const char* kSignatureSuffix = ".sig";
inline constexpr size_t kMaxSignatureFileBytes = signature_file::kMaxSize;

// The file for `manifest` signed with every key; nothing (with `error` set) when a key fails
// or the file would exceed its limit.
std::optional<std::string> SignManifest(std::string_view manifest,
                                        const std::vector<P256PrivateKey>& keys,
                                        std::string& error);

// Every signature line of the file; false, with `error` set and no lines, when the file breaks
// the format anywhere (a reader that trusts it must not guess) or holds no signature.
bool ParseSignatureFile(std::string_view bytes, std::vector<signature_file::Line>& lines,
                        std::string& error);

// The id of the trusted key whose signature over `manifest` verifies; nothing when none does.
std::optional<std::string> VerifyManifest(std::string_view manifest,
                                          const std::vector<signature_file::Line>& lines,
                                          const std::vector<P256PublicKey>& trusted);

} // namespace publish
