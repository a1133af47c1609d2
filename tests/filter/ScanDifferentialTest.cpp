// The library's automaton against the literal scan, over a large reproducible set of texts built to
// sit on the edges: table entries whole, cut anywhere (also inside a two-byte character), with
// spaces and other whitespace in between, letters in the other case, stray lead bytes that shift
// the character boundaries, and random GBK and random bytes around them.

#include "BannedWordScan.h"
#include "FilterTestTexts.h"
#include "ReferenceScan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

using filtertest::Entry;
using taboolex::kEntryCount;

class TextMaker {
public:
    explicit TextMaker(std::uint32_t start) : random_(start) {}

    std::string Make() {
        std::string text;
        const unsigned pieces = 1 + Below(6);
        for (unsigned i = 0; i < pieces; ++i) {
            AppendPiece(text);
        }
        return text;
    }

private:
    unsigned Below(unsigned n) { return static_cast<unsigned>(random_() % n); }

    std::string RandomEntry() { return std::string(Entry(Below(kEntryCount))); }

    void AppendPiece(std::string& text) {
        switch (Below(12)) {
        case 0:
        case 1:
            text += RandomEntry();
            break;
        case 2: { // any byte range of an entry, possibly half a character at either end
            const std::string e = RandomEntry();
            const size_t from = Below(static_cast<unsigned>(e.size()));
            text += e.substr(from, 1 + Below(static_cast<unsigned>(e.size() - from)));
            break;
        }
        case 3: { // an entry with whitespace between some of its characters
            for (const std::string& c : filtertest::Chars(RandomEntry())) {
                text += c;
                if (Below(3) == 0) {
                    text += Whitespace();
                }
            }
            break;
        }
        case 4: { // an entry with its letters' case flipped here and there
            std::string e = RandomEntry();
            for (size_t start : filtertest::CharStarts(e)) {
                const char c = e[start];
                if (Below(2) && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) {
                    e[start] = static_cast<char>(c ^ 0x20);
                }
            }
            text += e;
            break;
        }
        case 5: // a stray lead byte: the next byte becomes its second byte
            text += static_cast<char>(0x81 + Below(0x7E));
            break;
        case 6: // a random GBK character
            text += static_cast<char>(0x81 + Below(0x7E));
            text += static_cast<char>(0x40 + Below(0xBF));
            break;
        case 7: // any byte but NUL
            text += static_cast<char>(1 + Below(255));
            break;
        case 8:
            text += Whitespace();
            break;
        case 9: // ASCII text
            for (unsigned n = 1 + Below(8); n > 0; --n) {
                text += static_cast<char>(0x21 + Below(0x5E));
            }
            break;
        case 10: // an entry straddling: the last byte of one entry and the start of another
            text += RandomEntry().back();
            text += RandomEntry();
            break;
        default: { // the start of an entry running into another: failure links at work
            const std::string e = RandomEntry();
            const std::vector<size_t> starts = filtertest::CharStarts(e);
            text += e.substr(0, starts[Below(static_cast<unsigned>(starts.size()))]);
            text += RandomEntry();
            break;
        }
        }
    }

    std::string Whitespace() {
        static const char* const kinds[] = {" ", "  ", "\t", "\n", "\r\n", "\v", "\f", " \t "};
        return kinds[Below(8)];
    }

    std::mt19937 random_;
};

