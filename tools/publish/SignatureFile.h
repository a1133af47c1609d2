#pragma once
// The signature file served beside a manifest (its name with ".sig" appended): ASCII, at most
// 4 KiB, one line per signature,
//
//   ecdsa-p256-sha256 <key id> <signature>
//
// the key id as KeyId gives it, the signature the base64 of r and s (64 bytes) over SHA-256 of
// the manifest's exact bytes. Several lines let clients that trust an old key and clients that
// trust a new one accept the same manifest. Readers skip empty lines and lines starting with #.

#include "publish/Crypto.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace publish {

inline constexpr const char* kSignatureSuffix = ".sig";
inline constexpr size_t kMaxSignatureFileBytes = 4096;

struct SignatureLine {
    std::string KeyId;
    P256Signature Signature{};
};

// The file for `manifest` signed with every key; nothing (with `error` set) when a key fails
// or the file would exceed its limit.
std::optional<std::string> SignManifest(std::string_view manifest,
                                        const std::vector<P256PrivateKey>& keys,
                                        std::string& error);

// Every signature line of the file; false, with `error` set and no lines, when the file breaks
// the format anywhere (a reader that trusts it must not guess).
bool ParseSignatureFile(std::string_view bytes, std::vector<SignatureLine>& lines,
                        std::string& error);

// The id of the trusted key whose signature over `manifest` verifies; nothing when none does.
std::optional<std::string> VerifyManifest(std::string_view manifest,
                                          const std::vector<SignatureLine>& lines,
                                          const std::vector<P256PublicKey>& trusted);

} // namespace publish
