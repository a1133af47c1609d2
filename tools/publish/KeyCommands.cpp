#include "publish/KeyCommands.h"

#include "publish/AtomicFile.h"
#include "publish/KeyFile.h"
#include "publish/PathText.h"
#include "publish/SignatureFile.h"

#include <fstream>
#include <system_error>

namespace publish {

namespace fs = std::filesystem;

namespace {

// The whole file when it is no larger than `limit`.
std::optional<std::string> ReadSmallFile(const fs::path& path, uint64_t limit, std::string& error) {
    std::error_code ec;
    const uint64_t size = fs::file_size(path, ec);
    if (ec) {
        error = "cannot read " + DisplayPath(path) + ": " + ec.message();
        return std::nullopt;
    }
    if (size > limit) {
        error = DisplayPath(path) + " is larger than " + std::to_string(limit) + " bytes";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(size))) {
        error = "cannot read " + DisplayPath(path);
        return std::nullopt;
    }
    return bytes;
}

} // namespace

bool GenerateKeyPair(const fs::path& privateKey, const fs::path& publicKey, MessageSink& sink) {
    std::error_code ec;
    for (const fs::path& path : {privateKey, publicKey}) {
        if (fs::exists(fs::symlink_status(path, ec))) {
            sink.Error(DisplayPath(path) + " exists already; a key is never overwritten");
            return false;
        }
    }
    if (fs::weakly_canonical(privateKey, ec) == fs::weakly_canonical(publicKey, ec)) {
        sink.Error("the private and the public key need two different files");
        return false;
    }
    P256PrivateKey key;
    std::string error;
    if (!GenerateP256Key(key, error)) {
        sink.Error(error);
        return false;
    }
    const std::string privatePem = PrivateKeyPem(key);
    if (!CreateNewFile(privateKey, privatePem, true, error)) {
        sink.Error("cannot write " + DisplayPath(privateKey) + ": " + error);
        return false;
    }
    if (!CreateNewFile(publicKey, signature_file::FormatPublicKeyPem(key.Public.XY), false,
                       error)) {
        sink.Error("cannot write " + DisplayPath(publicKey) + ": " + error);
        fs::remove(privateKey, ec);
        return false;
    }
    sink.Note("wrote key " + KeyId(key.Public) + ": private " + DisplayPath(privateKey) +
              " (keep it secret), public " + DisplayPath(publicKey));
    return true;
}

bool VerifySignedManifest(const fs::path& manifest, const std::vector<fs::path>& publicKeys,
                          MessageSink& sink) {
    std::vector<P256PublicKey> trusted;
    std::string error;
    for (const fs::path& path : publicKeys) {
        auto text = ReadKeyFile(path, error);
        auto key = text ? ParsePublicKeyPem(*text, error) : std::nullopt;
        if (!key) {
            sink.Error(text ? DisplayPath(path) + ": " + error : error);
            return false;
        }
        trusted.push_back(*key);
    }
    fs::path signaturePath = manifest;
    signaturePath += kSignatureSuffix;
    // A manifest of 100,000 files is about 60 MB; anything far larger is not one.
    auto bytes = ReadSmallFile(manifest, 1ull << 30, error);
    auto signatures =
        bytes ? ReadSmallFile(signaturePath, kMaxSignatureFileBytes, error) : std::nullopt;
    if (!signatures) {
        sink.Error(error);
        return false;
    }
    std::vector<signature_file::Line> lines;
    if (!ParseSignatureFile(*signatures, lines, error)) {
        sink.Error(DisplayPath(signaturePath) + ": " + error);
        return false;
    }
    auto id = VerifyManifest(*bytes, lines, trusted);
    if (!id) {
        sink.Error(DisplayPath(manifest) + ": no signature in " + DisplayPath(signaturePath) +
                   " verifies with the given key(s)");
        return false;
    }
    sink.Note(DisplayPath(manifest) + ": signature by key " + *id + " verifies");
    return true;
}

} // namespace publish
