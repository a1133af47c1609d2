// The shipped library as a host program sees it: linked through its import library (or the
// shared object), and on Windows also loaded at run time and called by export name and
// ordinal, with the member functions called the way code of the Microsoft compiler calls them.

#include "FilterTestTexts.h"
#include "Taboolex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include "platform/UniqueHandle.h"

#include <windows.h>
#endif

namespace {

using filtertest::Entry;

std::string DirtyText() {
    return "  \xA1\xA1" + std::string(Entry(0)) + " ";
}

TEST(TaboolexHost, PlainFunctionAnswersOneOrZero) {
    EXPECT_FALSE(IsTaboolex(nullptr));
    EXPECT_FALSE(IsTaboolex(""));
    EXPECT_FALSE(IsTaboolex(" \t "));
    EXPECT_FALSE(IsTaboolex("\xA1\xA1"));
    EXPECT_TRUE(IsTaboolex(DirtyText().c_str()));
    // One byte, exactly 1 or 0.
    const bool dirty = IsTaboolex(DirtyText().c_str());
    unsigned char byte = 0;
    std::memcpy(&byte, &dirty, 1);
    EXPECT_EQ(byte, 1);
}

// Entries that, standing alone, are the first match of themselves (no shorter word ends
// inside them), with the group that first holds each; every n-th such entry.
struct Sample {
    std::string word;
    int group;
};

std::vector<Sample> StandAloneEntries(unsigned stride) {
    std::vector<Sample> out;
    unsigned index = 0;
    for (int group = 0; group < taboolex::kGroupCount; ++group) {
        for (unsigned i = 0; i < taboolex::kGroupSizes[group]; ++i, ++index) {
            const std::string e(Entry(index));
            TaboolexMatch m{};
            if (index % stride == 0 &&
                TaboolexFind(e.data(), e.size(), TABOOLEX_GBK, &m) == TABOOLEX_FOUND &&
                m.offset == 0 && m.length == e.size()) {
                int first = group + 1;
                for (unsigned j = 0, g = 0, end = taboolex::kGroupSizes[0]; j < index; ++j) {
                    while (j >= end) {
                        end += taboolex::kGroupSizes[++g];
                    }
                    if (Entry(j) == e) {
                        first = static_cast<int>(g) + 1;
                        break;
                    }
                }
                out.push_back({e, first});
            }
        }
    }
    return out;
}

// A word of ASCII letters only, of at least three.
std::string LetterEntry() {
    for (unsigned i = 0; i < taboolex::kEntryCount; ++i) {
        const std::string e(Entry(i));
        if (e.size() >= 3 && std::all_of(e.begin(), e.end(), [](char c) {
                return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            })) {
            return e;
        }
    }
    return {};
}

const std::string kFullWidthSpace = "\xA1\xA1"; // no word holds it

TEST(TaboolexApi, FindGivesOffsetLengthAndGroupInTheCallersText) {
    const std::vector<Sample> samples = StandAloneEntries(97);
    ASSERT_GT(samples.size(), 20u);
    for (const Sample& s : samples) {
        // A NUL is an ordinary character when the length is given.
        const std::string text = std::string("\0", 1) + kFullWidthSpace + " " + s.word + " ";
        TaboolexMatch m{};
        ASSERT_EQ(TaboolexFind(text.data(), text.size(), TABOOLEX_GBK, &m), TABOOLEX_FOUND)
            << s.word;
        EXPECT_EQ(m.offset, 4u);
        EXPECT_EQ(m.length, s.word.size());
        EXPECT_EQ(m.group, s.group) << s.word;
        EXPECT_EQ(TaboolexFind(text.data(), 4, TABOOLEX_GBK, &m), TABOOLEX_CLEAN);
    }
}

TEST(TaboolexApi, MaskingTurnsEachCharacterOfAMatchIntoOneStar) {
    for (const Sample& s : StandAloneEntries(389)) {
        const std::string text = kFullWidthSpace + s.word + kFullWidthSpace;
        const std::string wanted =
            kFullWidthSpace + std::string(filtertest::Chars(s.word).size(), '*') + kFullWidthSpace;
        std::string copy(text.size(), '?');
        size_t length = 0;
        ASSERT_EQ(TaboolexMask(text.data(), text.size(), TABOOLEX_GBK, copy.data(), &length),
                  TABOOLEX_FOUND);
        EXPECT_EQ(copy.substr(0, length), wanted);
        std::string inPlace = text;
        ASSERT_EQ(TaboolexMask(inPlace.data(), text.size(), 0, inPlace.data(), &length),
                  TABOOLEX_FOUND);
        EXPECT_EQ(inPlace.substr(0, length), wanted);
    }
    std::string clean = kFullWidthSpace + "\t" + kFullWidthSpace;
    size_t length = 0;
    EXPECT_EQ(TaboolexMask(clean.data(), clean.size(), 0, clean.data(), &length), TABOOLEX_CLEAN);
    EXPECT_EQ(length, clean.size());
}

TEST(TaboolexApi, StrictReadingSkipsPunctuationAndFoldsCaseAndWidth) {
    const std::string word = LetterEntry();
    ASSERT_FALSE(word.empty());
    std::string shouted;   // "W.O.R.D", GBK
    std::string fullWidth; // the letters in full width, with full-width spaces between, GBK
    std::string utf8Wide;  // the same in UTF-8, behind a character GBK lacks
    for (char c : word) {
        const char upper = static_cast<char>(c >= 'a' ? c - 32 : c);
        shouted += std::string(shouted.empty() ? "" : ".") + upper;
        fullWidth += (fullWidth.empty() ? "" : kFullWidthSpace) + "\xA3" + char(c + 0x80);
        const unsigned cp = 0xFF01u + static_cast<unsigned char>(c) - 0x21u;
        utf8Wide +=
            {char(0xE0 | cp >> 12), char(0x80 | (cp >> 6 & 0x3F)), char(0x80 | (cp & 0x3F))};
    }
    utf8Wide = "\xF0\x9F\x98\x80" + utf8Wide;
    TaboolexMatch m{};
    EXPECT_EQ(TaboolexFind(shouted.data(), shouted.size(), TABOOLEX_GBK, &m), TABOOLEX_CLEAN);
    ASSERT_EQ(TaboolexFind(shouted.data(), shouted.size(), TABOOLEX_STRICT, &m), TABOOLEX_FOUND);
    EXPECT_EQ(m.offset, 0u);
    EXPECT_EQ(m.length, shouted.size());
    ASSERT_EQ(TaboolexFind(fullWidth.data(), fullWidth.size(), TABOOLEX_STRICT, &m),
              TABOOLEX_FOUND);
    EXPECT_EQ(m.length, fullWidth.size());
    ASSERT_EQ(TaboolexFind(utf8Wide.data(), utf8Wide.size(), TABOOLEX_STRICT | TABOOLEX_UTF8, &m),
              TABOOLEX_FOUND);
    EXPECT_EQ(m.offset, 4u);
    // In UTF-8 the ASCII word itself matches by default too, also behind a NUL and a broken byte.
    const std::string utf8 = std::string("\0\xE4", 2) + word;
    ASSERT_EQ(TaboolexFind(utf8.data(), utf8.size(), TABOOLEX_UTF8, &m), TABOOLEX_FOUND);
    EXPECT_EQ(m.offset, 2u);
}

TEST(TaboolexApi, BadArgumentsAreRefusedAndNothingIsWritten) {
    char buffer[8] = "abcdefg";
    size_t length = 99;
    EXPECT_EQ(TaboolexFind(nullptr, 1, 0, nullptr), TABOOLEX_INVALID);
    EXPECT_EQ(TaboolexFind(nullptr, 0, 0, nullptr), TABOOLEX_CLEAN);
    EXPECT_EQ(TaboolexFind(buffer, 7, 4, nullptr), TABOOLEX_INVALID);
    EXPECT_EQ(TaboolexMask(buffer, 7, 0, nullptr, &length), TABOOLEX_INVALID);
    EXPECT_EQ(TaboolexMask(buffer, 7, 0, buffer + 1, &length), TABOOLEX_INVALID);
    EXPECT_EQ(TaboolexMask(buffer + 1, 6, 0, buffer, &length), TABOOLEX_INVALID);
    EXPECT_EQ(TaboolexMask(buffer, 7, 0, buffer, nullptr), TABOOLEX_INVALID);
    EXPECT_EQ(TaboolexMask(buffer, 7, 8, buffer, &length), TABOOLEX_INVALID);
    EXPECT_EQ(length, 99u);
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_EQ(TaboolexMask(nullptr, 0, 0, nullptr, &length), TABOOLEX_CLEAN);
    EXPECT_EQ(length, 0u);
}

#if !defined(_WIN32)
TEST(TaboolexHost, ClassAndPlainFunctionAgree) {
    CDirtyString filter;
    for (unsigned i = 0; i < taboolex::kEntryCount; i += 97) {
        const std::string text = std::string(Entry(i)) + "\t" + std::string(Entry(i + 1));
        const std::string cut(Entry(i).substr(1));
        EXPECT_EQ(filter.IsTaboolex(text.c_str()), IsTaboolex(text.c_str()));
        EXPECT_EQ(filter.IsTaboolex(cut.c_str()), IsTaboolex(cut.c_str()));
    }
}
#else

// The tests run the 64-bit build (32-bit code cannot run on these machines), where a member of
// the Microsoft compiler is an ordinary function taking `this` first.
static_assert(sizeof(void*) == 8, "the Windows tests run the 64-bit build");
const char* const kExportNames[9] = {"??0CDirtyString@@QEAA@XZ",
                                     "??1CDirtyString@@QEAA@XZ",
                                     "??4CDirtyString@@QEAAAEAV0@AEBV0@@Z",
                                     "?IsTaboolex@CDirtyString@@QEAA_NPEBD@Z",
                                     "IsTaboolex",
                                     "IsTaboolex2",
                                     "IsTaboolex3",
                                     "TaboolexFind",
                                     "TaboolexMask"};

using Construct = void* (*)(void* self);
using Destroy = void (*)(void* self);
using Assign = void* (*)(void* self, const void* other);
using MemberTest = bool (*)(void* self, const char* text);
using Unfinished = bool(__cdecl*)();

class TaboolexDll : public ::testing::Test {
protected:
    void SetUp() override {
        module_.reset(LoadLibraryW(L"Taboolex.dll"));
        ASSERT_TRUE(module_) << "LoadLibrary failed: " << GetLastError();
    }

