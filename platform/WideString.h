#pragma once
// Wide-string helpers over std::wstring: printf-style formatting, trimming, case-insensitive
// comparison and code-page conversion. All user-visible text and paths are UTF-16.

#include <windows.h>

#include <string>
#include <string_view>

// printf-style formatting into a new string. Write wide string arguments as %ls: that reads the
// same under both of mingw's printf flavours, whereas %s does not.
std::wstring FormatW(const wchar_t* format, ...);

// Removes leading and trailing white space (space, tab, CR, LF, VT, FF).
std::wstring TrimW(std::wstring_view text);

// Ordinal comparison ignoring letter case, character by character; <0, 0 or >0.
int CompareNoCase(std::wstring_view a, std::wstring_view b);
inline bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    return CompareNoCase(a, b) == 0;
}

std::wstring MultiByteToWide(std::string_view bytes, UINT codePage);
// `lossless`, when given, tells whether every character had a form in the code page.
std::string WideToMultiByte(std::wstring_view text, UINT codePage, bool* lossless = nullptr);
inline std::wstring Utf8ToWide(std::string_view bytes) {
    return MultiByteToWide(bytes, CP_UTF8);
}
inline std::string WideToUtf8(std::wstring_view text) {
    return WideToMultiByte(text, CP_UTF8);
}
