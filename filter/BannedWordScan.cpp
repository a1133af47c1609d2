#include "BannedWordScan.h"

#include "AutomatonTables.h"
#include "ScanStep.h"

namespace taboolex {

namespace {

using A = automaton::Presence;
using State = A::State;

// The class of the character at `p`, moving `p` past it. A lead byte joins the byte after it
// into one character; when that byte is the terminating NUL the table answers the end class, so
// nothing is read beyond the end.
inline unsigned NextClass(const unsigned char*& p) noexcept {
    const unsigned b = p[0];
    if (TABOOLEX_TWO_BYTE_FIRST(b - 0x81u < 0x7Eu)) {
        const unsigned cls = A::kGbkClass[A::kGbkRow[b] * 256u + p[1]];
        p += 2;
        return cls;
    }
    ++p;
    return A::kGbkClass[b];
}

} // namespace

// Aligned to a cache line: the loops inside are a few dozen bytes, and where they happen to sit
// against the processor's fetch boundaries changed short-text times by a sixth between builds.
__attribute__((aligned(64))) bool ContainsBannedWord(const char* text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    // Two loops, one per kind of state, so that the common case (no word under way) runs the
    // shortest code and each loop's branches are predicted for its own case.
    for (;;) {
        // At the root.
        State s;
        for (;;) {
            const unsigned cls = NextClass(p);
            if (cls - 1 < A::kWordClassCount) {
                s = A::kRootNext[cls];
                if (s != A::kRoot) {
                    break;
                }
            } else if (cls == A::kEndClass) {
                return false;
            }
            // Other characters leave the root where it is; spaces are removed before searching.
        }
        // Inside a word.
        for (;;) {
            if (s & A::kMatchBit) {
                return true;
            }
            const unsigned cls = NextClass(p);
            if (cls - 1 < A::kWordClassCount) {
                s = Step<A>(s, cls);
                if (s == A::kRoot) {
                    break;
                }
            } else if (cls == A::kSkipClass) {
                // Spaces are removed before searching, so they join what stands on either side.
            } else if (cls == A::kEndClass) {
                return false;
            } else {
                // No word holds this character: tab, line break or any other.
                break;
            }
        }
    }
}

std::size_t ScanTableBytes() noexcept {
    return sizeof(A::kGbkRow) + sizeof(A::kGbkClass) + sizeof(A::kRootNext) + sizeof(A::kBase) +
           sizeof(A::kCheck) + sizeof(A::kFail);
}

} // namespace taboolex
