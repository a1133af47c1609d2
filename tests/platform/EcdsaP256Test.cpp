#include "platform/EcdsaP256.h"

#include "support/SigningVectors.h"

#include <gtest/gtest.h>

using namespace signing_vectors;

namespace {

Sha256Digest ManifestDigest() {
    std::optional<Sha256Digest> digest = Sha256Of(kManifest);
    EXPECT_TRUE(digest);
    return digest.value_or(Sha256Digest{});
}

} // namespace

TEST(EcdsaP256, AGoodSignatureVerifies) {
    EXPECT_TRUE(VerifyEcdsaP256(kDemoKey, ManifestDigest(), kDemoSignature));
}

TEST(EcdsaP256, AnyChangeOfSignatureDigestOrKeyIsRefused) {
    const Sha256Digest digest = ManifestDigest();
    for (size_t bit : {0u, 255u, 256u, 511u}) { // first and last bits of r and of s
        EcP256Signature signature = kDemoSignature;
        signature[bit / 8] ^= static_cast<uint8_t>(0x80 >> bit % 8);
        EXPECT_FALSE(VerifyEcdsaP256(kDemoKey, digest, signature)) << bit;
    }
    Sha256Digest changed = digest;
    changed[31] ^= 1;
    EXPECT_FALSE(VerifyEcdsaP256(kDemoKey, changed, kDemoSignature));
    EXPECT_FALSE(VerifyEcdsaP256(kOtherKey, digest, kDemoSignature));
}

TEST(EcdsaP256, KeysOffTheCurveAndEmptySignaturesAreRefused) {
    const Sha256Digest digest = ManifestDigest();
    EcP256PublicKey offCurve = kDemoKey;
    offCurve[63] ^= 1;
    EXPECT_FALSE(VerifyEcdsaP256(offCurve, digest, kDemoSignature));
    EXPECT_FALSE(VerifyEcdsaP256(EcP256PublicKey{}, digest, kDemoSignature));
    EXPECT_FALSE(VerifyEcdsaP256(kDemoKey, digest, EcP256Signature{}));
}
