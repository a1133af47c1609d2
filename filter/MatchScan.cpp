#include "MatchScan.h"

#include "AutomatonTables.h"
#include "ScanStep.h"

#include <cstring>

namespace taboolex {

namespace {

using automaton::Exact;
using automaton::Strict;

// Characters of a GBK text of known length: a lead byte with a byte after it (NUL included:
// the table answers a class that breaks every word for a NUL second byte, as for a NUL alone)
// is one character, any other byte one of its own.
template <class A> struct GbkText {
    static unsigned Next(const unsigned char*& p, const unsigned char* end) noexcept {
        const unsigned b = p[0];
        if (TABOOLEX_TWO_BYTE_FIRST(b - 0x81u < 0x7Eu && p + 1 < end)) {
            const unsigned cls = A::kGbkClass[A::kGbkRow[b] * 256u + p[1]];
            p += 2;
            return cls;
        }
        ++p;
        return A::kGbkClass[b];
    }
};

// Characters of a UTF-8 text: a well-formed sequence (no overlong form, no surrogate) is one
// character, any other byte one of its own. Beyond the Basic Multilingual Plane nothing is in
// GBK, so those characters take class 0.
template <class A> struct Utf8Text {
    static bool Continues(unsigned char b) noexcept { return (b & 0xC0u) == 0x80u; }

    static unsigned Of(unsigned cp) noexcept {
        return A::kUniClass[A::kUniRow[cp >> 8] * 256u + (cp & 0xFFu)];
    }

    static unsigned Next(const unsigned char*& p, const unsigned char* end) noexcept {
        const unsigned b = p[0];
        const std::size_t left = static_cast<std::size_t>(end - p);
        if (b < 0x80u) {
            ++p;
            return A::kUniClass[b];
        }
        if (b >= 0xC2u && b <= 0xDFu) {
            if (left >= 2 && Continues(p[1])) {
                const unsigned cp = (b & 0x1Fu) << 6 | (p[1] & 0x3Fu);
                p += 2;
                return Of(cp);
            }
        } else if (b >= 0xE0u && b <= 0xEFu) {
            if (left >= 3 && Continues(p[1]) && Continues(p[2])) {
                const unsigned cp = (b & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
                if (cp >= 0x800u && (cp < 0xD800u || cp > 0xDFFFu)) {
                    p += 3;
                    return Of(cp);
                }
            }
        } else if (b >= 0xF0u && b <= 0xF4u) {
            if (left >= 4 && Continues(p[1]) && Continues(p[2]) && Continues(p[3])) {
                const unsigned cp =
                    (b & 0x07u) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu);
                if (cp >= 0x10000u && cp <= 0x10FFFFu) {
                    p += 4;
                    return 0;
                }
            }
        }
        ++p;
        return 0;
    }
};

// Offsets of the last characters that were compared, enough to find where any word ending at
// the current one starts: no state's path is longer than kMaxDepth characters.
constexpr unsigned kRingSize = 128;
static_assert(Exact::kMaxDepth < kRingSize && Strict::kMaxDepth < kRingSize);

// Runs the automaton over the text and tells the sink, in the order they end, about every
// match (the longest word ending at each character where one ends), with the frontier: the
// first offset at which a match still to come could start. Stops when the sink says so.
//
// Two loops, one per kind of state, as in the presence scan: most characters of a clean text
// leave the machine at the root, and there nothing needs remembering. A path is never longer
// than the characters read since the machine last left the root, so the ring starts afresh
// with the character that leaves it.
template <class A, class Text, class Sink>
void Scan(const unsigned char* text, std::size_t length, Sink& sink) noexcept {
    using State = typename A::State;
    std::size_t ring[kRingSize];
    const unsigned char* p = text;
    const unsigned char* const end = text + length;
    while (p < end) {
        // At the root: skipped characters and those that no word holds leave it there.
        const unsigned char* const at = p;
        const unsigned cls = Text::Next(p, end);
        if (cls - 1 >= A::kWordClassCount) {
            continue;
        }
        State s = A::kRootNext[cls];
        if (s == A::kRoot) {
            continue;
        }
        ring[0] = static_cast<std::size_t>(at - text);
        unsigned count = 1;
        // Tells the sink of the match that the character just read completes.
        const auto tell = [&](State matched) {
            const unsigned slot = matched & ~A::kMatchBit;
            const std::size_t from = ring[(count - A::kMatchLength[slot]) % kRingSize];
            const std::size_t frontier = ring[(count - A::kDepth[slot]) % kRingSize];
            return sink.Match(from, static_cast<std::size_t>(p - text), A::kMatchGroup[slot],
                              frontier);
        };
        if ((s & A::kMatchBit) && !tell(s)) {
            return;
        }
        // Inside a word, until the machine is back at the root.
        while (p < end) {
            const unsigned char* const next = p;
            const unsigned c = Text::Next(p, end);
            if (c - 1 < A::kWordClassCount) {
                s = Step<A>(static_cast<State>(s & ~A::kMatchBit), c);
                if (s == A::kRoot) {
                    break;
                }
                ring[count++ % kRingSize] = static_cast<std::size_t>(next - text);
                if ((s & A::kMatchBit) && !tell(s)) {
                    return;
                }
            } else if (c != A::kSkipClass) {
                break;
            }
        }
        sink.Settled();
    }
    sink.Settled();
}

struct FirstMatch {
    Span span;
    bool found = false;

