#include "EcdsaP256.h"

#include <cstring>

bool VerifyEcdsaP256(const EcP256PublicKey& key, const Sha256Digest& digest,
                     const EcP256Signature& signature) {
    UniqueCngAlgorithm algorithm;
    if (!CngSucceeded(::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM,
                                                    nullptr, 0)))
        return false;

    // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
    std::array<uint8_t, sizeof(BCRYPT_ECCKEY_BLOB) + std::tuple_size_v<EcP256PublicKey>> blob{};
    BCRYPT_ECCKEY_BLOB header{};
    header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header.cbKey = 32;
    std::memcpy(blob.data(), &header, sizeof(header));
    std::memcpy(blob.data() + sizeof(header), key.data(), key.size());

    UniqueCngKey publicKey;
    if (!CngSucceeded(::BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                            publicKey.put(), blob.data(), blob.size(), 0)))
        return false;

    // The API takes non-const pointers but only reads the hash and the signature.
    NTSTATUS status = ::BCryptVerifySignature(
        publicKey.get(), nullptr, const_cast<PUCHAR>(digest.data()), digest.size(),
        const_cast<PUCHAR>(signature.data()), signature.size(), 0);
    return status == 0;
}
