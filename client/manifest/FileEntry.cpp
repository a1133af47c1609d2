#include "manifest/FileEntry.h"

#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

#include <array>
#include <optional>
#include <vector>

namespace manifest {

namespace {

using VersionNumbers = std::array<uint32_t, 4>;

// The "%u.%u.%u.%u" form: exactly four non-empty runs of decimal digits, each fitting 32 bits.
std::optional<VersionNumbers> ParseVersionNumbers(const std::wstring& text) {
    VersionNumbers numbers{};
    size_t at = 0;
    for (size_t part = 0; part < numbers.size(); ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != L'.') {
                return std::nullopt;
            }
            ++at;
        }
        size_t digits = 0;
        uint64_t value = 0;
        while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
            value = value * 10 + static_cast<uint64_t>(text[at] - L'0');
            if (value > 0xFFFFFFFFu) {
                return std::nullopt;
            }
            ++at;
            ++digits;
        }
        if (digits == 0) {
            return std::nullopt;
        }
        numbers[part] = static_cast<uint32_t>(value);
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    return numbers;
}

} // namespace

int CompareVersions(const std::wstring& local, const std::wstring& manifest) {
    // Compared as text, 1.0.0.10 sorts before 1.0.0.9: a newer manifest version would never be
    // installed and an older one would replace a newer file. Numbers decide wherever both sides
    // are in the form the version block gives.
    std::optional<VersionNumbers> a = ParseVersionNumbers(local);
    std::optional<VersionNumbers> b = ParseVersionNumbers(manifest);
    if (a && b) {
        return *a < *b ? -1 : (*a == *b ? 0 : 1);
    }
    return CompareNoCase(local, manifest);
}

bool FileEntry::CheckNeedsUpdate() {
    {
        // Asking for read access while allowing only other readers fails for a file that anyone
        // holds open for writing; such a file is treated as out of date.
        UniqueFile file(::CreateFileW(TargetPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            NeedsUpdate = true;
            return NeedsUpdate;
        }
    }
    const std::optional<std::wstring> localVersion = ReadFileVersion(TargetPath);
    const std::optional<FILETIME> localTime = ReadLastWriteTime(TargetPath);
    if (!localVersion && !localTime) {
        return NeedsUpdate;
    }
    // What could not be read compares as empty: no version, the earliest time.
    if (FileVersion.empty()) {
        const FILETIME local = localTime.value_or(FILETIME{});
        if (::CompareFileTime(&local, &FileTime) == -1) {
            NeedsUpdate = true;
        }
    } else if (CompareVersions(localVersion.value_or(L""), FileVersion) < 0) {
        NeedsUpdate = true;
    }
    return NeedsUpdate;
}

std::optional<std::wstring> ReadFileVersion(const std::wstring& path) {
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) {
        return std::nullopt;
    }
    std::vector<BYTE> buffer(size);
    void* root = nullptr;
    UINT rootSize = 0;
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, buffer.data()) ||
        !::VerQueryValueW(buffer.data(), L"\\", &root, &rootSize)) {
        return std::nullopt;
    }
    // A damaged resource can declare a root block shorter than the structure; reading all of it
    // would run past the buffer.
    if (!root || rootSize < sizeof(VS_FIXEDFILEINFO)) {
        return std::nullopt;
    }
    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(root);
    return FormatW(L"%u.%u.%u.%u", HIWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionMS),
                   HIWORD(fixed.dwFileVersionLS), LOWORD(fixed.dwFileVersionLS));
}

std::optional<FILETIME> ReadLastWriteTime(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME lastWrite{};
    if (!file || !::GetFileTime(file.get(), nullptr, nullptr, &lastWrite)) {
        return std::nullopt;
    }
    return lastWrite;
}

} // namespace manifest
