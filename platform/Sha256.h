#pragma once
// SHA-256 over the platform's own implementation (CNG, bcrypt.dll). Only the calls that exist
// since Windows Vista are used: the one-call BCryptHash needs Windows 10.

#include "platform/CngHandles.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

using Sha256Digest = std::array<uint8_t, 32>;

// An incremental hasher: feed the bytes in as many pieces as they arrive, then Finish once.
// A failure of CNG at any step (which a working Windows never gives) is kept, and Finish then
// gives nothing, so that a caller cannot take a half-computed digest for a real one.
class Sha256 {
public:
    Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    Sha256(Sha256&&) = default;
    // No move assignment: it would close the old provider before destroying the old hash.
    Sha256& operator=(Sha256&&) = delete;

    void Update(const void* data, size_t size);
    void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }

    // The digest of everything fed in; nothing when CNG failed or Finish was called before.
    std::optional<Sha256Digest> Finish();

private:
    UniqueCngAlgorithm algorithm_;
    UniqueCngHash hash_;
};

std::optional<Sha256Digest> Sha256Of(std::string_view bytes);

// The digest of the file's contents, read in 64 KiB pieces; nothing when the file cannot be
// opened or read.
std::optional<Sha256Digest> Sha256OfFile(const std::wstring& path);

// 64 lower-case hex digits, as manifests carry digests.
std::wstring FormatSha256(const Sha256Digest& digest);

// Exactly 64 lower-case hex digits, nothing around them; anything else gives nothing.
std::optional<Sha256Digest> ParseSha256(std::wstring_view text);
