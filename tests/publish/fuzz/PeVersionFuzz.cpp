// libFuzzer target: the PE version reader on arbitrary bytes. Whatever the input, it must return
// a result with a reason (or a version), without a crash, a hang or a read outside the buffer.

#include "manifest/PeVersionReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    manifest::MemoryByteSource source(data, size);
    const manifest::PeVersionResult result = manifest::ReadPeVersion(source);
    if (result.Status != manifest::PeVersionStatus::Found && result.Reason.empty())
        std::abort();
    return 0;
}
