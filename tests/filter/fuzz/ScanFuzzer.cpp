// libFuzzer target: the library's automaton, character by character and by blocks, must give
// the literal scan's answer for any text, and the calls with a length must agree with it and
// with themselves in every reading and encoding (a match found is masked, masking in place is
// masking into a copy, a match found is found again, whole, in its own bytes). Half of the inputs
// are taken as raw bytes; the other half as a little program that splices table entries, cut
// entries and chosen bytes, so the fuzzer reaches texts where entries nearly match, overlap and
// straddle character boundaries far sooner than from raw bytes.

#include "BannedWordScan.h"
#include "MatchScan.h"
#include "ReferenceScan.h"
#include "WordTable.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>

namespace {

// A reference scan costs a pass over the whole table per position; longer texts add nothing
// that shorter ones do not show.
constexpr size_t kMaxText = 400;

std::string Splice(const std::uint8_t* data, size_t size) {
    std::string text;
    for (size_t i = 0; i + 2 < size && text.size() < kMaxText; i += 3) {
        const unsigned op = data[i];
        const unsigned arg = data[i + 1] << 8 | data[i + 2];
        const taboolex::WordEntry& entry = taboolex::kWordTable[arg % taboolex::kEntryCount];
        const std::string e(entry.text, entry.length);
        switch (op & 3) {
        case 0:
            text += e;
            break;
        case 1: // without its first byte
            text += e.substr(1);
            break;
        case 2: // a prefix, maybe ending inside a two-byte character
            text += e.substr(0, (op >> 2) % e.size());
            break;
        default: // two chosen bytes
            if (data[i + 1] != 0) {
                text += static_cast<char>(data[i + 1]);
            }
            if (data[i + 2] != 0) {
                text += static_cast<char>(data[i + 2]);
            }
            break;
        }
    }
    return text;
}

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

void CheckCallsWithLength(const std::string& text, unsigned flags) {
    using namespace taboolex;
    const Reading reading = flags & 1 ? Reading::Strict : Reading::Exact;
    const Encoding encoding = flags & 2 ? Encoding::Utf8 : Encoding::Gbk;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    Span span;
    const bool found = FindFirstMatch(bytes, text.size(), reading, encoding, &span);

    std::string copy(text.size(), '\0');
    std::string inPlace = text;
    size_t copyLength = 0;
    size_t inPlaceLength = 0;
    const bool masked = MaskMatches(bytes, text.size(), reading, encoding,
                                    reinterpret_cast<unsigned char*>(copy.data()), &copyLength);
    auto* own = reinterpret_cast<unsigned char*>(inPlace.data());
    MaskMatches(own, text.size(), reading, encoding, own, &inPlaceLength);
    if (masked != found) {
        Fail("a match was found but not masked, or masked but not found");
    }
    if (copyLength > text.size() ||
        copy.substr(0, copyLength) != inPlace.substr(0, inPlaceLength)) {
        Fail("masking in place differs from masking into a copy");
    }
    if (!found) {
        if (copy.substr(0, copyLength) != text) {
            Fail("a clean text was changed");
        }
        return;
    }
    if (span.length == 0 || span.offset + span.length > text.size() || span.group < 1 ||
        span.group > 6) {
        Fail("a match outside the text");
    }
    Span again;
    if (!FindFirstMatch(bytes + span.offset, span.length, reading, encoding, &again) ||
        again.offset != 0 || again.length != span.length || again.group != span.group) {
        Fail("a match is not found again, whole, in its own bytes");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string text = data[0] & 1
                                 ? Splice(data + 1, size - 1)
                                 : std::string(reinterpret_cast<const char*>(data + 1), size - 1);
    // Both read the text up to its first NUL, as a C string.
    const bool expected = taboolex::ReferenceContains(text.c_str());
    if (taboolex::ContainsBannedWord(text.c_str()) != expected) {
        std::fprintf(stderr, "automaton says %d, literal scan %d\n", !expected, expected);
        std::abort();
    }
    for (const bool filter : {false, true}) {
        if (taboolex::ContainsBannedWordByBlocks(text.c_str(), filter) != expected) {
            Fail("the block scan disagrees with the literal scan");
        }
    }
    // The default reading of GBK is IsTaboolex's, over the whole length.
    taboolex::Span span;
    const std::string beforeNul(text.c_str());
    if (taboolex::FindFirstMatch(reinterpret_cast<const unsigned char*>(beforeNul.data()),
                                 beforeNul.size(), taboolex::Reading::Exact,
                                 taboolex::Encoding::Gbk, &span) != expected) {
        Fail("the call with a length disagrees with the literal scan");
    }
    CheckCallsWithLength(text, data[0] >> 1 & 3);
    return 0;
}
