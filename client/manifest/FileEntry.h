#pragma once
// One file of the installation as the manifest describes it, and the decision whether the local
// copy must be replaced.

#include "platform/Sha256.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace manifest {

class InstallIndex;

// Manifests also carry ProductVersion, ZipFile, ForceOverwrite, UserName and Password: they are
// read and ignored, since nothing in an update run depends on them.
struct FileEntry {
    FileEntry() = default;
    explicit FileEntry(std::wstring targetPath) : TargetPath(std::move(targetPath)) {}

    // Decides whether the local file at TargetPath is out of date, keeps the answer in
    // NeedsUpdate and returns it. An unreadable or missing local file is out of date; a file that
    // yields neither a version block nor a time is current. A file recorded in `index` with its
    // present size and last-write time is judged by the recorded digest against Sha256 alone.
    bool CheckNeedsUpdate(const InstallIndex* index = nullptr);

    int64_t Length = 0; // a 32-bit manifest value widened with its sign; only the low 32 bits count
    std::wstring FileName;
    std::wstring FileVersion;
    bool Register = false;
    std::wstring InstallDir = L"CURRENTDIR";
    bool Execute = false;
    std::wstring ExecutePar;
    std::wstring LocalPath;
    FILETIME FileTime{};
    std::wstring TargetPath;
    std::wstring URL;
    // The published file's digest; a download with other bytes is never installed.
    std::optional<Sha256Digest> Sha256;
    bool NeedsUpdate = false;
};

// The file version of `path`'s fixed version block as "a.b.c.d"; nothing when the file has no
// readable version block. Read from the few bytes that hold it where the PE reader finds it, by
// the platform's version functions (which load the whole image) where it does not.
std::optional<std::wstring> ReadFileVersion(const std::wstring& path);

// The same by the platform's version functions alone.
std::optional<std::wstring> ReadPlatformFileVersion(const std::wstring& path);

// The last-write time of `path`; nothing when the file cannot be opened for reading.
std::optional<FILETIME> ReadLastWriteTime(const std::wstring& path);

// <0 when the local version is older than the manifest's, 0 when equal, >0 when newer. Two texts
// of four dot-separated decimal numbers compare number by number, so that 1.0.0.10 is newer than
// 1.0.0.9; anything else compares as text, ignoring case.
int CompareVersions(const std::wstring& local, const std::wstring& manifest);

} // namespace manifest
