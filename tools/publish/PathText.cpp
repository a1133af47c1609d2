#include "publish/PathText.h"

#include "publish/Utf8.h"

#include <cstdio>

namespace publish {

#ifdef _WIN32

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    auto points = DecodeUtf8(utf8);
    if (!points)
        return std::filesystem::path(std::wstring(utf8.begin(), utf8.end()));
    std::u16string units = EncodeUtf16(*points);
    return std::filesystem::path(std::wstring(units.begin(), units.end()));
}

std::optional<std::string> PathToUtf8(const std::filesystem::path& path) {
    const std::wstring& native = path.native();
    return Utf16ToUtf8(std::u16string(native.begin(), native.end()));
}

std::string DisplayPath(const std::filesystem::path& path) {
    if (auto text = PathToUtf8(path))
        return EscapeControls(*text);
    std::string shown;
    for (wchar_t unit : path.native()) {
        if (unit < 0x80) {
            shown.push_back(static_cast<char>(unit));
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(unit));
            shown += hex;
        }
    }
    return shown;
}

#else

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(utf8);
}

std::optional<std::string> PathToUtf8(const std::filesystem::path& path) {
    if (!IsValidUtf8(path.native()))
        return std::nullopt;
    return path.native();
}

std::string DisplayPath(const std::filesystem::path& path) {
    return EscapeControls(path.native());
}

#endif

} // namespace publish
