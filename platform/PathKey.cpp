#include "platform/PathKey.h"

#include <windows.h>

std::wstring PathKey(const std::wstring& path) {
    if (path.empty()) {
        return {};
    }
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        DWORD n =
            ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0) {
            return {};
        }
        if (n < full.size()) {
            full.resize(n);
            break;
        }
        full.resize(n);
    }
    while (full.size() > 3 && full.back() == L'\\') {
        full.pop_back();
    }
    // The invariant locale's upper case is what the file system's case folding comes closest
    // to; a user locale (Turkish dotted i) would fold differently from the file system.
    int n = ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, full.c_str(),
                           static_cast<int>(full.size()), nullptr, 0);
    if (n <= 0) {
        return full;
    }
    std::wstring folded(static_cast<size_t>(n), L'\0');
    ::LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, full.c_str(), static_cast<int>(full.size()),
                   folded.data(), n);
    return folded;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    std::wstring keyA = PathKey(a);
    return !keyA.empty() && keyA == PathKey(b);
}
