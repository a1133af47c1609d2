#pragma once
// The platform's own cryptography, behind one small interface: OpenSSL's libcrypto on Linux,
// CNG (bcrypt.dll) on Windows. Keys cross this interface as raw P-256 numbers; reading and
// writing key files is KeyFile's business, the same on both platforms.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace publish {

using Sha256Digest = std::array<uint8_t, 32>;

// X and Y of the public point, 32 bytes each, big-endian.
struct P256PublicKey {
    std::array<uint8_t, 64> XY{};
};

struct P256PrivateKey {
    std::array<uint8_t, 32> D{}; // the private scalar, big-endian
    P256PublicKey Public;
};

// r and s, 32 bytes each, big-endian.
using P256Signature = std::array<uint8_t, 64>;

class Sha256Hasher {
public:
    Sha256Hasher();
    ~Sha256Hasher();
    Sha256Hasher(const Sha256Hasher&) = delete;
    Sha256Hasher& operator=(const Sha256Hasher&) = delete;

    void Update(const void* data, size_t length);
    Sha256Digest Finish(); // once; the hasher is spent afterwards

private:
    struct State;
    std::unique_ptr<State> state_;
};

inline Sha256Digest Sha256Of(const void* data, size_t length) {
    Sha256Hasher hasher;
    hasher.Update(data, length);
    return hasher.Finish();
}

bool GenerateP256Key(P256PrivateKey& key, std::string& error);
bool SignP256(const P256PrivateKey& key, const Sha256Digest& digest, P256Signature& signature,
              std::string& error);
bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                const P256Signature& signature);

} // namespace publish