    FARPROC ByName(const char* name) const { return GetProcAddress(module_.get(), name); }
    FARPROC ByOrdinal(WORD ordinal) const {
        return GetProcAddress(module_.get(), MAKEINTRESOURCEA(ordinal));
    }
    // Through void (*)(): the one cast between function types that says "I know the type".
    template <typename F> F Export(WORD ordinal) const {
        return reinterpret_cast<F>(reinterpret_cast<void (*)()>(ByOrdinal(ordinal)));
    }

    UniqueModule module_;
};

TEST_F(TaboolexDll, ExportsNineEntriesByNameAndOrdinal) {
    for (WORD ordinal = 1; ordinal <= 9; ++ordinal) {
        const char* name = kExportNames[ordinal - 1];
        ASSERT_NE(ByOrdinal(ordinal), nullptr) << "ordinal " << ordinal;
        EXPECT_EQ(ByName(name), ByOrdinal(ordinal)) << name;
    }
    EXPECT_EQ(ByOrdinal(10), nullptr);
    EXPECT_EQ(ByOrdinal(0), nullptr);
    // The import library binds to the same code.
    EXPECT_EQ(reinterpret_cast<void (*)()>(&IsTaboolex),
              reinterpret_cast<void (*)()>(ByOrdinal(5)));
}

TEST_F(TaboolexDll, MembersWorkWhenCalledTheMicrosoftWay) {
    alignas(8) unsigned char object[8] = {};
    alignas(8) unsigned char other[8] = {};
    const auto construct = Export<Construct>(1);
    const auto destroy = Export<Destroy>(2);
    const auto assign = Export<Assign>(3);
    const auto test = Export<MemberTest>(4);
    ASSERT_TRUE(construct && destroy && assign && test);

    EXPECT_EQ(construct(object), object);
    EXPECT_EQ(construct(other), other);
    EXPECT_EQ(assign(object, other), object);
    EXPECT_TRUE(test(object, DirtyText().c_str()));
    EXPECT_FALSE(test(object, "\xA1\xA1"));
    EXPECT_FALSE(test(object, nullptr));

    // A host of C may well declare the plain result as a byte; it must read exactly 1 or 0.
    const auto plainAsByte = Export<unsigned char(__cdecl*)(const char*)>(5);
    EXPECT_EQ(plainAsByte(DirtyText().c_str()), 1);
    EXPECT_EQ(plainAsByte("\xA1\xA1"), 0);
    destroy(other);
    destroy(object);
}

// The box blocks the calling thread, so it is shown on a thread of its own and closed from here
// the way a user would, by its OK button.
struct BoxCall {
    Unfinished function;
    bool result = false;
};

DWORD WINAPI CallUnfinished(void* parameter) {
    auto* call = static_cast<BoxCall*>(parameter);
    call->result = call->function();
    return 0;
}

std::wstring ProgramTitle() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    name = name.substr(name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.rfind(L'.'));
}

