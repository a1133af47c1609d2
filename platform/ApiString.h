#pragma once
// Text from a Win32 API that fills a caller's buffer: the buffer grows until the answer fits.

#include <windows.h>

#include <string>

// `api(buffer, capacity)` returns the characters written, 0 on failure, and either the capacity
// (GetModuleFileNameW truncates silently) or the size it needs (GetTempPathW,
// GetCurrentDirectoryW, GetSystemDirectoryW, ...) when the buffer is too small. Empty on failure
// or beyond the longest path Windows has (32767 characters).
template <typename Api> std::wstring ApiString(Api api) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD capacity = static_cast<DWORD>(buffer.size());
        const DWORD n = static_cast<DWORD>(api(buffer.data(), capacity));
        if (n == 0) {
            return {};
        }
        if (n < capacity) {
            buffer.resize(n);
            return buffer;
        }
        if (capacity > 32768) {
            return {};
        }
        buffer.resize(n > capacity ? n : capacity * 2);
    }
}
