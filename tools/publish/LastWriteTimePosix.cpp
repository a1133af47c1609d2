#include "publish/LastWriteTime.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace publish {

bool ReadLastWriteFileTime(const std::filesystem::path& path, uint64_t& fileTime,
                           std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = std::strerror(errno);
        return false;
    }
    if (!UnixTimeToFileTime(info.st_mtim.tv_sec, info.st_mtim.tv_nsec, fileTime)) {
        error = "its modification time lies before 1601, which a Windows file time cannot hold";
        return false;
    }
    return true;
}

} // namespace publish
