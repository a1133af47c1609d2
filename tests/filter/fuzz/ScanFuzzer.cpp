// libFuzzer target: the library's automaton must give the literal scan's answer for any text.
// Half of the inputs are taken as raw bytes; the other half as a little program that splices
// table entries, cut entries and chosen bytes, so the fuzzer reaches texts where entries nearly
// match, overlap and straddle character boundaries far sooner than from raw bytes.

#include "BannedWordScan.h"
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
    return 0;
}
