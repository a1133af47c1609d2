#include "manifest/ManifestSignature.h"

#include "ManifestKeys.h"

#include <algorithm>

namespace {

ManifestCheck CheckDigest(const std::optional<Sha256Digest>& manifestDigest,
                          std::string_view signatureFile,
                          std::span<const signature_file::PublicKey> trustedKeys) {
    signature_file::ParseResult parsed = signature_file::Parse(signatureFile);
    switch (parsed.Status) {
    case signature_file::ParseStatus::Ok:
        break;
    case signature_file::ParseStatus::Oversized:
        return {ManifestVerdict::SignatureOversized, {}};
    default:
        return {ManifestVerdict::SignatureMalformed, signature_file::Describe(parsed)};
    }
    if (parsed.Lines.empty())
        return {ManifestVerdict::SignatureMissing, {}};
    if (!manifestDigest)
        return {ManifestVerdict::Unreadable, {}};

    bool namedTrustedKey = false;
    for (const signature_file::PublicKey& key : trustedKeys) {
        std::optional<signature_file::KeyIdBytes> id = ManifestKeyId(key);
        if (!id)
            return {ManifestVerdict::Unreadable, {}};
        for (const signature_file::Line& line : parsed.Lines) {
            if (line.KeyId != *id)
                continue;
            namedTrustedKey = true;
            if (VerifyEcdsaP256(key, *manifestDigest, line.Signature))
                return {ManifestVerdict::Verified, signature_file::FormatKeyId(*id)};
        }
    }
    return {namedTrustedKey ? ManifestVerdict::SignatureInvalid : ManifestVerdict::NoTrustedKey,
            {}};
}

// The file's first `limit` bytes at most; nothing when it cannot be opened or read.
std::optional<std::string> ReadAtMost(const std::wstring& path, size_t limit) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    std::string bytes(limit, '\0');
    size_t filled = 0;
    while (filled < limit) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), bytes.data() + filled, static_cast<DWORD>(limit - filled),
                        &read, nullptr))
            return std::nullopt;
        if (read == 0)
            break;
        filled += read;
    }
    bytes.resize(filled);
    return bytes;
}

} // namespace

ManifestCheck CheckManifestSignature(std::string_view manifest, std::string_view signatureFile,
                                     std::span<const signature_file::PublicKey> trustedKeys) {
    return CheckDigest(Sha256Of(manifest), signatureFile, trustedKeys);
}

ManifestCheck CheckManifestSignatureFiles(const std::wstring& manifestPath,
                                          const std::wstring& signaturePath,
                                          std::span<const signature_file::PublicKey> trustedKeys) {
    // One byte over the limit is enough to tell an oversized file from one that fits.
    std::optional<std::string> signatureFile =
        ReadAtMost(signaturePath, signature_file::kMaxSize + 1);
    if (!signatureFile)
        return {ManifestVerdict::SignatureMissing, {}};
    return CheckDigest(Sha256OfFile(manifestPath), *signatureFile, trustedKeys);
}

std::optional<signature_file::KeyIdBytes> ManifestKeyId(const signature_file::PublicKey& key) {
    std::optional<Sha256Digest> digest =
        Sha256Of({reinterpret_cast<const char*>(key.data()), key.size()});
    if (!digest)
        return std::nullopt;
    signature_file::KeyIdBytes id{};
    std::copy_n(digest->begin(), id.size(), id.begin());
    return id;
}

const std::vector<signature_file::PublicKey>& TrustedManifestKeys() {
    // The build checked each key's form when it wrote them here, so none is dropped in practice;
    // a key that still fails to parse is left out rather than trusted in some other reading.
    static const std::vector<signature_file::PublicKey> keys = [] {
        std::vector<signature_file::PublicKey> parsed;
        for (std::string_view pem : kTrustedManifestKeyPems) {
            if (std::optional<signature_file::PublicKey> key =
                    signature_file::ParsePublicKeyPem(pem))
                parsed.push_back(*key);
        }
        return parsed;
    }();
    return keys;
}

bool ManifestSignaturesRequired() {
    return kManifestSignaturesRequired;
}

const char* ManifestVerdictName(ManifestVerdict verdict) {
    switch (verdict) {
    case ManifestVerdict::Verified:
        return "verified";
    case ManifestVerdict::SignatureMissing:
        return "signature missing";
    case ManifestVerdict::SignatureOversized:
        return "signature file oversized";
    case ManifestVerdict::SignatureMalformed:
        return "signature file malformed";
    case ManifestVerdict::NoTrustedKey:
        return "no signature by a trusted key";
    case ManifestVerdict::SignatureInvalid:
        return "signature does not verify";
    case ManifestVerdict::Unreadable:
        return "manifest unreadable";
    }
    return "unknown";
}
