#include "publish/Crypto.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>

#include <new>

namespace publish {

namespace {

template <typename T, void (*Free)(T*)> struct Deleter {
    void operator()(T* p) const { Free(p); }
};
template <typename T, void (*Free)(T*)> using Owned = std::unique_ptr<T, Deleter<T, Free>>;
using OwnedKey = Owned<EVP_PKEY, EVP_PKEY_free>;
using OwnedKeyContext = Owned<EVP_PKEY_CTX, EVP_PKEY_CTX_free>;
using OwnedNumber = Owned<BIGNUM, BN_free>;
using OwnedSignature = Owned<ECDSA_SIG, ECDSA_SIG_free>;
using OwnedBuilder = Owned<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>;
using OwnedParams = Owned<OSSL_PARAM, OSSL_PARAM_free>;

// A P-256 key from its raw numbers; `d` null for a public key alone. OpenSSL checks that the
// point lies on the curve.
OwnedKey KeyFromRaw(const P256PublicKey& publicKey, const uint8_t* d) {
    uint8_t point[65] = {0x04};
    std::copy(publicKey.XY.begin(), publicKey.XY.end(), point + 1);
    OwnedBuilder builder(OSSL_PARAM_BLD_new());
    OwnedNumber scalar(d ? BN_bin2bn(d, 32, nullptr) : nullptr);
    if (!builder || (d && !scalar) ||
        !OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1",
                                         0) ||
        !OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, point,
                                          sizeof point) ||
        (d && !OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_PRIV_KEY, scalar.get())))
        return nullptr;
    OwnedParams params(OSSL_PARAM_BLD_to_param(builder.get()));
    OwnedKeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
        EVP_PKEY_fromdata(context.get(), &key, d ? EVP_PKEY_KEYPAIR : EVP_PKEY_PUBLIC_KEY,
                          params.get()) != 1)
        return nullptr;
    return OwnedKey(key);
}

} // namespace

struct Sha256Hasher::State {
    Owned<EVP_MD_CTX, EVP_MD_CTX_free> Context{EVP_MD_CTX_new()};
};

Sha256Hasher::Sha256Hasher() : state_(std::make_unique<State>()) {
    if (!state_->Context || EVP_DigestInit_ex(state_->Context.get(), EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc();
}

Sha256Hasher::~Sha256Hasher() = default;

void Sha256Hasher::Update(const void* data, size_t length) {
    EVP_DigestUpdate(state_->Context.get(), data, length);
}

Sha256Digest Sha256Hasher::Finish() {
    Sha256Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(state_->Context.get(), digest.data(), &length);
    return digest;
}

bool GenerateP256Key(P256PrivateKey& key, std::string& error) {
    OwnedKey generated(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
    BIGNUM* d = nullptr;
    uint8_t point[65];
    size_t pointLength = 0;
    if (!generated || EVP_PKEY_get_bn_param(generated.get(), OSSL_PKEY_PARAM_PRIV_KEY, &d) != 1) {
        error = "OpenSSL could not make a P-256 key";
        return false;
    }
    OwnedNumber scalar(d);
    if (BN_bn2binpad(scalar.get(), key.D.data(), static_cast<int>(key.D.size())) < 0 ||
        EVP_PKEY_get_octet_string_param(generated.get(), OSSL_PKEY_PARAM_PUB_KEY, point,
                                        sizeof point, &pointLength) != 1 ||
        pointLength != sizeof point || point[0] != 0x04) {
        error = "OpenSSL gave the new key in an unexpected form";
        return false;
    }
    std::copy(point + 1, point + sizeof point, key.Public.XY.begin());
    return true;
}

bool SignP256(const P256PrivateKey& key, const Sha256Digest& digest, P256Signature& signature,
              std::string& error) {
    OwnedKey pkey = KeyFromRaw(key.Public, key.D.data());
    if (!pkey) {
        error = "OpenSSL does not take the key (its public point is not on P-256)";
        return false;
    }
    OwnedKeyContext context(EVP_PKEY_CTX_new(pkey.get(), nullptr));
    unsigned char der[80];
    size_t derLength = sizeof der;
    if (!context || EVP_PKEY_sign_init(context.get()) != 1 ||
        EVP_PKEY_sign(context.get(), der, &derLength, digest.data(), digest.size()) != 1) {
        error = "OpenSSL could not sign";
        return false;
    }
    // OpenSSL writes r and s as DER; the signature file carries them as two 32-byte numbers.
    const unsigned char* at = der;
    OwnedSignature parsed(d2i_ECDSA_SIG(nullptr, &at, static_cast<long>(derLength)));
    const BIGNUM *r = nullptr, *s = nullptr;
    if (parsed)
        ECDSA_SIG_get0(parsed.get(), &r, &s);
    if (!r || !s || BN_bn2binpad(r, signature.data(), 32) != 32 ||
        BN_bn2binpad(s, signature.data() + 32, 32) != 32) {
        error = "OpenSSL gave the signature in an unexpected form";
        return false;
    }
    return true;
}

bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                const P256Signature& signature) {
    OwnedKey pkey = KeyFromRaw(key, nullptr);
    OwnedSignature parsed(ECDSA_SIG_new());
    OwnedNumber r(BN_bin2bn(signature.data(), 32, nullptr));
    OwnedNumber s(BN_bin2bn(signature.data() + 32, 32, nullptr));
    if (!pkey || !parsed || !r || !s || ECDSA_SIG_set0(parsed.get(), r.get(), s.get()) != 1)
        return false;
    r.release(); // owned by `parsed` now
    s.release();
    unsigned char* der = nullptr;
    const int derLength = i2d_ECDSA_SIG(parsed.get(), &der);
    if (derLength <= 0)
        return false;
    OwnedKeyContext context(EVP_PKEY_CTX_new(pkey.get(), nullptr));
    const bool ok = context && EVP_PKEY_verify_init(context.get()) == 1 &&
                    EVP_PKEY_verify(context.get(), der, static_cast<size_t>(derLength),
                                    digest.data(), digest.size()) == 1;
    OPENSSL_free(der);
    return ok;
}

} // namespace publish
