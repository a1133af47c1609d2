#include "publish/Crypto.h"

#include <windows.h>

#include <bcrypt.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace publish {

namespace {

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

std::string StatusText(const char* what, NTSTATUS status) {
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (NTSTATUS 0x%08lX)", what,
                  static_cast<unsigned long>(status));
    return text;
}

// Providers are opened once and kept for the life of the process: opening one is far dearer
// than a hash, and the tool hashes every file of a release.
BCRYPT_ALG_HANDLE Provider(const wchar_t* algorithm) {
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!Succeeded(::BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, 0)))
        return nullptr;
    return handle;
}
BCRYPT_ALG_HANDLE Sha256Provider() {
    static const BCRYPT_ALG_HANDLE provider = Provider(BCRYPT_SHA256_ALGORITHM);
    return provider;
}
BCRYPT_ALG_HANDLE EcdsaProvider() {
    static const BCRYPT_ALG_HANDLE provider = Provider(BCRYPT_ECDSA_P256_ALGORITHM);
    return provider;
}

class KeyHandle {
public:
    KeyHandle() = default;
    ~KeyHandle() {
        if (handle_)
            ::BCryptDestroyKey(handle_);
    }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    BCRYPT_KEY_HANDLE* Put() { return &handle_; }
    BCRYPT_KEY_HANDLE Get() const { return handle_; }

private:
    BCRYPT_KEY_HANDLE handle_ = nullptr;
};

// BCRYPT_ECCKEY_BLOB followed by X, Y and (for a private blob) d.
std::vector<uint8_t> KeyBlob(ULONG magic, const P256PublicKey& key, const uint8_t* d) {
    BCRYPT_ECCKEY_BLOB head{magic, 32};
    std::vector<uint8_t> blob(sizeof head + key.XY.size() + (d ? 32 : 0));
    std::memcpy(blob.data(), &head, sizeof head);
    std::memcpy(blob.data() + sizeof head, key.XY.data(), key.XY.size());
    if (d)
        std::memcpy(blob.data() + sizeof head + key.XY.size(), d, 32);
    return blob;
}

NTSTATUS Import(const wchar_t* type, std::vector<uint8_t>& blob, KeyHandle& key) {
    BCRYPT_ALG_HANDLE provider = EcdsaProvider();
    if (!provider)
        return static_cast<NTSTATUS>(0xC0000225L); // STATUS_NOT_FOUND
    return ::BCryptImportKeyPair(provider, nullptr, type, key.Put(), blob.data(),
                                 static_cast<ULONG>(blob.size()), 0);
}

} // namespace

struct Sha256Hasher::State {
    BCRYPT_HASH_HANDLE Hash = nullptr;
    ~State() {
        if (Hash)
            ::BCryptDestroyHash(Hash);
    }
};

// BCryptCreateHash/HashData/FinishHash rather than the one-call BCryptHash, which Windows has
// only from Windows 10 on.
Sha256Hasher::Sha256Hasher() : state_(std::make_unique<State>()) {
    BCRYPT_ALG_HANDLE provider = Sha256Provider();
    if (!provider ||
        !Succeeded(::BCryptCreateHash(provider, &state_->Hash, nullptr, 0, nullptr, 0, 0)))
        throw std::bad_alloc();
}

Sha256Hasher::~Sha256Hasher() = default;

void Sha256Hasher::Update(const void* data, size_t length) {
    auto* bytes = static_cast<PUCHAR>(const_cast<void*>(data));
    while (length > 0) {
        const ULONG piece = length > 0x40000000u ? 0x40000000u : static_cast<ULONG>(length);
        ::BCryptHashData(state_->Hash, bytes, piece, 0);
        bytes += piece;
        length -= piece;
    }
}

Sha256Digest Sha256Hasher::Finish() {
    Sha256Digest digest{};
    ::BCryptFinishHash(state_->Hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
    return digest;
}

bool GenerateP256Key(P256PrivateKey& key, std::string& error) {
    BCRYPT_ALG_HANDLE provider = EcdsaProvider();
    if (!provider) {
        error = "CNG has no ECDSA P-256 provider";
        return false;
    }
    KeyHandle generated;
    NTSTATUS status = ::BCryptGenerateKeyPair(provider, generated.Put(), 256, 0);
    if (Succeeded(status))
        status = ::BCryptFinalizeKeyPair(generated.Get(), 0);
    if (!Succeeded(status)) {
        error = StatusText("BCryptGenerateKeyPair", status);
        return false;
    }
    std::vector<uint8_t> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 96);
    ULONG written = 0;
    status = ::BCryptExportKey(generated.Get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, blob.data(),
                               static_cast<ULONG>(blob.size()), &written, 0);
    if (!Succeeded(status) || written != blob.size()) {
        error = StatusText("BCryptExportKey", status);
        return false;
    }
    const uint8_t* at = blob.data() + sizeof(BCRYPT_ECCKEY_BLOB);
    std::memcpy(key.Public.XY.data(), at, 64);
    std::memcpy(key.D.data(), at + 64, 32);
    return true;
}

bool SignP256(const P256PrivateKey& key, const Sha256Digest& digest, P256Signature& signature,
              std::string& error) {
    std::vector<uint8_t> blob = KeyBlob(BCRYPT_ECDSA_PRIVATE_P256_MAGIC, key.Public, key.D.data());
    KeyHandle imported;
    NTSTATUS status = Import(BCRYPT_ECCPRIVATE_BLOB, blob, imported);
    SecureZeroMemory(blob.data(), blob.size());
    if (!Succeeded(status)) {
        error = StatusText("BCryptImportKeyPair", status);
        return false;
    }
    ULONG written = 0;
    status = ::BCryptSignHash(imported.Get(), nullptr, const_cast<PUCHAR>(digest.data()),
                              static_cast<ULONG>(digest.size()), signature.data(),
                              static_cast<ULONG>(signature.size()), &written, 0);
    if (!Succeeded(status) || written != signature.size()) {
        error = StatusText("BCryptSignHash", status);
        return false;
    }
    return true;
}

bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                const P256Signature& signature) {
    std::vector<uint8_t> blob = KeyBlob(BCRYPT_ECDSA_PUBLIC_P256_MAGIC, key, nullptr);
    KeyHandle imported;
    if (!Succeeded(Import(BCRYPT_ECCPUBLIC_BLOB, blob, imported)))
        return false;
    return ::BCryptVerifySignature(imported.Get(), nullptr, const_cast<PUCHAR>(digest.data()),
                                   static_cast<ULONG>(digest.size()),
                                   const_cast<PUCHAR>(signature.data()),
                                   static_cast<ULONG>(signature.size()), 0) == 0;
}

} // namespace publish
