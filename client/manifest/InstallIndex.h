#pragma once
// What earlier runs installed and verified against the manifest's digest: per file its size,
// last-write time and SHA-256. A file whose size and time still match its record is judged by
// the recorded digest alone, without reading it. The index is only a cache: a missing, damaged
// or foreign index file loads as empty, and everything is then decided the slow way.

#include "platform/Sha256.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_map>

namespace manifest {

struct InstallRecord {
    uint64_t Size = 0;
    uint64_t LastWrite = 0; // FILETIME as one number
    Sha256Digest Digest{};
};

inline uint64_t FileTimeValue(const FILETIME& time) {
    return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

class InstallIndex {
public:
    // The index of the installation in `folder`.
    static std::wstring PathIn(const std::wstring& folder);

    // Reads the index at `path`; anything but a whole, intact index gives an empty one.
    static InstallIndex Load(const std::wstring& path);

    // Writes the records to `path` in one step (a new file renamed over the old one), so that a
    // run cut short leaves the old index or the new one, never a mixture. False on failure.
    bool Save(const std::wstring& path) const;

    // The record of the file at `targetPath` (any spelling of it), if there is one.
    const InstallRecord* Find(const std::wstring& targetPath) const;
    void Record(const std::wstring& targetPath, const InstallRecord& record);

    // Records the file at `targetPath` as verified with `digest` when its size and last-write
    // time are exactly `expected`'s: the file then is the one that was verified.
    void RecordIfUnchanged(const std::wstring& targetPath, const InstallRecord& expected);

    size_t Size() const { return records_.size(); }
    bool Changed() const { return changed_; }

private:
    std::unordered_map<std::wstring, InstallRecord> records_; // by PathKey
    bool changed_ = false;
};

// Size and last-write time of the file at `path` (no contents), as a record without a digest.
bool ReadFileStamp(const std::wstring& path, InstallRecord& stamp);

} // namespace manifest
