#pragma once

#include <cstddef>

namespace taboolex {

enum class Encoding { Gbk, Utf8 };
enum class Reading { Exact, Strict };

struct Span {
    std::size_t offset = 0;
    std::size_t length = 0;
    int group = 0;
};

// The first match in text[0, length): the one that ends first, the longest of those. False
// when there is none. Reads the bytes once; allocates nothing.
bool FindFirstMatch(const unsigned char* text, std::size_t length, Reading reading,
                    Encoding encoding, Span* match) noexcept;

// The text with each character of every match replaced by one '*', written to `out` (which may
// be `text` itself, or must hold `length` bytes). Returns whether anything was masked.
bool MaskMatches(const unsigned char* text, std::size_t length, Reading reading, Encoding encoding,
                 unsigned char* out, std::size_t* outLength) noexcept;

} // namespace taboolex
