#include "support/ManifestSigner.h"

#include "manifest/SignatureFile.h"
#include "support/SigningVectors.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace testsupport {

namespace {

// BCRYPT_ECCPRIVATE_BLOB: the header, then X, Y and the private scalar.
std::vector<uint8_t> PrivateBlob(const EcP256PublicKey& xy, const std::array<uint8_t, 32>& d) {
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PRIVATE_P256_MAGIC, 32};
    std::vector<uint8_t> blob(sizeof(header) + xy.size() + d.size());
    std::memcpy(blob.data(), &header, sizeof(header));
    std::memcpy(blob.data() + sizeof(header), xy.data(), xy.size());
    std::memcpy(blob.data() + sizeof(header) + xy.size(), d.data(), d.size());
    return blob;
}

} // namespace

ManifestSigner ManifestSigner::Demo() {
    ManifestSigner signer;
    signer.public_ = signing_vectors::kDemoKey;
    std::vector<uint8_t> blob = PrivateBlob(signer.public_, signing_vectors::kDemoPrivateScalar);
    if (CngSucceeded(::BCryptOpenAlgorithmProvider(signer.algorithm_.put(),
                                                   BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
        ::BCryptImportKeyPair(signer.algorithm_.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB,
                              signer.key_.put(), blob.data(), static_cast<ULONG>(blob.size()), 0);
    }
    return signer;
}

ManifestSigner ManifestSigner::Fresh() {
    ManifestSigner signer;
    if (!CngSucceeded(::BCryptOpenAlgorithmProvider(signer.algorithm_.put(),
                                                    BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)) ||
        !CngSucceeded(
            ::BCryptGenerateKeyPair(signer.algorithm_.get(), signer.key_.put(), 256, 0)) ||
        !CngSucceeded(::BCryptFinalizeKeyPair(signer.key_.get(), 0))) {
        signer.key_.reset();
        return signer;
    }
    std::array<uint8_t, sizeof(BCRYPT_ECCKEY_BLOB) + 64> blob{};
    ULONG written = 0;
    if (CngSucceeded(::BCryptExportKey(signer.key_.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                       blob.data(), blob.size(), &written, 0))) {
        std::copy_n(blob.begin() + sizeof(BCRYPT_ECCKEY_BLOB), 64, signer.public_.begin());
    }
    return signer;
}

std::string ManifestSigner::SignatureLine(std::string_view manifest) const {
    std::optional<Sha256Digest> digest = Sha256Of(manifest);
    std::optional<Sha256Digest> keyDigest =
        Sha256Of({reinterpret_cast<const char*>(public_.data()), public_.size()});
    if (!key_ || !digest || !keyDigest) {
        return {};
    }
    signature_file::Line line;
    ULONG written = 0;
    if (!CngSucceeded(::BCryptSignHash(key_.get(), nullptr, digest->data(), digest->size(),
                                       line.Signature.data(), line.Signature.size(), &written,
                                       0)) ||
        written != line.Signature.size()) {
        return {};
    }
    std::copy_n(keyDigest->begin(), line.KeyId.size(), line.KeyId.begin());
    return signature_file::FormatLine(line) + "\n";
}

} // namespace testsupport
