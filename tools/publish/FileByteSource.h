#pragma once
// A file opened for reading as a ByteSource.

#include "manifest/ByteSource.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace publish {

class FileByteSource final : public manifest::ByteSource {
public:
    // Opens `path`; on failure `error` tells why and the source reads nothing.
    FileByteSource(const std::filesystem::path& path, std::string& error);
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    bool IsOpen() const { return stream_.is_open(); }
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t length) override;

private:
    std::ifstream stream_;
    uint64_t size_ = 0;
};

} // namespace publish
