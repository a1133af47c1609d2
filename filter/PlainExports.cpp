#include "Taboolex.h"

#include "BannedWordScan.h"
#include "MatchScan.h"

#include <cstdint>

// Nothing below can throw: the scans are noexcept and allocate nothing. So no exception can
// reach a host of another compiler or language, and the native library is built without any
// exception support (it needs no C++ runtime).

// The class is stateless, so the plain function answers as its member does without making an
// instance: that took three calls into the library, a tenth of a short line's time.
extern "C" bool TABOOLEX_CDECL IsTaboolex(const char* text) {
    return taboolex::IsTaboolexText(text);
}

namespace {

constexpr unsigned kKnownFlags = TABOOLEX_UTF8 | TABOOLEX_STRICT;

taboolex::Reading ReadingOf(unsigned flags) {
    return flags & TABOOLEX_STRICT ? taboolex::Reading::Strict : taboolex::Reading::Exact;
}

taboolex::Encoding EncodingOf(unsigned flags) {
    return flags & TABOOLEX_UTF8 ? taboolex::Encoding::Utf8 : taboolex::Encoding::Gbk;
}

// Where a caller passes no bytes, a null pointer is as good as any.
const unsigned char* Bytes(const char* text) {
    static const unsigned char kNothing = 0;
    return text != nullptr ? reinterpret_cast<const unsigned char*>(text) : &kNothing;
}

} // namespace

extern "C" int TABOOLEX_CDECL TaboolexFind(const char* text, size_t length, unsigned flags,
                                           TaboolexMatch* match) {
    if ((text == nullptr && length > 0) || (flags & ~kKnownFlags) != 0) {
        return TABOOLEX_INVALID;
    }
    taboolex::Span span;
    if (!taboolex::FindFirstMatch(Bytes(text), length, ReadingOf(flags), EncodingOf(flags),
                                  &span)) {
        return TABOOLEX_CLEAN;
    }
    if (match != nullptr) {
        match->offset = span.offset;
        match->length = span.length;
        match->group = span.group;
    }
    return TABOOLEX_FOUND;
}

extern "C" int TABOOLEX_CDECL TaboolexMask(const char* text, size_t length, unsigned flags,
                                           char* out, size_t* outLength) {
    if ((text == nullptr && length > 0) || (out == nullptr && length > 0) || outLength == nullptr ||
        (flags & ~kKnownFlags) != 0) {
        return TABOOLEX_INVALID;
    }
    // Masking writes behind its reading, which is safe in place but not into a buffer that
    // starts inside the text or ends inside it.
    const auto from = reinterpret_cast<std::uintptr_t>(text);
    const auto to = reinterpret_cast<std::uintptr_t>(out);
    if (length > 0 && from != to && to < from + length && from < to + length) {
        return TABOOLEX_INVALID;
    }
    if (length == 0) {
        *outLength = 0;
        return TABOOLEX_CLEAN;
    }
    return taboolex::MaskMatches(Bytes(text), length, ReadingOf(flags), EncodingOf(flags),
                                 reinterpret_cast<unsigned char*>(out), outLength)
               ? TABOOLEX_FOUND
               : TABOOLEX_CLEAN;
}