    bool Match(std::size_t from, std::size_t to, int group, std::size_t) noexcept {
        span = {from, to - from, group};
        found = true;
        return false;
    }
    void Settled() noexcept {}
};

// Writes the masked text behind the scan. Matches arrive in the order they end but may start
// before earlier ones, so they are merged into pending intervals and written out only once no
// match still to come can reach them (they end at or before the frontier). Writing never gets
// ahead of reading: the output is never longer than what has been read, so `out` may be the
// text itself.
template <class Text> class MaskWriter {
public:
    MaskWriter(const unsigned char* text, std::size_t length, unsigned char* out) noexcept
        : text_(text), end_(text + length), out_(out) {}

    bool Match(std::size_t from, std::size_t to, int, std::size_t frontier) noexcept {
        masked_ = true;
        WriteThrough(frontier);
        while (count_ > 0 && pending_[count_ - 1].to >= from) {
            --count_;
            if (pending_[count_].from < from) {
                from = pending_[count_].from;
            }
        }
        pending_[count_++] = {from, to};
        return true;
    }

    // No match still to come can reach back before the current character.
    void Settled() noexcept {
        if (count_ > 0) {
            WriteThrough(static_cast<std::size_t>(end_ - text_));
        }
    }

    std::size_t Finish() noexcept {
        Copy(static_cast<std::size_t>(end_ - text_));
        return written_;
    }

    bool Masked() const noexcept { return masked_; }

private:
    struct Interval {
        std::size_t from;
        std::size_t to;
    };

    void WriteThrough(std::size_t frontier) noexcept {
        unsigned done = 0;
        while (done < count_ && pending_[done].to <= frontier) {
            Copy(pending_[done].from);
            Star(pending_[done].to);
            ++done;
        }
        if (done > 0) {
            count_ -= done;
            std::memmove(pending_, pending_ + done, count_ * sizeof(Interval));
        }
    }

    void Copy(std::size_t to) noexcept {
        if (out_ + written_ != text_ + read_) {
            std::memmove(out_ + written_, text_ + read_, to - read_);
        }
        written_ += to - read_;
        read_ = to;
    }

    void Star(std::size_t to) noexcept {
        const unsigned char* p = text_ + read_;
        while (p < text_ + to) {
            Text::Next(p, end_);
            out_[written_++] = '*';
        }
        read_ = to;
    }

    const unsigned char* const text_;
    const unsigned char* const end_;
    unsigned char* const out_;
    std::size_t read_ = 0;
    std::size_t written_ = 0;
    bool masked_ = false;
    // Pending intervals all end inside the current state's path (earlier ones were written), so
    // there are never more than that path has characters, plus the one being added.
    Interval pending_[kRingSize + 1];
    unsigned count_ = 0;
};

template <class A, template <class> class Text>
bool Find(const unsigned char* text, std::size_t length, Span* match) noexcept {
    FirstMatch sink;
    Scan<A, Text<A>>(text, length, sink);
    if (sink.found && match != nullptr) {
        *match = sink.span;
    }
    return sink.found;
}

template <class A, template <class> class Text>
bool Mask(const unsigned char* text, std::size_t length, unsigned char* out,
          std::size_t* outLength) noexcept {
    MaskWriter<Text<A>> writer(text, length, out);
    Scan<A, Text<A>>(text, length, writer);
    *outLength = writer.Finish();
    return writer.Masked();
}

} // namespace

bool FindFirstMatch(const unsigned char* text, std::size_t length, Reading reading,
                    Encoding encoding, Span* match) noexcept {
    if (reading == Reading::Exact) {
        return encoding == Encoding::Gbk ? Find<Exact, GbkText>(text, length, match)
                                         : Find<Exact, Utf8Text>(text, length, match);
    }
    return encoding == Encoding::Gbk ? Find<Strict, GbkText>(text, length, match)
                                     : Find<Strict, Utf8Text>(text, length, match);
}

bool MaskMatches(const unsigned char* text, std::size_t length, Reading reading, Encoding encoding,
                 unsigned char* out, std::size_t* outLength) noexcept {
    if (reading == Reading::Exact) {
        return encoding == Encoding::Gbk ? Mask<Exact, GbkText>(text, length, out, outLength)
                                         : Mask<Exact, Utf8Text>(text, length, out, outLength);
    }
    return encoding == Encoding::Gbk ? Mask<Strict, GbkText>(text, length, out, outLength)
                                     : Mask<Strict, Utf8Text>(text, length, out, outLength);
}

} // namespace taboolex
