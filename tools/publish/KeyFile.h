#pragma once
// P-256 key files in PEM: private keys as PKCS#8 ("PRIVATE KEY", what OpenSSL writes) or SEC 1
// ("EC PRIVATE KEY"), read and written here on every platform, so that a key made on Windows
// reads on Linux and the other way round; CNG itself has no PEM reader. Public keys
// (SubjectPublicKeyInfo, "PUBLIC KEY") are the updater's format: manifest/SignatureFile reads and
// writes them, so that the tool accepts exactly the keys the updater can be built with.

#include "publish/Crypto.h"

#include "manifest/SignatureFile.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace publish {

// Private keys must carry their public half (OpenSSL writes it by default): CNG needs it to
// import the key, and the key id is made from it.
std::optional<P256PrivateKey> ParsePrivateKeyPem(std::string_view text, std::string& error);
// The file must hold the one block, as `openssl pkey -pubout` and --generate-key write it.
std::optional<P256PublicKey> ParsePublicKeyPem(std::string_view text, std::string& error);

std::string PrivateKeyPem(const P256PrivateKey& key); // PKCS#8

// The first 8 bytes of SHA-256 over X and Y; KeyId writes them as 16 lower-case hex digits.
signature_file::KeyIdBytes KeyIdBytes(const P256PublicKey& key);
std::string KeyId(const P256PublicKey& key);

// The whole file; nothing (with `error` naming the file) when it cannot be read or is larger
// than any key file.
std::optional<std::string> ReadKeyFile(const std::filesystem::path& path, std::string& error);

} // namespace publish
