#include "manifest/FileEntry.h"

#include "manifest/InstallIndex.h"
#include "manifest/PeVersionReader.h"
#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

#include <algorithm>
#include <array>
#include <cstring>
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

// An open file's bytes for the PE reader. The reader asks for a few small pieces, most of them in
// the first page (headers, section table), which is read once; the platform's version functions
// instead map the whole image, which under Wine costs milliseconds per file.
class HandleByteSource final : public ByteSource {
public:
    HandleByteSource(HANDLE file, uint64_t size) : file_(file), size_(size) {}

    uint64_t Size() const override { return size_; }

    bool ReadAt(uint64_t offset, void* buffer, size_t length) override {
        if (offset > size_ || length > size_ - offset) {
            return false;
        }
        if (!headRead_) {
            headRead_ = true;
            head_.resize(static_cast<size_t>(std::min<uint64_t>(size_, kHeadSize)));
            if (!ReadFromFile(0, head_.data(), head_.size())) {
                head_.clear();
            }
        }
        if (offset + length <= head_.size()) {
            std::memcpy(buffer, head_.data() + offset, length);
            return true;
        }
        return ReadFromFile(offset, buffer, length);
    }

private:
    static constexpr uint64_t kHeadSize = 4096;

    // Moves the file pointer and reads, rather than passing the offset in an OVERLAPPED: under
    // Wine a read given an OVERLAPPED asks the server whether to post a completion, a round trip
    // per read that made up most of a version probe's cost; seeking and reading stay in the
    // process.
    bool ReadFromFile(uint64_t offset, void* buffer, size_t length) {
        auto* at = static_cast<unsigned char*>(buffer);
        while (length > 0) {
            LARGE_INTEGER position{};
            position.QuadPart = static_cast<LONGLONG>(offset);
            const DWORD piece = static_cast<DWORD>(std::min<size_t>(length, 1u << 30));
            DWORD read = 0;
            if (!::SetFilePointerEx(file_, position, nullptr, FILE_BEGIN) ||
                !::ReadFile(file_, at, piece, &read, nullptr) || read == 0) {
                return false;
            }
            at += read;
            offset += read;
            length -= read;
        }
        return true;
    }

    HANDLE file_;
    uint64_t size_;
    std::vector<unsigned char> head_;
    bool headRead_ = false;
};

std::wstring FormatFileVersion(const FourPartVersion& parts) {
    return FormatW(L"%u.%u.%u.%u", parts[0], parts[1], parts[2], parts[3]);
}

// The version by the PE reader; nothing where it finds none, or where the resource comes in
// several languages (the platform picks one by the user's settings): the platform decides then.
std::optional<std::wstring> ReadPeFileVersion(HANDLE file, uint64_t size) {
    HandleByteSource source(file, size);
    const PeVersionResult result = ReadPeVersion(source);
    if (result.Status != PeVersionStatus::Found || result.Languages != 1) {
        return std::nullopt;
    }
    return FormatFileVersion(result.Version.File);
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

bool FileEntry::CheckNeedsUpdate(const InstallIndex* index) {
    // Size and time by path: under Wine this needs no round trip to the server, where opening,
    // querying and closing a handle need one each.
    InstallRecord stamp;
    const bool stamped = ReadFileStamp(TargetPath, stamp);
    // The same bytes as when they were installed and verified: the digests decide, and exactly,
    // whatever the versions and times say; the file is not even opened.
    const InstallRecord* record = stamped && index && Sha256 ? index->Find(TargetPath) : nullptr;
    if (record && record->Size == stamp.Size && record->LastWrite == stamp.LastWrite) {
        NeedsUpdate = record->Digest != *Sha256;
        return NeedsUpdate;
    }

    std::optional<FILETIME> localTime;
    std::optional<std::wstring> localVersion;
    bool askPlatform = false;
    {
        // Asking for read access while allowing only other readers fails for a file that anyone
        // holds open for writing; such a file is treated as out of date.
        UniqueFile file(::CreateFileW(TargetPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            NeedsUpdate = true;
            return NeedsUpdate;
        }
        FILETIME lastWrite{};
        if (stamped) {
            lastWrite.dwLowDateTime = static_cast<DWORD>(stamp.LastWrite);
            lastWrite.dwHighDateTime = static_cast<DWORD>(stamp.LastWrite >> 32);
            localTime = lastWrite;
        } else if (::GetFileTime(file.get(), nullptr, nullptr, &lastWrite)) {
            localTime = lastWrite;
        }
        // The version counts only where the manifest gives one, or where the time is missing
        // (a file with neither is current).
        if (!FileVersion.empty() || !localTime) {
            LARGE_INTEGER length{};
            const uint64_t size = stamped ? stamp.Size
                                  : ::GetFileSizeEx(file.get(), &length)
                                      ? static_cast<uint64_t>(length.QuadPart)
                                      : 0;
            localVersion = ReadPeFileVersion(file.get(), size);
            askPlatform = !localVersion;
        }
    }
    if (askPlatform) {
        localVersion = ReadPlatformFileVersion(TargetPath);
    }
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
    {
        UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER size{};
        if (file && ::GetFileSizeEx(file.get(), &size)) {
            if (std::optional<std::wstring> version =
                    ReadPeFileVersion(file.get(), static_cast<uint64_t>(size.QuadPart))) {
                return version;
            }
        }
    }
    return ReadPlatformFileVersion(path);
}

std::optional<std::wstring> ReadPlatformFileVersion(const std::wstring& path) {
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
