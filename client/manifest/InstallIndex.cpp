#include "manifest/InstallIndex.h"

#include "platform/PathKey.h"
#include "platform/UniqueHandle.h"
#include "platform/WideString.h"

#include <optional>
#include <string_view>

namespace manifest {

namespace {

// First line of every index; another first line (a future format, a foreign file) is not read.
constexpr std::string_view kHeader = "Refreshor install index 1\n";
// The last line: the SHA-256 of everything before it. A file cut short or changed by hand fails
// this check as a whole, so that no damaged record can pass for a good one.
constexpr std::string_view kSealPrefix = "seal ";
// Far above any real installation's index; a larger file is not an index.
constexpr DWORD kMaxIndexBytes = 64u << 20;

std::optional<std::string> ReadWholeFile(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > kMaxIndexBytes) {
        return std::nullopt;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) ||
         read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

std::string HexOf(const Sha256Digest& digest) {
    return WideToUtf8(FormatSha256(digest));
}

bool ParseNumber(std::string_view text, uint64_t& value) {
    if (text.empty() || text.size() > 20) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > (UINT64_MAX - 9) / 10) {
            return false;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

// Splits off the text up to the next space.
std::string_view NextField(std::string_view& line) {
    const size_t space = line.find(' ');
    const std::string_view field = line.substr(0, space);
    line = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    return field;
}

// "<digest> <size> <last-write time> <path>", the path in UTF-8 up to the end of the line.
bool ParseRecord(std::string_view line, std::wstring& path, InstallRecord& record) {
    const std::optional<Sha256Digest> digest = ParseSha256(Utf8ToWide(NextField(line)));
    if (!digest || !ParseNumber(NextField(line), record.Size) ||
        !ParseNumber(NextField(line), record.LastWrite) || line.empty()) {
        return false;
    }
    record.Digest = *digest;
    path = Utf8ToWide(line);
    return !path.empty();
}

} // namespace

std::wstring InstallIndex::PathIn(const std::wstring& folder) {
    return folder + L"\\Refreshor.index";
}

InstallIndex InstallIndex::Load(const std::wstring& path) {
    InstallIndex index;
    const std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes || !std::string_view(*bytes).starts_with(kHeader)) {
        return index;
    }
    const size_t sealAt = bytes->rfind(kSealPrefix);
    if (sealAt == std::string::npos || sealAt < kHeader.size() || (*bytes)[sealAt - 1] != '\n') {
        return index;
    }
    const std::string_view body = std::string_view(*bytes).substr(0, sealAt);
    const std::optional<Sha256Digest> actual = Sha256Of(body);
    const std::string expected =
        std::string(kSealPrefix) + (actual ? HexOf(*actual) : std::string()) + "\n";
    if (!actual || std::string_view(*bytes).substr(sealAt) != expected) {
        return index;
    }
    std::string_view rest = body.substr(kHeader.size());
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        std::wstring target;
        InstallRecord record;
        if (!ParseRecord(line, target, record)) {
            return InstallIndex();
        }
        index.Record(target, record);
    }
    index.changed_ = false;
    return index;
}

bool InstallIndex::Save(const std::wstring& path) const {
    std::string text(kHeader);
    for (const auto& [key, record] : records_) {
        text += HexOf(record.Digest);
        text += ' ' + std::to_string(record.Size) + ' ' + std::to_string(record.LastWrite) + ' ';
        text += WideToUtf8(key);
        text += '\n';
    }
    const std::optional<Sha256Digest> seal = Sha256Of(text);
    if (!seal) {
        return false;
    }
    text += std::string(kSealPrefix) + HexOf(*seal) + "\n";

    const std::wstring fresh = path + L".new";
    {
        UniqueFile file(::CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file ||
            !::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                         nullptr) ||
            written != text.size() || !::FlushFileBuffers(file.get())) {
            file.reset();
            ::DeleteFileW(fresh.c_str());
            return false;
        }
    }
    if (!::MoveFileExW(fresh.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(fresh.c_str());
        return false;
    }
    return true;
}

const InstallRecord* InstallIndex::Find(const std::wstring& targetPath) const {
    const auto it = records_.find(PathKey(targetPath));
    return it == records_.end() ? nullptr : &it->second;
}

void InstallIndex::Record(const std::wstring& targetPath, const InstallRecord& record) {
    const std::wstring key = PathKey(targetPath);
    if (key.empty()) {
        return;
    }
    records_[key] = record;
    changed_ = true;
}

void InstallIndex::RecordIfUnchanged(const std::wstring& targetPath,
                                     const InstallRecord& expected) {
    InstallRecord now;
    if (ReadFileStamp(targetPath, now) && now.Size == expected.Size &&
        now.LastWrite == expected.LastWrite) {
        Record(targetPath, expected);
    }
}

bool ReadFileStamp(const std::wstring& path, InstallRecord& stamp) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    stamp.Size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    stamp.LastWrite = FileTimeValue(data.ftLastWriteTime);
    return true;
}

} // namespace manifest
