#pragma once
// Patterns that pick files of a release by relative path ("/" or "\" between folders):
//   *    any run of characters within one folder level
//   ?    one character other than a folder separator
//   **   any run of characters across levels; "**/" also matches no folder at all
// A pattern without a separator is matched against the file name alone, in every folder; one
// with a separator against the whole relative path; one ending in a separator matches everything
// in that folder. Letters match ignoring ASCII case, as the
// file names will on Windows.

#include <string>
#include <string_view>
#include <vector>

namespace publish {

class Glob {
public:
    // The pattern must be valid UTF-8 (the caller checks).
    explicit Glob(std::string_view pattern);

    // `relativePath` is valid UTF-8 with "/" between folders.
    bool Matches(std::string_view relativePath) const;

private:
    enum class Kind { Literal, One, Star, AnyRun, AnyFolders };
    struct Token {
        Kind TokenKind;
        char32_t Char;
    };
    bool MatchFrom(size_t token, size_t at, const std::u32string& text,
                   std::vector<signed char>& memo) const;

    std::vector<Token> tokens_;
    bool nameOnly_ = true;
};

} // namespace publish
