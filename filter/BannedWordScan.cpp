#include "BannedWordScan.h"

#include "AutomatonTables.h"

namespace taboolex {

namespace {

using namespace automaton;

// The move of the automaton from `s` on a character of class `cls` (not 0). Following failure
// links costs at most as many steps as moves taken before, so the scan stays linear.
inline State Step(State s, unsigned cls) noexcept {
    while (s != kRoot) {
        const unsigned slot = kBase[s] + cls;
        if (kCheck[slot] == s) {
            return static_cast<State>(slot);
        }
        s = kFail[s];
    }
    return kRootNext[cls];
}

} // namespace

bool ContainsBannedWord(const char* text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    State s = kRoot;
    for (;;) {
        const unsigned b = p[0];
        unsigned cls;
        if (b - 0x81u < 0x7Eu) {
            // A lead byte joins the next byte into one character unless the text ends there;
            // a lone lead byte at the end occurs in no word, so the answer is settled.
            const unsigned trail = p[1];
            if (trail == 0) {
                return false;
            }
            cls = kPairClass[kLeadRow[b] * 256u + trail];
            p += 2;
        } else {
            if (b == 0) {
                return false;
            }
            ++p;
            // Spaces are removed before searching, so they join what stands on either side.
            // Other whitespace is trimmed only at the ends; no word holds it, so inside the
            // text it breaks words and at the ends it changes nothing.
            if (b == 0x20) {
                continue;
            }
            cls = kByteClass[b];
        }
        if (cls == 0) {
            s = kRoot;
            continue;
        }
        s = Step(s, cls);
        if (kBase[s] == kLeafBase) {
            return true;
        }
    }
}

std::size_t ScanTableBytes() noexcept {
    return sizeof(kByteClass) + sizeof(kLeadRow) + sizeof(kPairClass) + sizeof(kRootNext) +
           sizeof(kBase) + sizeof(kCheck) + sizeof(kFail);
}

} // namespace taboolex
