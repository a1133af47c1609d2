#include "publish/GbkText.h"

#include "publish/Utf8.h"

#include <iconv.h>

#include <vector>

namespace publish {

namespace {

// Converts the whole text or nothing; `room` is the most output bytes per input byte.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view text,
                                   size_t room) {
    iconv_t converter = ::iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string input(text);
    std::vector<char> output(input.size() * room + 16);
    char* in = input.data();
    size_t inLeft = input.size();
    char* out = output.data();
    size_t outLeft = output.size();
    const size_t converted = ::iconv(converter, &in, &inLeft, &out, &outLeft);
    ::iconv_close(converter);
    if (converted == static_cast<size_t>(-1) || inLeft != 0)
        return std::nullopt;
    return std::string(output.data(), output.size() - outLeft);
}

} // namespace

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    if (!IsValidUtf8(utf8))
        return std::nullopt;
    // glibc's converter fails on characters without a GBK form (no //TRANSLIT asked for); GBK
    // never needs more bytes than UTF-8.
    return Convert("GBK", "UTF-8", utf8, 1);
}

std::optional<std::string> GbkToUtf8(std::string_view gbk) {
    // A two-byte GBK character becomes at most three UTF-8 bytes.
    return Convert("UTF-8", "GBK", gbk, 2);
}

} // namespace publish
