// The built word table, measured. Every figure is computed here from kWordTable itself (the GBK
// bytes the library carries), not from words.txt, so a fault in the conversion shows up as well
// as a change to the list. The same definitions are used by filter/table/wordtable.py, which
// prints these figures for the source without a build.

#include "ReferenceScan.h"
#include "WordTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace {

using taboolex::kEntryCount;
using taboolex::kGroupCount;
using taboolex::kGroupSizes;
using taboolex::kWordTable;

std::string_view Entry(unsigned index) {
    return {kWordTable[index].text, kWordTable[index].length};
}

// Group (0-based) of every entry, in table order.
std::vector<int> GroupOfEntries() {
    std::vector<int> group;
    for (int g = 0; g < kGroupCount; ++g) {
        group.insert(group.end(), kGroupSizes[g], g);
    }
    return group;
}

bool IsLead(unsigned char b) {
    return b >= 0x81 && b <= 0xFE;
}

// Offsets where the GBK characters of a valid entry begin: a byte of 0x80 or more opens a
// two-byte character, anything below is a character of its own.
std::vector<size_t> CharStarts(std::string_view e) {
    std::vector<size_t> starts;
    for (size_t i = 0; i < e.size(); i += static_cast<unsigned char>(e[i]) >= 0x80 ? 2 : 1) {
        starts.push_back(i);
    }
    return starts;
}

// The single-byte characters of an entry. The second byte of a two-byte character may lie in
// 0x40..0x7E and look like an ASCII letter; it is not one.
std::string SingleByteChars(std::string_view e) {
    std::string singles;
    for (size_t i : CharStarts(e)) {
        if (static_cast<unsigned char>(e[i]) < 0x80) {
            singles += e[i];
        }
    }
    return singles;
}

