#include "ReferenceScan.h"

#include "WordTable.h"

#include <cstring>

namespace taboolex {

namespace {

// GBK as the filter reads it whatever the code page of the process: a byte 0x81..0xFE opens a
// two-byte character unless the string ends right after it.
size_t CharLength(const std::string& s, size_t pos) {
    const auto b = static_cast<unsigned char>(s[pos]);
    return b >= 0x81 && b <= 0xFE && pos + 1 < s.size() ? 2 : 1;
}

bool IsWhitespace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool FoundAtBoundary(const std::string& text, const WordEntry& entry) {
    for (size_t pos = 0; pos < text.size(); pos += CharLength(text, pos)) {
        if (text[pos] == entry.text[0] &&
            text.compare(pos, entry.length, entry.text, entry.length) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string NormaliseText(const char* text) {
    std::string s(text);

    size_t first = 0;
    while (first < s.size() && CharLength(s, first) == 1 && IsWhitespace(s[first])) {
        ++first;
    }
    s.erase(0, first);

    // Only a forward walk knows whether a trailing byte ends a two-byte character.
    size_t keep = 0;
    for (size_t pos = 0; pos < s.size();) {
        const size_t n = CharLength(s, pos);
        pos += n;
        if (n == 2 || !IsWhitespace(s[pos - 1])) {
            keep = pos;
        }
    }
    s.erase(keep);

    std::string out;
    out.reserve(s.size());
    for (size_t pos = 0; pos < s.size();) {
        const size_t n = CharLength(s, pos);
        if (n == 2 || s[pos] != ' ') {
            out.append(s, pos, n);
        }
        pos += n;
    }
    return out;
}

bool ReferenceContains(const char* text) {
    if (text == nullptr) {
        return false;
    }
    const std::string normalised = NormaliseText(text);
    for (const WordEntry& entry : kWordTable) {
        if (FoundAtBoundary(normalised, entry)) {
            return true;
        }
    }
    return false;
}

} // namespace taboolex
