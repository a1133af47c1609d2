#pragma once
// Signs manifests the way the publisher does (a signature-file line by a P-256 key, over the
// manifest's exact bytes), with CNG, so that tests can publish signed releases: by the demo key,
// which a default build trusts, or by a fresh key that nobody trusts.

#include "platform/CngHandles.h"
#include "platform/EcdsaP256.h"

#include <string>
#include <string_view>

namespace testsupport {

class ManifestSigner {
public:
    // The key of keys/demo-manifest-key.pem.
    static ManifestSigner Demo();
    // A key made for this signer alone.
    static ManifestSigner Fresh();

    // One line of a signature file ("ecdsa-p256-sha256 <key id> <base64>\n"); empty when CNG
    // failed.
    std::string SignatureLine(std::string_view manifest) const;

private:
    UniqueCngAlgorithm algorithm_;
    UniqueCngKey key_;
    EcP256PublicKey public_{};
};

} // namespace testsupport
