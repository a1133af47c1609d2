#pragma once
// What the two scans over the generated automata share: the layout hint for two-byte characters
// and the automaton's move.

namespace taboolex {

// Chinese text is mostly two-byte characters. GCC lays the single-byte path out first unless
// told otherwise, which left the Windows DLL a third slower than the native library on chat
// lines; clang's own layout measured best as it is.
#if defined(__clang__)
#define TABOOLEX_TWO_BYTE_FIRST(lead) (lead)
#else
#define TABOOLEX_TWO_BYTE_FIRST(lead) __builtin_expect((lead), 1)
#endif

// The move of the automaton `A` from the inner state `s` (without its match bit) on a word
// class. Following failure links costs at most as many steps as moves taken before, so a scan
// stays linear.
template <class A> inline typename A::State Step(typename A::State s, unsigned cls) noexcept {
    using State = typename A::State;
    do {
        const unsigned slot = A::kBase[s] + cls;
        const State check = A::kCheck[slot];
        if ((check & ~A::kMatchBit) == s) {
            return static_cast<State>(slot | (check & A::kMatchBit));
        }
        s = A::kFail[s];
    } while (s != A::kRoot);
    return A::kRootNext[cls];
}

} // namespace taboolex
