// What the filter answers, checked on the shipped table against expectations that follow from
// the rules themselves. Each case runs against the library (through CDirtyString) and against
// the literal reference scan, so both are held to the same rules; ScanDifferentialTest then
// holds them to each other.

#include "FilterTestTexts.h"
#include "ReferenceScan.h"
#include "Taboolex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using filtertest::Chars;
using filtertest::Entry;
using filtertest::FindableEntries;
using taboolex::kEntryCount;
using taboolex::kGroupSizes;

using Test = bool (*)(const char*);

bool LibraryTest(const char* text) {
    return CDirtyString().IsTaboolex(text);
}

struct Implementation {
    const char* name;
    Test test;
    // The reference scan costs a full pass over the table per text, so cases that walk the
    // whole table give it every n-th entry.
    size_t stride;
};

// Names the case in test listings (and so in ctest's test names).
void PrintTo(const Implementation& implementation, std::ostream* os) {
    *os << implementation.name;
}

class DirtyString : public ::testing::TestWithParam<Implementation> {
protected:
    bool Dirty(const std::string& text) const { return GetParam().test(text.c_str()); }
    size_t Stride() const { return GetParam().stride; }
};

// Characters that no entry holds: a control byte and the full-width space.
const std::string kNeutralByte = "\x01";
const std::string kNeutralChar = "\xA1\xA1";

std::string Join(const std::vector<std::string>& chars, const std::string& between) {
    std::string out;
    for (size_t i = 0; i < chars.size(); ++i) {
        out += (i ? between : "") + chars[i];
    }
    return out;
}

TEST_P(DirtyString, NullEmptyAndBlankTextsAreClean) {
    EXPECT_FALSE(GetParam().test(nullptr));
    for (const char* text : {"", " ", "   ", "\t", " \t \t  ", "\r\n", " \v\f\t\r\n "}) {
        EXPECT_FALSE(Dirty(text)) << "blank text of " << std::string(text).size() << " bytes";
    }
}

TEST_P(DirtyString, FindsEveryEntryAtAnyCharacterPosition) {
    const std::vector<std::string> entries = FindableEntries();
    ASSERT_GT(entries.size(), 8000u);
    for (size_t i = 0; i < entries.size(); i += Stride()) {
        const std::string& e = entries[i];
        ASSERT_TRUE(Dirty(e)) << e;
        // Single-byte and two-byte characters before it put it at odd and even byte offsets.
        ASSERT_TRUE(Dirty(kNeutralByte + kNeutralChar + e + kNeutralByte)) << e;
        ASSERT_TRUE(Dirty(kNeutralChar + kNeutralChar + kNeutralByte + kNeutralByte + e)) << e;
    }
}

TEST_P(DirtyString, LastEntriesOfTheFirstAndLastGroupsAreSearched) {
    const unsigned lastOfFirst = kGroupSizes[0] - 1;
    const unsigned lastOfAll = kEntryCount - 1;
    for (unsigned index : {lastOfFirst, lastOfAll}) {
        const std::string e(Entry(index));
        ASSERT_EQ(e.find(' '), std::string::npos) << "entry " << index << " cannot be found";
        EXPECT_TRUE(Dirty(kNeutralChar + e + kNeutralChar)) << "entry " << index;
    }
}

TEST_P(DirtyString, ShortestAsciiEntriesAreFound) {
    int found = 0;
    for (unsigned i = 0; i < kEntryCount; ++i) {
        const std::string e(Entry(i));
        if (e.size() == 2 && static_cast<unsigned char>(e[0]) < 0x80) {
            EXPECT_TRUE(Dirty(e)) << e;
            EXPECT_TRUE(Dirty("\t" + kNeutralChar + e + kNeutralByte)) << e;
            ++found;
        }
    }
    EXPECT_EQ(found, 5);
}

TEST_P(DirtyString, SpacesInsideAndWhitespaceAroundAnEntryAreIgnored) {
    const std::vector<std::string> entries = FindableEntries();
    for (size_t i = 0; i < entries.size(); i += Stride()) {
        const std::string& e = entries[i];
        const std::string spaced = " \t\n  " + Join(Chars(e), " ") + "  \r\n\t ";
        ASSERT_TRUE(Dirty(spaced)) << spaced;
        ASSERT_TRUE(Dirty(Join(Chars(e), "   "))) << e;
    }
}

// A tab or line break inside the text stays and no entry holds one, so it cuts the text in two:
// the whole is dirty exactly when one of the pieces is.
TEST_P(DirtyString, TabOrLineBreakInsideSplitsTheText) {
    int splitsThatClean = 0;
    const std::vector<std::string> entries = FindableEntries();
    for (size_t i = 0; i < entries.size(); i += 7 * Stride()) {
        const std::vector<std::string> chars = Chars(entries[i]);
        for (size_t cut = 1; cut < chars.size(); ++cut) {
            const std::string left = Join({chars.begin(), chars.begin() + cut}, "");
            const std::string right = Join({chars.begin() + cut, chars.end()}, "");
            const bool piecesDirty = Dirty(left) || Dirty(right);
            for (const char* breaker : {"\t", "\n", "\r\n", " \t "}) {
                ASSERT_EQ(Dirty(left + breaker + right), piecesDirty)
                    << entries[i] << " cut before character " << cut;
            }
            splitsThatClean += piecesDirty ? 0 : 1;
        }
    }
    EXPECT_GT(splitsThatClean, 500 / static_cast<int>(Stride()));
}

