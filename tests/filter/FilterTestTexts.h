#pragma once

// Shared by the filter's tests: the table's entries as strings and the GBK character rules the
// filter applies, restated here so that the tests do not take them from the code they check.

#include "WordTable.h"

#include <string>
#include <string_view>
#include <vector>

namespace filtertest {

inline std::string_view Entry(unsigned index) {
    return {taboolex::kWordTable[index].text, taboolex::kWordTable[index].length};
}

inline bool IsLeadByte(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

// Where the characters of a NUL-free byte string begin.
inline std::vector<size_t> CharStarts(std::string_view s) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < s.size();) {
        starts.push_back(i);
        i += IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
    }
    return starts;
}

// The characters of a string, one string each.
inline std::vector<std::string> Chars(std::string_view s) {
    std::vector<std::string> chars;
    const std::vector<size_t> starts = CharStarts(s);
    for (size_t k = 0; k < starts.size(); ++k) {
        const size_t end = k + 1 < starts.size() ? starts[k + 1] : s.size();
        chars.emplace_back(s.substr(starts[k], end - starts[k]));
    }
    return chars;
}

// Entries that can be found at all: those without a space (the text loses its spaces first).
inline std::vector<std::string> FindableEntries() {
    std::vector<std::string> out;
    for (unsigned i = 0; i < taboolex::kEntryCount; ++i) {
        if (Entry(i).find(' ') == std::string_view::npos) {
            out.emplace_back(Entry(i));
        }
    }
    return out;
}

} // namespace filtertest
