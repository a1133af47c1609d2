#pragma once
// The files of a release folder, in a stable order, with what the manifest needs of each. The
// scan refuses what the updater could not install: names that are not text or not possible on
// Windows, two paths that Windows would take for one file, files of 4 GiB or more, and anything
// that is neither a file nor a folder.

#include "publish/Glob.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace publish {

struct ReleaseFile {
    std::filesystem::path FullPath;
    std::vector<std::string> Segments; // folders, then the file name; UTF-8
    uint64_t Length = 0;
    uint64_t FileTime = 0;

    std::string RelativePath() const; // segments joined by "/"
};

struct ScanResult {
    std::vector<ReleaseFile> Files; // sorted by relative path, folder level by folder level
    std::vector<std::string> Errors;
};

// The largest file the updater can take: its lengths are 32-bit.
constexpr uint64_t kMaxFileLength = 0xFFFFFFFFu;

// `skipped` lists relative paths ("/" between folders) left out of the scan: the files the
// tool itself writes into the folder. Files and folders that an `excluded` pattern matches are
// left out too, a folder with everything in it.
ScanResult ScanRelease(const std::filesystem::path& folder, const std::vector<std::string>& skipped,
                       const std::vector<Glob>& excluded = {});

} // namespace publish