// Two pages, the second unreadable: a text whose NUL is the first page's last byte shows any
// read past the page the text ends in.
class GuardedPage {
public:
    GuardedPage() {
#if defined(_WIN32)
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        size_ = info.dwPageSize;
        base_ = static_cast<char*>(
            VirtualAlloc(nullptr, 2 * size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (base_ == nullptr || !VirtualProtect(base_ + size_, size_, PAGE_NOACCESS, &old)) {
            throw std::runtime_error("no guarded page");
        }
#else
        size_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void* at =
            mmap(nullptr, 2 * size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base_ = static_cast<char*>(at);
        if (at == MAP_FAILED || mprotect(base_ + size_, size_, PROT_NONE) != 0) {
            throw std::runtime_error("no guarded page");
        }
#endif
    }
    ~GuardedPage() {
#if defined(_WIN32)
        VirtualFree(base_, 0, MEM_RELEASE);
#else
        munmap(base_, 2 * size_);
#endif
    }
    GuardedPage(const GuardedPage&) = delete;
    GuardedPage& operator=(const GuardedPage&) = delete;

    const char* EndingAtPage(const std::string& text) {
        char* at = base_ + size_ - text.size() - 1;
        std::memcpy(at, text.c_str(), text.size() + 1);
        return at;
    }

private:
    char* base_ = nullptr;
    size_t size_ = 0;
};

TEST(ScanDifferential, AutomatonAgreesWithLiteralScanOnReproducibleTexts) {
    TextMaker maker(20240607);
    int dirty = 0;
    constexpr int kTexts = 10000;
    for (int i = 0; i < kTexts; ++i) {
        const std::string text = maker.Make();
        const bool expected = taboolex::ReferenceContains(text.c_str());
        ASSERT_EQ(taboolex::ContainsBannedWord(text.c_str()), expected)
            << "text #" << i << " of " << text.size()
            << " bytes: " << ::testing::PrintToString(text);
        for (const bool filter : {false, true}) {
            ASSERT_EQ(taboolex::ContainsBannedWordByBlocks(text.c_str(), filter), expected)
                << "block scan, text #" << i << ": " << ::testing::PrintToString(text);
        }
        dirty += expected ? 1 : 0;
    }
    // Both answers must be common, or the comparison proves little.
    EXPECT_GT(dirty, kTexts / 5);
    EXPECT_LT(dirty, kTexts * 4 / 5);
}

TEST(ScanDifferential, AutomatonAgreesOnEveryEntryCutOrShifted) {
    // Each entry without its first or last byte, or behind a lead byte that swallows its first
    // byte; one of the four per entry, in turn.
    for (unsigned i = 0; i < kEntryCount; ++i) {
        const std::string e(Entry(i));
        const std::string variants[] = {e.substr(1), e.substr(0, e.size() - 1),
                                        std::string("\x81") + e, std::string("\xFE") + e + "\x81"};
        const std::string& text = variants[i % 4];
        const bool expected = taboolex::ReferenceContains(text.c_str());
        ASSERT_EQ(taboolex::ContainsBannedWord(text.c_str()), expected)
            << ::testing::PrintToString(text);
        for (const bool filter : {false, true}) {
            ASSERT_EQ(taboolex::ContainsBannedWordByBlocks(text.c_str(), filter), expected)
                << "block scan: " << ::testing::PrintToString(text);
        }
    }
}

TEST(ScanDifferential, LongTextsAndTextsEndingAtAnUnreadablePageAgree) {
    // Long texts open with random Chinese characters, which keep the scan leaving the root and
    // coming back to it, so it goes over to whole blocks before the pieces that may hold
    // entries; every text starts at a different offset in its block.
    GuardedPage page;
    TextMaker maker(20261208);
    std::mt19937 random(7);
    for (int i = 0; i < 600; ++i) {
        std::string text;
        if (i % 3 == 0) {
            for (unsigned n = 100 + random() % 200; n > 0; --n) {
                text += static_cast<char>(0xB0 + random() % 0x48);
                text += static_cast<char>(0xA1 + random() % 0x5E);
            }
        }
        text += maker.Make();
        const char* placed = page.EndingAtPage(text);
        const bool expected = taboolex::ReferenceContains(placed);
        ASSERT_EQ(taboolex::ContainsBannedWord(placed), expected) << ::testing::PrintToString(text);
        for (const bool filter : {false, true}) {
            ASSERT_EQ(taboolex::ContainsBannedWordByBlocks(placed, filter), expected)
                << "block scan: " << ::testing::PrintToString(text);
        }
    }
}

} // namespace
