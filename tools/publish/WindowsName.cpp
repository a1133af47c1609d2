#include "publish/WindowsName.h"

#include "publish/Utf8.h"

namespace publish {

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an extension, name devices, not files.
bool IsDeviceName(std::string_view name) {
    std::string stem;
    for (char c : name.substr(0, name.find('.')))
        stem.push_back(Upper(c));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
           stem[3] >= '1' && stem[3] <= '9';
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
    std::string key(relativePath);
    for (char& c : key)
        c = Upper(c);
    return key;
}

} // namespace publish
