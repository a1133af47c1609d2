#include "publish/Console.h"

#include "publish/Utf8.h"

#include <windows.h>

#include <cstdio>

namespace publish {

namespace {

void Write(DWORD which, FILE* stream, std::string_view utf8) {
    HANDLE handle = ::GetStdHandle(which); // not owned: the process's own standard handle
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode)) {
        auto points = DecodeUtf8(utf8);
        if (points) {
            const std::u16string units = EncodeUtf16(*points);
            DWORD written = 0;
            ::WriteConsoleW(handle, units.data(), static_cast<DWORD>(units.size()), &written,
                            nullptr);
            return;
        }
    }
    // Redirected to a file or a pipe: UTF-8 bytes, as on Linux.
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

} // namespace

void WriteOut(std::string_view utf8) {
    Write(STD_OUTPUT_HANDLE, stdout, utf8);
}
void WriteError(std::string_view utf8) {
    Write(STD_ERROR_HANDLE, stderr, utf8);
}

} // namespace publish
