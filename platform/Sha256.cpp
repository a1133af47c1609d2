#include "Sha256.h"

#include <climits>
#include <vector>

Sha256::Sha256() {
    if (!CngSucceeded(
            ::BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
        algorithm_.reset();
        return;
    }
    // Since Windows 7 CNG allocates the hash object itself when given no buffer.
    if (!CngSucceeded(::BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0)))
        hash_.reset();
}

void Sha256::Update(const void* data, size_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (hash_ && size > 0) {
        // BCryptHashData counts in ULONG: feed a 64-bit caller's larger buffers in parts.
        ULONG piece = size > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(size);
        if (!CngSucceeded(::BCryptHashData(hash_.get(), const_cast<PUCHAR>(bytes), piece, 0)))
            hash_.reset();
        bytes += piece;
        size -= piece;
    }
}

std::optional<Sha256Digest> Sha256::Finish() {
    if (!hash_)
        return std::nullopt;
    Sha256Digest digest{};
    NTSTATUS status = ::BCryptFinishHash(hash_.get(), digest.data(), digest.size(), 0);
    // A finished hash object cannot take more data; dropping it makes a second Finish fail.
    hash_.reset();
    if (!CngSucceeded(status))
        return std::nullopt;
    return digest;
}

std::optional<Sha256Digest> Sha256Of(std::string_view bytes) {
    Sha256 hasher;
    hasher.Update(bytes);
    return hasher.Finish();
}

std::optional<Sha256Digest> Sha256OfFile(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return std::nullopt;
    // 64 KiB pieces: large enough that the per-call cost vanishes, small enough for any stack
    // of callers (the buffer is on the heap anyway).
    std::vector<uint8_t> buffer(64 * 1024);
    Sha256 hasher;
    for (;;) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read,
                        nullptr))
            return std::nullopt;
        if (read == 0)
            break;
        hasher.Update(buffer.data(), read);
    }
    return hasher.Finish();
}

std::wstring FormatSha256(const Sha256Digest& digest) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(digest.size() * 2);
    for (uint8_t byte : digest) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

namespace {
int LowerHexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}
} // namespace

std::optional<Sha256Digest> ParseSha256(std::wstring_view text) {
    Sha256Digest digest{};
    if (text.size() != digest.size() * 2)
        return std::nullopt;
    for (size_t i = 0; i < digest.size(); ++i) {
        int high = LowerHexValue(text[2 * i]);
        int low = LowerHexValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        digest[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return digest;
}
