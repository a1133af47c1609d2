#include "BannedWordScan.h"

#include "AutomatonTables.h"

namespace taboolex {

namespace {

using namespace automaton;

// The class of the character at `p`, moving `p` past it. A lead byte joins the byte after it
// into one character; when that byte is the terminating NUL the table answers kEndClass, so
// nothing is read beyond the end.
inline unsigned NextClass(const unsigned char*& p) noexcept {
    const unsigned b = p[0];
    if (b - 0x81u < 0x7Eu) {
        const unsigned cls = kCharClass[kLeadRow[b] * 256u + p[1]];
        p += 2;
        return cls;
    }
    ++p;
    return kCharClass[b];
}

// The move of the automaton from the inner state `s` on a character of a word. Following
// failure links costs at most as many steps as moves taken before, so the scan stays linear.
inline State Step(State s, unsigned cls) noexcept {
    do {
        const unsigned slot = kBase[s] + cls;
        const State check = kCheck[slot];
        if ((check & ~kLeafBit) == s) {
            return static_cast<State>(slot | (check & kLeafBit));
        }
        s = kFail[s];
    } while (s != kRoot);
    return kRootNext[cls];
}

} // namespace

bool ContainsBannedWord(const char* text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    // Two loops, one per kind of state, so that the common case (no word under way) runs the
    // shortest code and each loop's branches are predicted for its own case.
    for (;;) {
        // At the root.
        State s;
        for (;;) {
            const unsigned cls = NextClass(p);
            if (cls - 1 < kWordClassCount) {
                s = kRootNext[cls];
                if (s != kRoot) {
                    break;
                }
            } else if (cls == kEndClass) {
                return false;
            }
            // Other characters leave the root where it is; spaces are removed before searching.
        }
        // Inside a word.
        for (;;) {
            if (s & kLeafBit) {
                return true;
            }
            const unsigned cls = NextClass(p);
            if (cls - 1 < kWordClassCount) {
                s = Step(s, cls);
                if (s == kRoot) {
                    break;
                }
            } else if (cls == kSpaceClass) {
                // Spaces are removed before searching, so they join what stands on either side.
            } else if (cls == kEndClass) {
                return false;
            } else {
                // No word holds this character: tab, line break or any other.
                break;
            }
        }
    }
}

std::size_t ScanTableBytes() noexcept {
    return sizeof(kLeadRow) + sizeof(kCharClass) + sizeof(kRootNext) + sizeof(kBase) +
           sizeof(kCheck) + sizeof(kFail);
}

} // namespace taboolex