bool IsAsciiOnly(std::string_view e) {
    return std::all_of(e.begin(), e.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

TEST(WordTableProfile, GroupsHaveTheirSizesContentAndLengthRange) {
    unsigned sum = 0;
    for (unsigned size : kGroupSizes) {
        sum += size;
    }
    ASSERT_EQ(sum, kEntryCount);

    constexpr std::array<unsigned, kGroupCount> kAsciiOnly = {28, 480, 0, 0, 0, 0};
    constexpr std::array<unsigned, kGroupCount> kWithSpace = {13, 65, 7, 10, 4, 1};
    constexpr std::array<size_t, kGroupCount> kShortest = {2, 3, 3, 4, 4, 4};
    constexpr std::array<size_t, kGroupCount> kLongest = {23, 60, 73, 64, 64, 38};
    unsigned index = 0;
    for (int g = 0; g < kGroupCount; ++g) {
        unsigned asciiOnly = 0, withSpace = 0;
        size_t shortest = SIZE_MAX, longest = 0;
        for (unsigned k = 0; k < kGroupSizes[g]; ++k, ++index) {
            std::string_view e = Entry(index);
            asciiOnly += IsAsciiOnly(e);
            withSpace += e.find(' ') != std::string_view::npos;
            shortest = std::min(shortest, e.size());
            longest = std::max(longest, e.size());
        }
        SCOPED_TRACE(testing::Message() << "group " << g + 1);
        EXPECT_EQ(asciiOnly, kAsciiOnly[g]);
        EXPECT_EQ(withSpace, kWithSpace[g]);
        EXPECT_EQ(shortest, kShortest[g]);
        EXPECT_EQ(longest, kLongest[g]);
    }
}

// The filter walks texts and entries as GBK; a stray lead byte at the end of an entry would make
// it read past the entry, and a NUL inside would cut the entry short for C string functions.
TEST(WordTableProfile, EveryEntryIsCleanGbk) {
    for (unsigned i = 0; i < kEntryCount; ++i) {
        std::string_view e = Entry(i);
        SCOPED_TRACE(testing::Message() << "entry " << i);
        ASSERT_NE(kWordTable[i].text, nullptr);
        ASSERT_FALSE(e.empty());
        ASSERT_EQ(std::strlen(kWordTable[i].text), e.size()) << "NUL inside or length wrong";
        for (size_t p = 0; p < e.size();) {
            const auto b = static_cast<unsigned char>(e[p]);
            if (b < 0x80) {
                ASSERT_TRUE(b >= 0x20 && b != 0x7F) << "control character at " << p;
                ++p;
                continue;
            }
            ASSERT_TRUE(IsLead(b)) << "not a GBK lead byte at " << p;
            ASSERT_LT(p + 1, e.size()) << "lead byte without its second byte";
            const auto t = static_cast<unsigned char>(e[p + 1]);
            ASSERT_TRUE((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE))
                << "bad second byte at " << p + 1;
            ASSERT_FALSE(b == 0xA1 && t == 0xA1) << "full-width space at " << p;
            p += 2;
        }
    }
}

// Spaced entries never match (the filter drops spaces from the text first). Each is counted by
// where its spaces are: first byte a space, last byte a space, or spaces only inside. The three
// counts add up to the number of spaced entries, so no entry falls in two of them.
TEST(WordTableProfile, SpacedEntries) {
    unsigned spaced = 0, leading = 0, trailing = 0, insideOnly = 0;
    for (unsigned i = 0; i < kEntryCount; ++i) {
        std::string_view e = Entry(i);
        if (e.find(' ') == std::string_view::npos) {
            continue;
        }
        ++spaced;
        leading += e.front() == ' ';
        trailing += e.back() == ' ';
        insideOnly += e.front() != ' ' && e.back() != ' ';
    }
    EXPECT_EQ(spaced, 100u);
    EXPECT_EQ(leading, 1u);
    EXPECT_EQ(trailing, 12u);
    EXPECT_EQ(insideOnly, 87u);
}

TEST(WordTableProfile, ShortestEntriesLengthsAndSize) {
    unsigned twoByte = 0, twoAscii = 0, oneWideChar = 0;
    std::vector<size_t> lengths;
    size_t total = 0;
    for (unsigned i = 0; i < kEntryCount; ++i) {
        std::string_view e = Entry(i);
        lengths.push_back(e.size());
        total += e.size();
        if (e.size() == 2) {
            ++twoByte;
            twoAscii += IsAsciiOnly(e);
            oneWideChar += IsLead(static_cast<unsigned char>(e[0]));
        }
    }
    EXPECT_EQ(twoByte, 6u);
    EXPECT_EQ(twoAscii, 5u);
    EXPECT_EQ(oneWideChar, 1u);
    EXPECT_EQ(total, 88327u);
    // With an even number of entries the median is taken as both middle lengths of the sorted
    // list, the 4222nd and the 4223rd; both must be 10.
    std::sort(lengths.begin(), lengths.end());
    EXPECT_EQ(lengths[kEntryCount / 2 - 1], 10u);
    EXPECT_EQ(lengths[kEntryCount / 2], 10u);
}

// A surplus copy is any occurrence of a byte string after its first one in search order. It
// repeats an entry of its own group when the first occurrence lies in the same group, otherwise
// an entry of an earlier group.
TEST(WordTableProfile, Duplicates) {
    const std::vector<int> group = GroupOfEntries();
    std::map<std::string_view, std::pair<int, unsigned>> seen; // first group, occurrences
    std::array<unsigned, kGroupCount> sameGroup{};
    unsigned earlierGroup = 0;
    for (unsigned i = 0; i < kEntryCount; ++i) {
        auto [it, first] = seen.try_emplace(Entry(i), group[i], 0u);
        ++it->second.second;
        if (first) {
            continue;
        }
        if (it->second.first == group[i]) {
            ++sameGroup[group[i]];
        } else {
            ++earlierGroup;
        }
    }
    unsigned repeated = 0, surplus = 0;
    for (const auto& [text, info] : seen) {
        repeated += info.second > 1;
        surplus += info.second - 1;
    }
    EXPECT_EQ(seen.size(), 8300u);
    EXPECT_EQ(repeated, 136u);
    EXPECT_EQ(surplus, 144u);
    EXPECT_EQ(sameGroup, (std::array<unsigned, kGroupCount>{16, 0, 0, 0, 0, 0}));
    EXPECT_EQ(earlierGroup, 128u);
}

// Letters and digits are looked for among the single-byte characters only. An entry mixes when
// it has at least one single-byte and at least one two-byte character (a space counts as a
// single-byte character).
TEST(WordTableProfile, AsciiContent) {
    unsigned asciiOnly = 0, digitsOnly = 0, mixed = 0, withLetter = 0, withUpper = 0;
    for (unsigned i = 0; i < kEntryCount; ++i) {
        std::string_view e = Entry(i);
        const std::string singles = SingleByteChars(e);
        if (IsAsciiOnly(e)) {
            ++asciiOnly;
            digitsOnly +=
                std::all_of(e.begin(), e.end(), [](char c) { return c >= '0' && c <= '9'; });
        } else if (!singles.empty()) {
            ++mixed;
        }
        auto has = [&](char lo, char hi) {
            return std::any_of(singles.begin(), singles.end(),
                               [&](char c) { return c >= lo && c <= hi; });
        };
        withLetter += has('A', 'Z') || has('a', 'z');
        withUpper += has('A', 'Z');
    }
    EXPECT_EQ(asciiOnly, 508u);
    EXPECT_EQ(digitsOnly, 9u);
    EXPECT_EQ(mixed, 1152u);
    EXPECT_EQ(withLetter, 1328u);
    EXPECT_EQ(withUpper, 682u);
}

// Entry e contains a shorter entry when some table entry f with len(f) < len(e) occurs in e as
// a byte substring that starts at a character boundary of e (e walked as GBK). That is where the
// filter itself would find f in a text consisting of e, so such an e can only ever match where f
// already does. A copy of e is not shorter than e and does not count.
TEST(WordTableProfile, EntriesContainingAShorterEntry) {
    std::unordered_set<std::string_view> table;
    std::set<size_t> lengths;
    for (unsigned i = 0; i < kEntryCount; ++i) {
        table.insert(Entry(i));
        lengths.insert(Entry(i).size());
    }
    unsigned containing = 0;
    for (unsigned i = 0; i < kEntryCount; ++i) {
        std::string_view e = Entry(i);
        bool found = false;
        for (size_t start : CharStarts(e)) {
            for (size_t n : lengths) {
                if (n >= e.size() || start + n > e.size()) {
                    break;
                }
                if (table.count(e.substr(start, n)) != 0) {
                    found = true;
                    break;
                }
            }
            if (found) {
                break;
            }
        }
        containing += found;
    }
    EXPECT_EQ(containing, 2341u);
}

// What the table is for, as a moderator would try it: the common words are caught in their usual
// spellings (the filter drops spaces, so "fuck you" is "fuckyou"), and no entry fires inside
// ordinary words, place names, Linux paths or classical poetry. One text a line; the GBK lines
// are 黄色网站, 联通贵宾卡, 傻 逼, 操你妈, then 商女不知亡国恨，隔江犹唱后庭花 and
// 归来视幼女，零泪缘缨流。 and 备用启动介质（USB 启动盘）.
TEST(WordTableContent, CatchesCommonWordsAndSparesOrdinaryText) {
    auto lines = [](const std::string& texts) {
        std::vector<std::string> out;
        std::istringstream in(texts);
        for (std::string line; std::getline(in, line);) {
            out.push_back(line);
        }
        return out;
    };
    const std::string caught = "fuck\nshit\nbitch\nasshole\nmotherfucker\nfuck you\nFuck off\n"
                               "SHIT\ncnm\nnmsl\ntmd\nf u c k\n"
                               "\xBB\xC6\xC9\xAB\xCD\xF8\xD5\xBE\n"
                               "\xC1\xAA\xCD\xA8\xB9\xF3\xB1\xF6\xBF\xA8\n"
                               "\xC9\xB5 \xB1\xC6\n"
                               "\xB2\xD9\xC4\xE3\xC2\xE8";
    for (const std::string& text : lines(caught)) {
        EXPECT_TRUE(taboolex::ReferenceContains(text.c_str())) << text;
    }
    const std::string clean =
        "Pittsburgh\nLisbon\nPresbyterian\nUSB\n/usr/sbin/sendmail\nMacao\nkaolin\nclass\n"
        "passport\ncocktail\ntherapist\nsnigger\nsaltwater\n"
        "\xC9\xCC\xC5\xAE\xB2\xBB\xD6\xAA\xCD\xF6\xB9\xFA\xBA\xDE\xA3\xAC\xB8\xF4\xBD\xAD\xD3\xCC"
        "\xB3\xAA\xBA\xF3\xCD\xA5\xBB\xA8\n"
        "\xB9\xE9\xC0\xB4\xCA\xD3\xD3\xD7\xC5\xAE\xA3\xAC\xC1\xE3\xC0\xE1\xD4\xB5\xD3\xA7\xC1\xF7"
        "\xA1\xA3\n"
        "\xB1\xB8\xD3\xC3\xC6\xF4\xB6\xAF\xBD\xE9\xD6\xCA\xA3\xA8USB "
        "\xC6\xF4\xB6\xAF\xC5\xCC\xA3\xA9";
    for (const std::string& text : lines(clean)) {
        EXPECT_FALSE(taboolex::ReferenceContains(text.c_str())) << text;
    }
}

} // namespace
