#pragma once
// A file's last-write time as a Windows file time: 100-nanosecond ticks since 1601-01-01 UTC,
// the value the updater compares with its local copy's time when a file has no version.

#include <cstdint>
#include <filesystem>
#include <string>

namespace publish {

// On Windows the file's own last-write time; elsewhere its modification time, exact to the
// 100 ns that a file time can hold.
bool ReadLastWriteFileTime(const std::filesystem::path& path, uint64_t& fileTime,
                           std::string& error);

constexpr int64_t kSecondsFrom1601To1970 = 11644473600;

// A Unix time (seconds and nanoseconds since 1970) as a file time; false before 1601 or past
// what 64 bits hold. Nanoseconds below 100 are dropped, as Windows drops them.
constexpr bool UnixTimeToFileTime(int64_t seconds, int64_t nanoseconds, uint64_t& fileTime) {
    if (nanoseconds < 0 || nanoseconds >= 1000000000)
        return false;
    if (seconds < -kSecondsFrom1601To1970 ||
        seconds > static_cast<int64_t>(UINT64_MAX / 10000000 - 1) - kSecondsFrom1601To1970)
        return false;
    fileTime = static_cast<uint64_t>(seconds + kSecondsFrom1601To1970) * 10000000u +
               static_cast<uint64_t>(nanoseconds / 100);
    return true;
}

} // namespace publish
