#pragma once
// Whether a downloaded manifest is the one its publisher signed: the signature file served beside
// it must hold a line by a key this updater trusts that verifies over the manifest's exact bytes.

#include "manifest/SignatureFile.h"
#include "platform/EcdsaP256.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

enum class ManifestVerdict {
    Verified,
    SignatureMissing,   // no signature file, or one without a signature line
    SignatureOversized, // more than signature_file::kMaxSize bytes
    SignatureMalformed, // not in the signature-file format
    NoTrustedKey,       // no line names a key this updater trusts
    SignatureInvalid,   // lines name a trusted key, but none verifies over the manifest
    Unreadable,         // the downloaded manifest could not be read (or CNG failed)
};

struct ManifestCheck {
    ManifestVerdict Verdict = ManifestVerdict::SignatureMissing;
    // ASCII detail for logs: the problem's line for a malformed file, the key id that verified
    // for a verified one; otherwise empty.
    std::string Detail;
};

// The decision over bytes in memory. A manifest is verified when one line of the signature file
// verifies with a trusted key; the other lines do not matter (they may be by keys this updater
// does not know yet, or no longer trusts).
ManifestCheck CheckManifestSignature(std::string_view manifest, std::string_view signatureFile,
                                     std::span<const signature_file::PublicKey> trustedKeys);

// The same decision over the two downloaded files. The manifest is hashed from its file, so the
// bytes checked are the bytes the manifest reader will load from it; a signature file that
// cannot be opened counts as missing, and no more than one byte over the limit is read of it.
ManifestCheck CheckManifestSignatureFiles(const std::wstring& manifestPath,
                                          const std::wstring& signaturePath,
                                          std::span<const signature_file::PublicKey> trustedKeys);

// The first 8 bytes of SHA-256 over the key's X||Y; nothing when CNG fails.
std::optional<signature_file::KeyIdBytes> ManifestKeyId(const signature_file::PublicKey& key);

// The public keys compiled into this updater (the REFRESHOR_MANIFEST_KEYS build setting), in
// the order given there.
const std::vector<signature_file::PublicKey>& TrustedManifestKeys();

// False only for an updater built with REFRESHOR_MANIFEST_KEYS=NONE, which loads manifests
// without any signature, as updaters before signing did.
bool ManifestSignaturesRequired();

// A short English name of the verdict, for logs ("signature missing", ...).
const char* ManifestVerdictName(ManifestVerdict verdict);
