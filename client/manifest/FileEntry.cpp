#include "manifest/FileEntry.h"

#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

#include <array>
#include <new>
#include <optional>
#include <utility>
#include <vector>

FileEntry::FileEntry(std::wstring targetPath) : TargetPath(std::move(targetPath)) {}

HRESULT ResultFromWindowsError(DWORD error) {
    if (static_cast<LONG>(error) < 0)
        return static_cast<HRESULT>(error);
    if (error == 0)
        return E_FAIL;
    return static_cast<HRESULT>(0x80070000u | (error & 0xFFFFu));
}

static HRESULT ResultFromLastError() {
    return ResultFromWindowsError(::GetLastError());
}

namespace {

using VersionNumbers = std::array<uint32_t, 4>;

// The "%u.%u.%u.%u" form: exactly four non-empty runs of decimal digits, each fitting 32 bits.
std::optional<VersionNumbers> ParseVersionNumbers(const std::wstring& text) {
    VersionNumbers numbers{};
    size_t at = 0;
    for (size_t part = 0; part < numbers.size(); ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != L'.')
                return std::nullopt;
            ++at;
        }
        size_t digits = 0;
        uint64_t value = 0;
        while (at < text.size() && text[at] >= L'0' && text[at] <= L'9') {
            value = value * 10 + static_cast<uint64_t>(text[at] - L'0');
            if (value > 0xFFFFFFFFu)
                return std::nullopt;
            ++at;
            ++digits;
        }
        if (digits == 0)
            return std::nullopt;
        numbers[part] = static_cast<uint32_t>(value);
    }
    if (at != text.size())
        return std::nullopt;
    return numbers;
}

} // namespace

int CompareVersions(const std::wstring& local, const std::wstring& manifest) {
    // Compared as text, 1.0.0.10 sorts before 1.0.0.9: a newer manifest version would never be
    // installed and an older one would replace a newer file. Numbers decide wherever both sides
    // are in the form the version block gives.
    std::optional<VersionNumbers> a = ParseVersionNumbers(local);
    std::optional<VersionNumbers> b = ParseVersionNumbers(manifest);
    if (a && b)
        return *a < *b ? -1 : (*a == *b ? 0 : 1);
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

    std::optional<FileEntry> probe;
    try {
        probe.emplace(TargetPath);
    } catch (const std::bad_alloc&) {
        return NeedsUpdate;
    }
    if (!probe->ReadLocalInfo())
        return NeedsUpdate;

    if (FileVersion.empty()) {
        if (::CompareFileTime(&probe->FileTime, &FileTime) == -1)
            NeedsUpdate = true;
    } else if (CompareVersions(probe->FileVersion, FileVersion) < 0) {
        NeedsUpdate = true;
    }
    return NeedsUpdate;
}

bool FileEntry::ReadLocalInfo() {
    if (TargetPath.empty())
        return false;

    bool versionRead = false;
    UniqueFile file(::CreateFileW(TargetPath.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        LARGE_INTEGER size{};
        if (::GetFileSizeEx(file.get(), &size))
            Length = size.QuadPart;
        size_t slash = TargetPath.find_last_of(L"\\/:");
        FileName = slash == std::wstring::npos ? TargetPath : TargetPath.substr(slash + 1);
        file.reset();
        versionRead = SUCCEEDED(ReadVersionInfo(TargetPath, VersionInfo));
    }
    bool timeRead = SUCCEEDED(ReadLastWriteTime(TargetPath, FileTime));
    return versionRead || timeRead;
}

HRESULT FileEntry::ReadVersionInfo(const std::wstring& path, VS_FIXEDFILEINFO& block) {
    DWORD ignored = 0;
    DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return ResultFromLastError();
    std::vector<BYTE> buffer;
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, buffer.data()))
        return ResultFromLastError();
    void* root = nullptr;
    UINT rootSize = 0;
    if (!::VerQueryValueW(buffer.data(), L"\\", &root, &rootSize))
        return ResultFromLastError();
    // A damaged resource can declare a root block shorter than the structure; reading all of it
    // would run past the buffer.
    if (!root || rootSize < sizeof(VS_FIXEDFILEINFO))
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

    const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(root);
    std::wstring fileVersion =
        FormatW(L"%u.%u.%u.%u", HIWORD(fixed.dwFileVersionMS), LOWORD(fixed.dwFileVersionMS),
                HIWORD(fixed.dwFileVersionLS), LOWORD(fixed.dwFileVersionLS));
    std::wstring productVersion =
        FormatW(L"%u.%u.%u.%u", HIWORD(fixed.dwProductVersionMS), LOWORD(fixed.dwProductVersionMS),
                HIWORD(fixed.dwProductVersionLS), LOWORD(fixed.dwProductVersionLS));
    block = fixed;
    FileVersion = std::move(fileVersion);
    ProductVersion = std::move(productVersion);
    return S_OK;
}

HRESULT FileEntry::ReadLastWriteTime(const std::wstring& path, FILETIME& time) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return ResultFromLastError();
    FILETIME lastWrite{};
    if (!::GetFileTime(file.get(), nullptr, nullptr, &lastWrite))
        return ResultFromLastError();
    time = lastWrite;
    return S_OK;
}
