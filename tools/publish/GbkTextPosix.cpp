#include "publish/GbkText.h"

#include "publish/Utf8.h"

#include <iconv.h>

#include <vector>

namespace publish {

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
    if (!IsValidUtf8(utf8))
        return std::nullopt;
    // glibc's converter fails on characters without a GBK form (no //TRANSLIT asked for).
    iconv_t converter = ::iconv_open("GBK", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string input(utf8);
    std::vector<char> output(input.size() * 2 + 16); // GBK never needs more bytes than UTF-8
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

} // namespace publish
