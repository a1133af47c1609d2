#include "publish/FileByteSource.h"

#include <cerrno>
#include <cstring>

namespace publish {

FileByteSource::FileByteSource(const std::filesystem::path& path, std::string& error) {
    stream_.open(path, std::ios::binary);
    if (!stream_.is_open()) {
        error = std::strerror(errno);
        return;
    }
    stream_.seekg(0, std::ios::end);
    const std::streamoff end = stream_.tellg();
    if (end < 0) {
        error = "cannot find the file's size";
        stream_.close();
        return;
    }
    size_ = static_cast<uint64_t>(end);
}

bool FileByteSource::ReadAt(uint64_t offset, void* buffer, size_t length) {
    if (!stream_.is_open() || offset > size_ || length > size_ - offset)
        return false;
    stream_.clear();
    stream_.seekg(static_cast<std::streamoff>(offset));
    stream_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(length));
    return static_cast<size_t>(stream_.gcount()) == length;
}

} // namespace publish
