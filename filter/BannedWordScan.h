#pragma once

#include <cstddef>

namespace taboolex {

// True when the text contains a word of the built-in table, with the text read as the filter
// defines it: whitespace trimmed at both ends, every single-byte space removed, and a word found
// only where it starts at a GBK character boundary, byte-exact. The whole answer comes from one
// pass over the caller's bytes; nothing is allocated (texts of 96 bytes or more are read in
// 64-byte blocks, without their spaces, through a buffer of 1.5 KiB on the stack). `text` must
// not be null.
bool ContainsBannedWord(const char* text) noexcept;

// IsTaboolex's answer, for the plain function and the class's member alike: a null text is
// clean.
inline bool IsTaboolexText(const char* text) noexcept {
    return text != nullptr && ContainsBannedWord(text);
}

// The same answer from the scan over 64-byte blocks that ContainsBannedWord gives long texts
// to, here from the first byte on whatever the length, so that tests reach it with any text;
// with `filterLongFromStart`, its filter for starts of longer words (which long texts meet
// from their ninth block on) is on from the first block. Where the processor lacks the
// block scan's instructions, the character scan answers.
bool ContainsBannedWordByBlocks(const char* text, bool filterLongFromStart) noexcept;

// Bytes of read-only data the scan uses (its automaton, character classes and the block scan's
// prefilter).
std::size_t ScanTableBytes() noexcept;

} // namespace taboolex
