#include "publish/Glob.h"

#include "publish/Utf8.h"

namespace publish {

namespace {

char32_t FoldCase(char32_t c) {
    return c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : c;
}

} // namespace

Glob::Glob(std::string_view pattern) {
    std::u32string text = DecodeUtf8(pattern).value_or(std::u32string());
    for (char32_t& c : text) {
        if (c == U'\\')
            c = U'/';
    }
    // "skin/" means the folder with everything in it.
    if (!text.empty() && text.back() == U'/')
        text += U"**";
    size_t i = 0;
    while (i < text.size() && text[i] == U'/') // anchored at the release folder either way
        ++i;
    for (; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'*' && i + 1 < text.size() && text[i + 1] == U'*') {
            while (i + 1 < text.size() && text[i + 1] == U'*')
                ++i;
            if (i + 1 < text.size() && text[i + 1] == U'/') {
                tokens_.push_back({Kind::AnyFolders, 0});
                ++i;
                nameOnly_ = false;
            } else {
                tokens_.push_back({Kind::AnyRun, 0});
            }
        } else if (c == U'*') {
            tokens_.push_back({Kind::Star, 0});
        } else if (c == U'?') {
            tokens_.push_back({Kind::One, 0});
        } else {
            if (c == U'/')
                nameOnly_ = false;
            tokens_.push_back({Kind::Literal, FoldCase(c)});
        }
    }
}

bool Glob::Matches(std::string_view relativePath) const {
    std::u32string text = DecodeUtf8(relativePath).value_or(std::u32string());
    if (nameOnly_) {
        const size_t slash = text.rfind(U'/');
        if (slash != std::u32string::npos)
            text.erase(0, slash + 1);
    }
    // One memo cell per (token, position): the match stays polynomial whatever the pattern.
    std::vector<signed char> memo((tokens_.size() + 1) * (text.size() + 1), -1);
    return MatchFrom(0, 0, text, memo);
}

bool Glob::MatchFrom(size_t token, size_t at, const std::u32string& text,
                     std::vector<signed char>& memo) const {
    signed char& cell = memo[token * (text.size() + 1) + at];
    if (cell >= 0)
        return cell != 0;
    bool matched = false;
    if (token == tokens_.size()) {
        matched = at == text.size();
    } else {
        const Token& t = tokens_[token];
        const bool more = at < text.size();
        switch (t.TokenKind) {
        case Kind::Literal:
            matched =
                more && FoldCase(text[at]) == t.Char && MatchFrom(token + 1, at + 1, text, memo);
            break;
        case Kind::One:
            matched = more && text[at] != U'/' && MatchFrom(token + 1, at + 1, text, memo);
            break;
        case Kind::Star:
            matched = MatchFrom(token + 1, at, text, memo) ||
                      (more && text[at] != U'/' && MatchFrom(token, at + 1, text, memo));
            break;
        case Kind::AnyRun:
            matched = MatchFrom(token + 1, at, text, memo) ||
                      (more && MatchFrom(token, at + 1, text, memo));
            break;
        case Kind::AnyFolders:
            // Nothing, or whole folder names each followed by their separator.
            matched = MatchFrom(token + 1, at, text, memo);
            for (size_t k = at; !matched && k < text.size(); ++k) {
                if (text[k] == U'/')
                    matched = MatchFrom(token + 1, k + 1, text, memo);
            }
            break;
        }
    }
    cell = matched ? 1 : 0;
    return matched;
}

} // namespace publish
