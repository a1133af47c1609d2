#pragma once
// Random access to the bytes of a file or of a buffer. The PE reader needs only a few small
// pieces of a file, which may be up to 4 GiB; the fuzz target and the tests hand it buffers.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace manifest {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Exactly `length` bytes from `offset`; false when the source ends before or cannot be read.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t length) = 0;
};

class MemoryByteSource final : public ByteSource {
public:
    MemoryByteSource(const void* data, size_t size)
        : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t length) override {
        if (offset > size_ || length > size_ - offset)
            return false;
        if (length != 0)
            std::memcpy(buffer, data_ + offset, length);
        return true;
    }

private:
    const unsigned char* data_;
    size_t size_;
};

} // namespace manifest
