#include "publish/WindowsName.h"

#include "publish/Utf8.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace publish {

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

struct UpcaseRun {
    char16_t First, Last;
    uint16_t Stride;
    int32_t Delta;
};
constexpr UpcaseRun kUpcase[] = {
#include "publish/WindowsUpcase.inc"
};

char32_t Fold(char32_t c) {
    if (c > 0xFFFF)
        return c; // NTFS compares UTF-16 units; surrogate pairs are never folded
    const auto* run = std::upper_bound(std::begin(kUpcase), std::end(kUpcase), c,
                                       [](char32_t v, const UpcaseRun& r) { return v < r.First; });
    if (run == std::begin(kUpcase))
        return c;
    --run;
    if (c > run->Last || (c - run->First) % run->Stride != 0)
        return c;
    return static_cast<char32_t>(static_cast<int32_t>(c) + run->Delta);
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9 (also with the superscript digits 1-3), CONIN$ and
// CONOUT$, with or without an extension, name devices, not files.
bool IsDeviceName(std::string_view name) {
    std::string stem;
    for (char c : name.substr(0, name.find('.')))
        stem.push_back(Upper(c));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
        stem == "CONOUT$")
        return true;
    if (stem.size() < 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0))
        return false;
    const std::string_view digit = std::string_view(stem).substr(3);
    return (digit.size() == 1 && digit[0] >= '1' && digit[0] <= '9') || digit == "\xC2\xB9" ||
           digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

} // namespace

std::string WindowsNameProblem(std::string_view name) {
    if (name.empty())
        return "the name is empty";
    auto points = DecodeUtf8(name);
    if (!points)
        return "the name is not valid UTF-8";
    for (char32_t c : *points) {
        if (c < 0x20)
            return "the name holds a control character";
        if (c == U'<' || c == U'>' || c == U':' || c == U'"' || c == U'|' || c == U'?' ||
            c == U'*' || c == U'\\')
            return std::string("the name holds the character ") + static_cast<char>(c) +
                   ", which Windows does not allow in names";
        if (!IsXmlChar(c))
            return "the name holds a character that XML cannot carry";
    }
    if (name.front() == ' ')
        return "the name starts with a space, which the updater's XML reader drops";
    if (name.back() == '.' || name.back() == ' ')
        return "the name ends in a dot or a space, which Windows drops";
    if (IsDeviceName(name))
        return "the name is a Windows device name";
    return {};
}

std::string WindowsPathKey(std::string_view relativePath) {
    auto points = DecodeUtf8(relativePath);
    if (!points)
        return std::string(relativePath);
    for (char32_t& c : *points)
        c = Fold(c);
    return EncodeUtf8(*points);
}

} // namespace publish
