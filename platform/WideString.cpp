#include "platform/WideString.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

std::wstring FormatW(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int needed = _vscwprintf(format, measure);
    va_end(measure);
    std::wstring out;
    if (needed > 0) {
        std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1);
        int written = _vsnwprintf(buffer.data(), buffer.size(), format, args);
        if (written > 0) {
            out.assign(buffer.data(), static_cast<size_t>(written));
        }
    }
    va_end(args);
    return out;
}

static bool IsTrimSpace(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

std::wstring TrimW(std::wstring_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsTrimSpace(text[begin])) {
        ++begin;
    }
    while (end > begin && IsTrimSpace(text[end - 1])) {
        --end;
    }
    return std::wstring(text.substr(begin, end - begin));
}

int CompareNoCase(std::wstring_view a, std::wstring_view b) {
    int result = ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                        static_cast<int>(b.size()), TRUE);
    return result == 0 ? 0 : result - CSTR_EQUAL;
}

std::wstring MultiByteToWide(std::string_view bytes, UINT codePage) {
    if (bytes.empty()) {
        return {};
    }
    int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()),
                                  nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) {
        ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(),
                              n);
    }
    return out;
}

std::string WideToMultiByte(std::wstring_view text, UINT codePage, bool* lossless) {
    if (lossless) {
        *lossless = true;
    }
    if (text.empty()) {
        return {};
    }
    // UTF-8 and UTF-7 refuse the default-character arguments.
    const bool canReportLoss = codePage != CP_UTF8 && codePage != CP_UTF7;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultArg = canReportLoss ? &usedDefault : nullptr;
    int n = ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                  0, nullptr, usedDefaultArg);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) {
        ::WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(),
                              n, nullptr, usedDefaultArg);
    }
    if (lossless) {
        *lossless = n > 0 && !usedDefault;
    }
    return out;
}
