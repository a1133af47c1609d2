#include "publish/SignatureFile.h"

#include "publish/Base64.h"
#include "publish/KeyFile.h"

namespace publish {

namespace {

constexpr std::string_view kAlgorithm = "ecdsa-p256-sha256";
constexpr size_t kKeyIdLength = 16;
constexpr size_t kSignatureBase64Length = 88;

bool IsKeyId(std::string_view text) {
    if (text.size() != kKeyIdLength)
        return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

bool ParseLine(std::string_view line, SignatureLine& parsed) {
    const size_t first = line.find(' ');
    const size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos || line.substr(0, first) != kAlgorithm)
        return false;
    const std::string_view id = line.substr(first + 1, second - first - 1);
    const std::string_view signature = line.substr(second + 1);
    if (!IsKeyId(id) || signature.size() != kSignatureBase64Length)
        return false;
    auto bytes = DecodeBase64(signature);
    if (!bytes || bytes->size() != parsed.Signature.size())
        return false;
    parsed.KeyId = id;
    std::copy(bytes->begin(), bytes->end(), parsed.Signature.begin());
    return true;
}

} // namespace

std::optional<std::string> SignManifest(std::string_view manifest,
                                        const std::vector<P256PrivateKey>& keys,
                                        std::string& error) {
    const Sha256Digest digest = Sha256Of(manifest.data(), manifest.size());
    std::string file;
    for (const P256PrivateKey& key : keys) {
        P256Signature signature;
        if (!SignP256(key, digest, signature, error))
            return std::nullopt;
        // A key file whose public half does not belong to its private scalar would sign
        // manifests that no client accepts under the id written here.
        const std::string id = KeyId(key.Public);
        if (!VerifyP256(key.Public, digest, signature)) {
            error = "key " + id +
                    ": the signature does not verify with the key's own public "
                    "half; the key file is damaged";
            return std::nullopt;
        }
        file += std::string(kAlgorithm) + " " + id + " " +
                EncodeBase64(signature.data(), signature.size()) + "\n";
    }
    if (file.size() > kMaxSignatureFileBytes) {
        error = "the signatures of " + std::to_string(keys.size()) +
                " keys exceed the signature file's " + std::to_string(kMaxSignatureFileBytes) +
                " bytes";
        return std::nullopt;
    }
    return file;
}

bool ParseSignatureFile(std::string_view bytes, std::vector<SignatureLine>& lines,
                        std::string& error) {
    lines.clear();
    if (bytes.size() > kMaxSignatureFileBytes) {
        error = "the signature file is larger than " + std::to_string(kMaxSignatureFileBytes) +
                " bytes";
        return false;
    }
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) > 0x7E || (c < 0x20 && c != '\n' && c != '\r')) {
            error = "the signature file is not ASCII text";
            return false;
        }
    }
    size_t number = 0;
    while (!bytes.empty()) {
        ++number;
        const size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        SignatureLine parsed;
        if (!ParseLine(line, parsed)) {
            error = "line " + std::to_string(number) + " of the signature file is not \"" +
                    std::string(kAlgorithm) + " <key id> <signature>\"";
            lines.clear();
            return false;
        }
        lines.push_back(std::move(parsed));
    }
    if (lines.empty()) {
        error = "the signature file holds no signature";
        return false;
    }
    return true;
}

std::optional<std::string> VerifyManifest(std::string_view manifest,
                                          const std::vector<SignatureLine>& lines,
                                          const std::vector<P256PublicKey>& trusted) {
    const Sha256Digest digest = Sha256Of(manifest.data(), manifest.size());
    for (const P256PublicKey& key : trusted) {
        const std::string id = KeyId(key);
        for (const SignatureLine& line : lines) {
            if (line.KeyId == id && VerifyP256(key, digest, line.Signature))
                return id;
        }
    }
    return std::nullopt;
}

} // namespace publish
