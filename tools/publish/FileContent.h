#pragma once
// One read through a release file: its SHA-256 for the manifest, and its first bytes, by which
// the tool recognises files that it wrote itself in earlier runs.

#include "publish/Crypto.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace publish {

inline constexpr size_t kFileHeadBytes = 64 * 1024;

struct FileContent {
    Sha256Digest Digest{};
    uint64_t Length = 0; // bytes read, which may differ from what the scan saw
    std::string Head;    // at most kFileHeadBytes
};

bool ReadFileContent(const std::filesystem::path& path, FileContent& content, std::string& error);

// 64 lower-case hex digits.
std::string HexDigest(const Sha256Digest& digest);

} // namespace publish
