#include "publish/SignatureFile.h"

#include "publish/KeyFile.h"

#include <utility>

namespace publish {

std::optional<std::string> SignManifest(std::string_view manifest,
                                        const std::vector<P256PrivateKey>& keys,
                                        std::string& error) {
    const Sha256Digest digest = Sha256Of(manifest.data(), manifest.size());
    std::string file;
    for (const P256PrivateKey& key : keys) {
        signature_file::Line line;
        if (!SignP256(key, digest, line.Signature, error)) {
            return std::nullopt;
        }
        // A key file whose public half does not belong to its private scalar would sign
        // manifests that no client accepts under the id written here.
        line.KeyId = KeyIdBytes(key.Public);
        if (!VerifyP256(key.Public, digest, line.Signature)) {
            error = "key " + signature_file::FormatKeyId(line.KeyId) +
                    ": the signature does not verify with the key's own public "
                    "half; the key file is damaged";
            return std::nullopt;
        }
        file += signature_file::FormatLine(line) + "\n";
    }
    if (file.size() > kMaxSignatureFileBytes) {
        error = "the signatures of " + std::to_string(keys.size()) +
                " keys exceed the signature file's " + std::to_string(kMaxSignatureFileBytes) +
                " bytes";
        return std::nullopt;
    }
    return file;
}

bool ParseSignatureFile(std::string_view bytes, std::vector<signature_file::Line>& lines,
                        std::string& error) {
    signature_file::ParseResult result = signature_file::Parse(bytes);
    lines = std::move(result.Lines);
    switch (result.Status) {
    case signature_file::ParseStatus::Ok:
        if (!lines.empty()) {
            return true;
        }
        error = "the signature file holds no signature";
        return false;
    case signature_file::ParseStatus::Oversized:
        error = "the signature file is larger than " + std::to_string(kMaxSignatureFileBytes) +
                " bytes";
        return false;
    case signature_file::ParseStatus::NotText:
        error = "the signature file is not ASCII text";
        return false;
    default:
        error = "line " + std::to_string(result.LineNumber) + " of the signature file is not \"" +
                std::string(signature_file::kAlgorithm) + " <key id> <signature>\"";
        return false;
    }
}

std::optional<std::string> VerifyManifest(std::string_view manifest,
                                          const std::vector<signature_file::Line>& lines,
                                          const std::vector<P256PublicKey>& trusted) {
    const Sha256Digest digest = Sha256Of(manifest.data(), manifest.size());
    for (const P256PublicKey& key : trusted) {
        const signature_file::KeyIdBytes id = KeyIdBytes(key);
        for (const signature_file::Line& line : lines) {
            if (line.KeyId == id && VerifyP256(key, digest, line.Signature)) {
                return signature_file::FormatKeyId(id);
            }
        }
    }
    return std::nullopt;
}

} // namespace publish
