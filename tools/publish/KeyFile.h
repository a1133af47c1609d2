#pragma once
// P-256 key files in PEM: private keys as PKCS#8 ("PRIVATE KEY", what OpenSSL writes) or SEC 1
// ("EC PRIVATE KEY"), public keys as SubjectPublicKeyInfo ("PUBLIC KEY"). Read and written here
// on every platform, so that a key made on Windows reads on Linux and the other way round; CNG
// itself has no PEM reader.

#include "publish/Crypto.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace publish {

// Private keys must carry their public half (OpenSSL writes it by default): CNG needs it to
// import the key, and the key id is made from it.
std::optional<P256PrivateKey> ParsePrivateKeyPem(std::string_view text, std::string& error);
std::optional<P256PublicKey> ParsePublicKeyPem(std::string_view text, std::string& error);

std::string PrivateKeyPem(const P256PrivateKey& key); // PKCS#8
std::string PublicKeyPem(const P256PublicKey& key);   // SubjectPublicKeyInfo

// 16 lower-case hex digits: the first 8 bytes of SHA-256 over X and Y.
std::string KeyId(const P256PublicKey& key);

// The whole file; nothing (with `error` naming the file) when it cannot be read or is larger
// than any key file.
std::optional<std::string> ReadKeyFile(const std::filesystem::path& path, std::string& error);

} // namespace publish
