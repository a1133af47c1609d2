#pragma once
// Owners for the CNG (bcrypt.dll) handles that hashing and signature checks hold. Apart from
// UniqueHandle.h so that only the code that links bcrypt sees these declarations.

#include "platform/UniqueHandle.h"

#include <bcrypt.h>

namespace handle_traits {
struct CngAlgorithm {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { ::BCryptCloseAlgorithmProvider(h, 0); }
};
struct CngHash {
    using Type = BCRYPT_HASH_HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { ::BCryptDestroyHash(h); }
};
struct CngKey {
    using Type = BCRYPT_KEY_HANDLE;
    static Type Empty() { return nullptr; }
    static void Close(Type h) { ::BCryptDestroyKey(h); }
};
} // namespace handle_traits

using UniqueCngAlgorithm = UniqueAny<handle_traits::CngAlgorithm>; // BCryptOpenAlgorithmProvider
using UniqueCngHash = UniqueAny<handle_traits::CngHash>;           // BCryptCreateHash
using UniqueCngKey = UniqueAny<handle_traits::CngKey>;             // BCryptImportKeyPair

// CNG reports NTSTATUS values: success and information codes are not negative.
inline bool CngSucceeded(NTSTATUS status) {
    return status >= 0;
}
