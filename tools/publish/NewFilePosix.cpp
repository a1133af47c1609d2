#include "publish/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace publish {

bool CreateNewFile(const std::filesystem::path& path, std::string_view bytes, bool ownerOnly,
                   std::string& why) {
    // O_EXCL: never through a link or into a file someone else has just made.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ownerOnly ? 0600 : 0666);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    const char* at = bytes.data();
    size_t left = bytes.size();
    int failure = 0;
    while (left > 0 && failure == 0) {
        const ssize_t written = ::write(fd, at, left);
        if (written < 0 && errno != EINTR)
            failure = errno;
        if (written > 0) {
            at += written;
            left -= static_cast<size_t>(written);
        }
    }
    // On the disk before it replaces anything: a crash must not leave an empty manifest.
    if (failure == 0 && ::fsync(fd) != 0)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure != 0) {
        ::unlink(path.c_str());
        why = std::strerror(failure);
        return false;
    }
    return true;
}

} // namespace publish
