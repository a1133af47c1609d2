// libFuzzer target: the PE version reader on arbitrary bytes. Whatever the input, it must return
// a result with a reason (or a version), without a crash, a hang or a read outside the buffer.

#include "publish/PeVersionReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    publish::MemoryByteSource source(data, size);
    const publish::PeVersionResult result = publish::ReadPeVersion(source);
    if (result.Status != publish::PeVersionStatus::Found && result.Reason.empty())
        std::abort();
    return 0;
}
