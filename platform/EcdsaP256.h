#pragma once
// ECDSA signature checks on the NIST P-256 curve, over the platform's own implementation (CNG).

#include "platform/Sha256.h"

#include <array>
#include <cstdint>

// A public key as its two coordinates, X then Y, each 32 bytes big-endian (the uncompressed
// point without its 0x04 lead byte).
using EcP256PublicKey = std::array<uint8_t, 64>;
// A signature as r then s, each 32 bytes big-endian.
using EcP256Signature = std::array<uint8_t, 64>;

// True only when `signature` is a valid signature of `digest` by the holder of `key`. A key
// that CNG refuses (not a point of the curve) or any other failure counts as not valid.
bool VerifyEcdsaP256(const EcP256PublicKey& key, const Sha256Digest& digest,
                     const EcP256Signature& signature);