TEST_P(DirtyString, LettersAreNotCaseFolded) {
    // An upper-case entry whose lower-case spelling is clean on its own terms: no entry occurs
    // in the lowered text at all, at any byte.
    const std::vector<std::string> entries = FindableEntries();
    int checked = 0;
    for (const std::string& e : entries) {
        if (!std::any_of(e.begin(), e.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
            continue;
        }
        std::string lowered = e;
        for (size_t start : filtertest::CharStarts(lowered)) {
            if (lowered[start] >= 'A' && lowered[start] <= 'Z') {
                lowered[start] = static_cast<char>(lowered[start] - 'A' + 'a');
            }
        }
        const bool anyOccurrence = std::any_of(entries.begin(), entries.end(), [&](auto& f) {
            return lowered.find(f) != std::string::npos;
        });
        if (anyOccurrence) {
            continue;
        }
        EXPECT_TRUE(Dirty(e)) << e;
        EXPECT_FALSE(Dirty(lowered)) << lowered;
        ++checked;
    }
    EXPECT_GT(checked, 20);
}

// A lead byte in front swallows the entry's first byte into a character of its own, so the
// entry's bytes no longer start at a character boundary.
TEST_P(DirtyString, MatchesStartOnlyAtCharacterBoundaries) {
    const std::vector<std::string> entries = FindableEntries();
    int checked = 0;
    for (const std::string& e : entries) {
        if (e.size() != 2) {
            continue;
        }
        for (int lead = 0x81; lead <= 0xFE; lead += 5) {
            for (int after = 0x81; after <= 0xFE; after += 29) {
                // The entry's bytes straddle two characters: (lead, e[0]) and (e[1], after)
                // when e[1] is a lead byte, else (lead, e[0]) and e[1].
                const std::string text = std::string(1, char(lead)) + e + char(after) + "\x40";
                const bool anyOtherOccurrence =
                    std::any_of(entries.begin(), entries.end(), [&](auto& f) {
                        const size_t at = text.find(f);
                        return at != std::string::npos && at != 1;
                    });
                if (anyOtherOccurrence || text.find(e, 2) != std::string::npos) {
                    continue;
                }
                EXPECT_FALSE(Dirty(text)) << "entry " << e << " after lead " << lead;
                ++checked;
            }
        }
    }
    EXPECT_GT(checked, 100);
}

TEST_P(DirtyString, TrailBytesThatLookLikeWhitespaceStayInTheirCharacter) {
    // 0xB0 followed by a space or a tab is one two-byte character: neither trimmed nor removed.
    const std::vector<std::string> entries = FindableEntries();
    const std::string e = *std::find_if(entries.begin(), entries.end(), [](auto& f) {
        return f.size() == 2 && static_cast<unsigned char>(f[0]) < 0x80;
    });
    EXPECT_TRUE(Dirty(std::string("\xB0 ") + e));
    EXPECT_TRUE(Dirty(std::string("\xB0\t") + e));
    EXPECT_FALSE(Dirty(std::string(1, e[0]) + "\xB0 " + e.substr(1)));
}

std::string ImplementationName(const ::testing::TestParamInfo<Implementation>& param) {
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(Filter, DirtyString,
                         ::testing::Values(Implementation{"Library", LibraryTest, 1},
                                           Implementation{"Reference", taboolex::ReferenceContains,
                                                          11}),
                         ImplementationName);

TEST(DirtyStringNormalise, TrimsAndRemovesWholeCharactersOnly) {
    using taboolex::NormaliseText;
    EXPECT_EQ(NormaliseText(" \t a b \r\n"), "ab");
    EXPECT_EQ(NormaliseText("a\tb\nc"), "a\tb\nc");
    EXPECT_EQ(NormaliseText("\xA1\xA1 x \xA1\xA1"), "\xA1\xA1x\xA1\xA1");
    EXPECT_EQ(NormaliseText("x\xB0 "), "x\xB0 ");
    EXPECT_EQ(NormaliseText("\xB0\t\t"), "\xB0\t");
    EXPECT_EQ(NormaliseText("a \xB0"), "a\xB0");
    EXPECT_EQ(NormaliseText("\x80 \xFF "), "\x80\xFF");
}

TEST(DirtyStringInstances, AreInterchangeable) {
    const std::string e(Entry(0));
    CDirtyString a;
    CDirtyString b;
    EXPECT_EQ(&(a = b), &a);
    EXPECT_TRUE(a.IsTaboolex(e.c_str()));
    EXPECT_TRUE(b.IsTaboolex(e.c_str()));
    EXPECT_FALSE(a.IsTaboolex(nullptr));
    const std::string original = e;
    EXPECT_TRUE(CDirtyString().IsTaboolex(e.c_str()));
    EXPECT_EQ(e, original) << "the caller's text must not change";
}

TEST(DirtyStringThreads, ManyThreadsAtOnceGetTheSameAnswers) {
    std::vector<std::string> texts;
    std::vector<char> expected;
    const std::vector<std::string> entries = FindableEntries();
    for (size_t i = 0; i < entries.size(); i += 3) {
        texts.push_back(kNeutralChar + entries[i] + " ");
        texts.push_back(Join(Chars(entries[i]), "\t"));
    }
    for (const std::string& t : texts) {
        expected.push_back(LibraryTest(t.c_str()) ? 1 : 0);
    }
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            CDirtyString filter;
            for (int round = 0; round < 20; ++round) {
                for (size_t i = t; i < texts.size(); ++i) {
                    if (filter.IsTaboolex(texts[i].c_str()) != (expected[i] == 1)) {
                        ++mismatches;
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