TEST_F(TaboolexDll, UnfinishedEntryPointsShowTheirBoxAndReturnOne) {
    const std::wstring caption = ProgramTitle();
    const std::pair<WORD, const wchar_t*> cases[] = {{6, L"还没完善的接口2"},
                                                     {7, L"还没完善的接口3"}};
    for (const auto& [ordinal, expectedText] : cases) {
        BoxCall call{Export<Unfinished>(ordinal)};
        ASSERT_NE(call.function, nullptr);
        UniqueHandle thread(CreateThread(nullptr, 0, CallUnfinished, &call, 0, nullptr));
        ASSERT_TRUE(thread);

        HWND box = nullptr;
        for (int tries = 0; tries < 400 && box == nullptr; ++tries) {
            Sleep(50);
            box = FindWindowW(L"#32770", caption.c_str());
        }
        // Without the box the thread stays blocked; ending the process ends it.
        ASSERT_NE(box, nullptr) << "no message box captioned with the program's name";
        wchar_t text[64] = {};
        GetDlgItemTextW(box, 0xFFFF, text, 64);
        EXPECT_EQ(std::wstring(text), expectedText);
        EXPECT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_TIMEOUT) << "did not wait for OK";

        PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_EQ(WaitForSingleObject(thread.get(), 20000), WAIT_OBJECT_0);
        EXPECT_TRUE(call.result);
    }
}
#endif

} // namespace
