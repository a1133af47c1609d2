#include "GbkConversion.h"

#if defined(_WIN32)
#include <windows.h>

bool Utf8ToGbk(const std::string& in, std::string& out) {
    out.clear();
    if (in.empty()) {
        return true;
    }
    const int size = static_cast<int>(in.size());
    const int wideLength =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in.data(), size, nullptr, 0);
    if (wideLength == 0) {
        return false;
    }
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, in.data(), size, wide.data(), wideLength);
    // Without WC_NO_BEST_FIT_CHARS a character missing from GBK would quietly become a
    // look-alike, and the text checked would not be the text given.
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength,
                                           nullptr, 0, nullptr, &lossy);
    if (length == 0 || lossy) {
        return false;
    }
    out.resize(static_cast<size_t>(length));
    WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide.data(), wideLength, out.data(), length,
                        nullptr, &lossy);
    return !lossy;
}

bool GbkToUtf8(const std::string& in, std::string& out) {
    out.clear();
    if (in.empty()) {
        return true;
    }
    const int size = static_cast<int>(in.size());
    const int wideLength =
        MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, in.data(), size, nullptr, 0);
    if (wideLength == 0) {
        return false;
    }
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, in.data(), size, wide.data(), wideLength);
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<size_t>(length));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, out.data(), length, nullptr, nullptr);
    return length > 0;
}

#else
#include <iconv.h>

#include <cerrno>

namespace {

bool Convert(const char* to, const char* from, const std::string& in, std::string& out) {
    out.clear();
    const iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    char* inPtr = const_cast<char*>(in.data());
    size_t inLeft = in.size();
    bool ok = true;
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, sizeof(buffer) - outLeft);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            ok = false; // EILSEQ: invalid UTF-8 or no GBK form; EINVAL: cut short
            break;
        }
    }
    iconv_close(cd);
    return ok;
}
} // namespace

bool Utf8ToGbk(const std::string& in, std::string& out) {
    return Convert("GBK", "UTF-8", in, out);
}

bool GbkToUtf8(const std::string& in, std::string& out) {
    return Convert("UTF-8", "GBK", in, out);
}
#endif
