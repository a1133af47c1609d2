#include "publish/GbkText.h"

#include "publish/Utf8.h"

#include <windows.h>

namespace publish {

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    auto points = DecodeUtf8(utf8);
    if (!points)
        return std::nullopt;
    if (points->empty())
        return std::string();
    const std::u16string units = EncodeUtf16(*points);
    const auto* wide = reinterpret_cast<const wchar_t*>(units.data());
    const int length = static_cast<int>(units.size());
    // No best-fit mapping: a character without a GBK form must fail, not become a look-alike.
    BOOL usedDefault = FALSE;
    const int n = ::WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0,
                                        nullptr, &usedDefault);
    if (n <= 0 || usedDefault)
        return std::nullopt;
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, wide, length, out.data(), n, nullptr,
                          &usedDefault);
    if (usedDefault)
        return std::nullopt;
    return out;
}

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
    if (gbk.empty())
        return std::string();
    const int size = static_cast<int>(gbk.size());
    const int wideLength =
        ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk.data(), size, nullptr, 0);
    if (wideLength <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<size_t>(wideLength), L'\0');
    ::MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, gbk.data(), size, wide.data(), wideLength);
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace publish
