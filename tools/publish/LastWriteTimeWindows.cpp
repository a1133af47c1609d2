#include "publish/LastWriteTime.h"

#include <windows.h>

namespace publish {

bool ReadLastWriteFileTime(const std::filesystem::path& path, uint64_t& fileTime,
                           std::string& error) {
    // Attributes rather than an open handle: a file that another program holds open without
    // read sharing still has a time to publish.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        error = "cannot read its time (Windows error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    fileTime =
        (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

} // namespace publish
