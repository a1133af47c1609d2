#include "BannedWordScan.h"

#include "AutomatonTables.h"
#include "ScanStep.h"

#include <cstdint>

// On x86-64 a second scan works on 64-byte blocks with AVX-512 (BW, VBMI, VBMI2, BITALG) and
// GFNI, chosen at run time; 32-bit builds and other processors keep the character loop alone.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TABOOLEX_BLOCK_SCAN 1
#include <immintrin.h>
#else
#define TABOOLEX_BLOCK_SCAN 0
#endif

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

#if TABOOLEX_BLOCK_SCAN

// Texts of this many bytes or more go to the block scan, which takes some 40 ns to start and to
// finish: on shorter ones the character loop answers sooner.
constexpr unsigned kBlockScanFrom = 96;

// Whether the text at `p` holds kBlockScanFrom bytes or more, near the end of a page: aligned
// 16-byte loads, the next one only while no NUL has been seen, never touch a page the text does
// not reach. The bytes before `p` that share its first load are not the text's, so the address
// sanitizer must not see these loads.
__attribute__((no_sanitize("address"))) bool LongTextNearPageEnd(const unsigned char* p) noexcept {
    const auto at = reinterpret_cast<std::uintptr_t>(p);
    std::uintptr_t chunk = at & ~std::uintptr_t{15};
    unsigned valid = 0xFFFFu << (at - chunk);
    for (;;) {
        const __m128i v = _mm_load_si128(reinterpret_cast<const __m128i*>(chunk));
        const unsigned nul =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128()))) &
            valid;
        if (nul != 0) {
            return false;
        }
        chunk += 16;
        if (chunk - at >= kBlockScanFrom) {
            return true;
        }
        valid = 0xFFFF;
    }
}

// Whether the text at `p` starts kBlockScanFrom bytes or more before a page's end.
inline bool FarFromPageEnd(const unsigned char* p) noexcept {
    return (reinterpret_cast<std::uintptr_t>(p) & 4095) <= 4096 - kBlockScanFrom;
}

// Whether the text at `p`, far from a page's end, holds kBlockScanFrom bytes or more. The
// bytes are read 32 at a time from `p` on, whatever lies past the NUL (never another page),
// the fewest instructions for a short text: SSE2 only, so that the check costs short texts no
// call.
__attribute__((no_sanitize("address"))) inline bool LongText(const unsigned char* p) noexcept {
    static_assert(kBlockScanFrom % 32 == 0, "the text is read 32 bytes at a time");
    for (unsigned i = 0; i < kBlockScanFrom; i += 32) {
        const __m128i both =
            _mm_min_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 16)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(both, _mm_setzero_si128())) != 0) {
            return false;
        }
    }
    return true;
}

bool BlockScanUsable() noexcept {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("avx512bitalg") && __builtin_cpu_supports("gfni") &&
           __builtin_cpu_supports("bmi2");
}

bool BlockScan(const unsigned char* p, bool filterLongFromStart) noexcept;

#endif

// The scan one character at a time, for texts shorter than kBlockScanFrom or processors without
// the block scan's instructions. Aligned to a cache line, and called rather than inlined into
// ContainsBannedWord: the loops inside are a few dozen bytes, and where they happen to sit
// against the processor's fetch boundaries changed short-text times by a sixth between builds,
// so nothing else shares this function's code.
__attribute__((aligned(64), noinline)) bool CharacterScan(const char* text) noexcept {
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

#if TABOOLEX_BLOCK_SCAN

using F = automaton::PresenceFilter;

// True when a word begins at the character start `p`. Only the automaton's forward moves are
// taken: a word that begins further on has a start of its own, which the block scan looks at.
bool WordStartsAt(const unsigned char* p) noexcept {
    State s = A::kRoot;
    for (;;) {
        const unsigned cls = NextClass(p);
        if (cls - 1 < A::kWordClassCount) {
            if (s == A::kRoot) {
                s = A::kRootNext[cls];
                if (s == A::kRoot) {
                    return false;
                }
            } else {
                const unsigned slot = A::kBase[s] + cls;
                const State check = A::kCheck[slot];
                if ((check & ~A::kMatchBit) != s) {
                    return false;
                }
                s = static_cast<State>(slot | (check & A::kMatchBit));
            }
            if (s & A::kMatchBit) {
                return true;
            }
        } else if (cls != A::kSkipClass) {
            return false;
        }
    }
}

// A word at the very start of a long text is found before the block scan would have looked at
// anything (it reads some 200 bytes ahead first): the character starts among the first
// kCharactersFirst bytes are tried one by one, 19 ns instead of 75 for a 256-byte text that
// opens with a word. Measured against walking the automaton over the first word attempt, this
// cost the same natively and left the Windows DLL a tenth faster on 256-byte texts.
constexpr std::ptrdiff_t kCharactersFirst = 4;

__attribute__((noinline)) bool LongTextScan(const unsigned char* p) noexcept {
    // The text holds kBlockScanFrom bytes and no NUL among them.
    for (const unsigned char* q = p; q < p + kCharactersFirst; q += q[0] - 0x81u < 0x7Eu ? 2 : 1) {
        if (WordStartsAt(q)) {
            return true;
        }
    }
    return BlockScan(p, false);
}

// ContainsBannedWord for a text that starts near a page's end, seldom taken.
__attribute__((noinline)) bool ScanNearPageEnd(const unsigned char* p) noexcept {
    if (LongTextNearPageEnd(p) && BlockScanUsable()) {
        return LongTextScan(p);
    }
    return CharacterScan(reinterpret_cast<const char*>(p));
}

#define TABOOLEX_BLOCK_TARGET                                                                      \
    __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,avx512bitalg,gfni,bmi,bmi2,"    \
                          "popcnt")))

// Starts waiting for the window table (words of four bytes or more): their first four bytes
// and bytes 5 and 6 (a lane each), queued block by block and looked up sixteen at a time when
// the queue is emptied, so that a block's last few starts share a lookup with the next block's
// first ones instead of taking one of their own (a block of text in Chinese has some 32 starts,
// so that was every other block).
struct WindowQueue {
    // Eight blocks at most: as fast as sixteen, on half the stack.
    static constexpr unsigned kBlocks = 8;
    // Room for a last group of sixteen written in full.
    alignas(64) std::uint32_t first4[kBlocks * 64 + 16];
    alignas(64) std::uint32_t next2[kBlocks * 64 + 16];
    // Per block: the starts' offsets, where the block is in the buffer, and the lanes queued up
    // to its end.
    alignas(64) unsigned char at[kBlocks][64];
    unsigned blockAt[kBlocks];
    unsigned lanesTo[kBlocks];
    unsigned blocks = 0;
    unsigned lanes = 0;
};

// Which of the 64 character starts `starts` of the space-free bytes at `buf + done` may begin a
// word of two or three bytes, looking at two bytes from each; the starts are queued for the
// window table, with `filterLong` only those whose two bytes may begin a longer word.
// `buf + done` holds 128 readable bytes.
TABOOLEX_BLOCK_TARGET inline std::uint64_t Candidates(const unsigned char* buf, unsigned done,
                                                      std::uint64_t starts, WindowQueue& queue,
                                                      bool filterLong) noexcept {
    const __m512i c0 = _mm512_load_si512(buf + done);
    const __m512i c1 = _mm512_load_si512(buf + done + 64);
    const __m512i iota = _mm512_set_epi64(
        0x3F3E3D3C3B3A3938, 0x3736353433323130, 0x2F2E2D2C2B2A2928, 0x2726252423222120,
        0x1F1E1D1C1B1A1918, 0x1716151413121110, 0x0F0E0D0C0B0A0908, 0x0706050403020100);
    // Words of two or three bytes: both Bloom filters over the first two bytes.
    const __m512i second =
        _mm512_permutex2var_epi8(c0, _mm512_add_epi8(iota, _mm512_set1_epi8(1)), c1);
    // Bit i of byte j of a 64-bit lane is bit (j * 8 + i) of that lane.
    const __m512i laneBytes = _mm512_slli_epi64(_mm512_and_si512(iota, _mm512_set1_epi8(7)), 3);
    const __m512i lowBits = _mm512_set1_epi8(7);
    std::uint64_t found = starts;
    std::uint64_t toWindow = starts;
    for (int f = 0; f < 2; ++f) {
        const std::uint64_t* maps = F::kShortMaps + 2 * f;
        const __m512i byteIndex =
            _mm512_xor_si512(_mm512_gf2p8affine_epi64_epi8(
                                 c0, _mm512_set1_epi64(static_cast<long long>(maps[0])), 0),
                             _mm512_gf2p8affine_epi64_epi8(
                                 second, _mm512_set1_epi64(static_cast<long long>(maps[1])), 0));
        const __m512i bitIndex = f == 0 ? second : c0;
        const __m512i bits =
            _mm512_permutex2var_epi8(_mm512_load_si512(F::kShortBits + 128 * f), byteIndex,
                                     _mm512_load_si512(F::kShortBits + 128 * f + 64));
        // (bitIndex & 7) | laneBytes
        const __m512i select = _mm512_ternarylogic_epi32(bitIndex, lowBits, laneBytes, 0xEA);
        found &= _mm512_bitshuffle_epi64_mask(bits, select);
        if (f == 0 && filterLong) {
            // Words of four bytes or more: a Bloom filter of 2048 bits at the first one's place,
            // the eighth bit of its byte index choosing the half, keeps about a third of the
            // starts of chat text out of the window table, whose lookups are the scan's dearest
            // part.
            const __m512i lowHalf = _mm512_permutex2var_epi8(
                _mm512_load_si512(F::kLongBits), byteIndex, _mm512_load_si512(F::kLongBits + 64));
            const __m512i highHalf =
                _mm512_permutex2var_epi8(_mm512_load_si512(F::kLongBits + 128), byteIndex,
                                         _mm512_load_si512(F::kLongBits + 192));
            toWindow &= _mm512_bitshuffle_epi64_mask(
                _mm512_mask_blend_epi8(_mm512_movepi8_mask(byteIndex), lowHalf, highHalf), select);
        }
    }

    // Words of four bytes or more: the bytes of each start that may begin one, sixteen starts
    // at a time, into the queue.
    const __m512i at = _mm512_maskz_compress_epi8(toWindow, iota);
    const unsigned count = static_cast<unsigned>(_mm_popcnt_u64(toWindow));
    // Lane i of group g takes the offset of start g + i in all four bytes.
    const __m512i spread =
        _mm512_set_epi32(0x0F0F0F0F, 0x0E0E0E0E, 0x0D0D0D0D, 0x0C0C0C0C, 0x0B0B0B0B, 0x0A0A0A0A,
                         0x09090909, 0x08080808, 0x07070707, 0x06060606, 0x05050505, 0x04040404,
                         0x03030303, 0x02020202, 0x01010101, 0x00000000);
    std::uint32_t* first4 = queue.first4 + queue.lanes;
    std::uint32_t* next2 = queue.next2 + queue.lanes;
    for (unsigned g = 0; g < count; g += 16) {
        const __m512i offsets = _mm512_permutexvar_epi8(
            _mm512_add_epi8(spread, _mm512_set1_epi8(static_cast<char>(g))), at);
        // Each character's second byte low in its 16-bit half: bytes 2, 1, 4, 3.
        _mm512_storeu_si512(first4 + g,
                            _mm512_permutex2var_epi8(
                                c0, _mm512_add_epi8(offsets, _mm512_set1_epi32(0x02030001)), c1));
        // Bytes 5 and 6 in both halves.
        _mm512_storeu_si512(next2 + g,
                            _mm512_permutex2var_epi8(
                                c0, _mm512_add_epi8(offsets, _mm512_set1_epi32(0x05040504)), c1));
    }
    _mm512_store_si512(queue.at[queue.blocks], at);
    queue.blockAt[queue.blocks] = done;
    queue.lanes += count;
    queue.lanesTo[queue.blocks] = queue.lanes;
    ++queue.blocks;
    return found;
}

// Looks the queued starts up in the window table and walks the automaton from those it flags;
// true when a word begins at one of them. The queue is empty afterwards.
TABOOLEX_BLOCK_TARGET bool EmptyQueue(const unsigned char* buf, WindowQueue& queue) noexcept {
    std::uint64_t hits[(WindowQueue::kBlocks * 64 + 15) / 16];
    std::uint64_t anyHit = 0;
    const unsigned lanes = queue.lanes;
    for (unsigned g = 0; g < lanes; g += 16) {
        const __m512i first4 = _mm512_load_si512(queue.first4 + g);
        const __m512i next2 = _mm512_load_si512(queue.next2 + g);
        const __m512i product = _mm512_mullo_epi16(
            first4,
            _mm512_set1_epi32(static_cast<int>(std::uint32_t{F::kHighMul} << 16 | F::kLowMul)));
        // The table's byte offset: the top 14 bits of the halves' xor, times four. The high
        // half is moved down by a byte shuffle, as the processor shifts on one port only and
        // that port is the busier here; the upper bytes, which do not count, are chosen so
        // that the compiler keeps the one byte shuffle instead of two word shuffles.
        static_assert(F::kWindowBits == 14, "the index is the products' xor without two bits");
        const __m512i high = _mm512_shuffle_epi8(
            product,
            _mm512_broadcast_i32x4(_mm_set_epi32(0x0E0F0F0E, 0x0A0B0B0A, 0x06070706, 0x02030302)));
        const __m512i index =
            _mm512_ternarylogic_epi32(product, high, _mm512_set1_epi32(0xFFFC), 0x28);
        const __m512i entry = _mm512_i32gather_epi32(index, F::kWindow, 1);
        // Either fingerprint (bytes 1 and 3) equal, or any accepted (bit 7 set in the table),
        // is a byte of zero or less...
        const __m512i differ =
            _mm512_ternarylogic_epi32(entry, product, _mm512_set1_epi32(0x7F007F00), 0x78);
        // ... and the bit for what follows set: bits 11, 12, 13 and 15 of the product of bytes 5
        // and 6, in bytes 1 and 3, pick a bit of bytes 0 and 2 of the lane's 64-bit half.
        const __m512i follow = _mm512_srli_epi16(
            _mm512_mullo_epi16(next2, _mm512_set1_epi32(static_cast<int>(
                                          std::uint32_t{F::kNextMul} << 16 | F::kNextMul))),
            3);
        // (follow & 0x17) | lane's half
        const __m512i select = _mm512_ternarylogic_epi32(
            follow, _mm512_set1_epi8(0x17),
            _mm512_set_epi32(0x20002000, 0, 0x20002000, 0, 0x20002000, 0, 0x20002000, 0, 0x20002000,
                             0, 0x20002000, 0, 0x20002000, 0, 0x20002000, 0),
            0xEA);
        const std::uint64_t pass = _mm512_mask_cmple_epi8_mask(
            _mm512_bitshuffle_epi64_mask(entry, select), differ, _mm512_setzero_si512());
        // The last group's lanes past the end hold leftovers; they are masked out below, only
        // when some lane passed (seldom), which saves the loop a test and a mask per group.
        const std::uint64_t hit = ((pass >> 1) | (pass >> 3)) & 0x1111111111111111;
        hits[g / 16] = hit;
        anyHit |= hit;
    }
    queue.blocks = 0;
    queue.lanes = 0;
    if (anyHit == 0) {
        return false;
    }
    if (lanes % 16 != 0) {
        hits[lanes / 16] &= (std::uint64_t{1} << 4 * (lanes % 16)) - 1;
    }
    // GCC leaves the wide registers' upper halves in use here, which made every later SSE
    // instruction slow (see BlockScan).
    _mm256_zeroupper();
    unsigned block = 0;
    for (unsigned g = 0; g < lanes; g += 16) {
        for (std::uint64_t hit = hits[g / 16]; hit != 0; hit &= hit - 1) {
            const unsigned lane = g + static_cast<unsigned>(__builtin_ctzll(hit)) / 4;
            while (queue.lanesTo[block] <= lane) {
                ++block;
            }
            const unsigned from = block == 0 ? 0 : queue.lanesTo[block - 1];
            if (WordStartsAt(buf + queue.blockAt[block] + queue.at[block][lane - from])) {
                return true;
            }
        }
    }
    return false;
}

// Bytes kept after a chunk of 64, so that a walk from any start in the chunk stays in the buffer.
constexpr unsigned kAhead = 2 * A::kMaxDepth + 8;
// The space-free text is written on and read back kLag bytes behind, so that the stores have
// left the store buffer: a load that straddles stores still in flight waits for them, which made
// the scan half as fast again. The buffer starts again at the front after kSpan bytes.
constexpr unsigned kSpan = 1024;
constexpr unsigned kLag = 128;
// Before a block is added, fewer than kSpan + kAhead + kLag bytes are held; the block and the
// NULs written after the end (three vectors) must fit behind them.
constexpr unsigned kBufferSize = (kSpan + kAhead + kLag + 64 + 192 + 63) / 64 * 64;

// The text from `p` (a character start, no word under way) in aligned 64-byte blocks, which
// never cross a page, so the bytes around the text that share its blocks are read too (and never
// used): the address sanitizer must not see these loads.
TABOOLEX_BLOCK_TARGET __attribute__((no_sanitize("address"))) bool
BlockScan(const unsigned char* p, bool filterLongFromStart) noexcept {
    // The text without its spaces, and a bit per byte where a character starts.
    alignas(64) unsigned char buf[kBufferSize];
    std::uint64_t startBits[kBufferSize / 64 + 1];
    startBits[0] = 0;
    unsigned fill = 0; // bytes written
    unsigned done = 0; // bytes looked at, a multiple of 64
    WindowQueue queue;
    // Starts that cannot begin a word of four bytes or more are kept out of the queue only
    // once it has been emptied: from the first block on, the filter made texts of 100 to 300
    // bytes 10-25 % slower (their few lookups, of starts queued unevenly, took longer, for
    // reasons not pinned down), while a 4 KiB text is some 8 % faster all the same.
    bool filterLong = filterLongFromStart;

    const auto* block = reinterpret_cast<const unsigned char*>(reinterpret_cast<std::uintptr_t>(p) &
                                                               ~std::uintptr_t{63});
    std::uint64_t valid = ~std::uint64_t{0} << (p - block);
    // Whether the block's first byte is the second byte of a character begun before it.
    std::uint64_t carry = 0;
    const __m512i lead = _mm512_set1_epi8(static_cast<char>(0x81));
    for (;;) {
        const __m512i v = _mm512_load_si512(block);
        const std::uint64_t nul = _mm512_cmpeq_epi8_mask(v, _mm512_setzero_si512()) & valid;
        if (nul != 0) {
            valid &= _blsmsk_u64(nul) >> 1;
        }
        // Lead bytes and the bytes that follow them: a run of bytes 0x81..0xFE after any
        // other byte pairs up from its start, the last one of an odd run taking the byte
        // after the run; so the second bytes are found by an addition whose carries run
        // along each run (the method fast JSON parsers use for runs of backslashes).
        const std::uint64_t high =
            _mm512_cmplt_epu8_mask(_mm512_sub_epi8(v, lead), _mm512_set1_epi8(0x7E)) & valid &
            ~carry;
        const std::uint64_t evenBits = 0x5555555555555555;
        const std::uint64_t followsLead = (high << 1) | carry;
        const std::uint64_t oddRunStarts = high & ~evenBits & ~followsLead;
        std::uint64_t evenRunStarts;
        carry = __builtin_add_overflow(oddRunStarts, high, &evenRunStarts) ? 1 : 0;
        const std::uint64_t seconds = (evenBits ^ (evenRunStarts << 1)) & followsLead;
        const std::uint64_t starts = valid & ~seconds;
        const std::uint64_t spaces = starts & _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(' '));
        const std::uint64_t keep = valid & ~spaces;
        _mm512_storeu_si512(buf + fill, _mm512_maskz_compress_epi8(keep, v));
        const std::uint64_t kept = _pext_u64(starts & ~spaces, keep);
        const unsigned word = fill / 64;
        const unsigned shift = fill % 64;
        startBits[word] |= kept << shift;
        startBits[word + 1] = (kept >> 1) >> (63 - shift);
        fill += static_cast<unsigned>(_mm_popcnt_u64(keep));
        block += 64;
        valid = ~std::uint64_t{0};

        unsigned ready = fill;
        if (nul != 0) {
            // Past the end the buffer reads as NULs: no word, and a walk stops there.
            static_assert(64 + kAhead <= 192, "the NULs cover what is read after the end");
            for (unsigned i = 0; i < 192; i += 64) {
                _mm512_storeu_si512(buf + fill + i, _mm512_setzero_si512());
            }
            ready = fill + 64 + kAhead + kLag;
        }
        for (; done + 64 + kAhead + kLag <= ready && done <= fill; done += 64) {
            if (queue.blocks == WindowQueue::kBlocks) {
                if (EmptyQueue(buf, queue)) {
                    return true;
                }
                filterLong = true;
            }
            std::uint64_t candidates =
                Candidates(buf, done, startBits[done / 64], queue, filterLong);
            if (candidates != 0) {
                // GCC leaves the wide registers' upper halves in use across this call and
                // returns with them so, which made every later SSE instruction of the caller
                // slow: in the Windows DLL a text with a word took twice as long.
                _mm256_zeroupper();
            }
            for (; candidates != 0; candidates &= candidates - 1) {
                if (WordStartsAt(buf + done + __builtin_ctzll(candidates))) {
                    return true;
                }
            }
        }
        if (nul != 0) {
            return EmptyQueue(buf, queue);
        }
        if (done >= kSpan) {
            // The queue refers to the bytes where they are now.
            if (EmptyQueue(buf, queue)) {
                return true;
            }
            // Start again at the front with the bytes not yet looked at.
            for (unsigned i = 0; i < fill - done; i += 64) {
                _mm512_store_si512(buf + i, _mm512_load_si512(buf + done + i));
            }
            for (unsigned i = 0; i <= (fill - done) / 64; ++i) {
                startBits[i] = startBits[done / 64 + i];
            }
            fill -= done;
            done = 0;
        }
    }
}

#endif

} // namespace

bool ContainsBannedWord(const char* text) noexcept {
#if TABOOLEX_BLOCK_SCAN
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    // Every call below is the last thing done, so the common path needs no stack frame.
    if (!FarFromPageEnd(p)) {
        return ScanNearPageEnd(p);
    }
    if (LongText(p) && BlockScanUsable()) {
        return LongTextScan(p);
    }
#endif
    return CharacterScan(text);
}

bool ContainsBannedWordByBlocks(const char* text,
                                [[maybe_unused]] bool filterLongFromStart) noexcept {
#if TABOOLEX_BLOCK_SCAN
    if (BlockScanUsable()) {
        return BlockScan(reinterpret_cast<const unsigned char*>(text), filterLongFromStart);
    }
#endif
    return CharacterScan(text);
}

std::size_t ScanTableBytes() noexcept {
    return sizeof(A::kGbkRow) + sizeof(A::kGbkClass) + sizeof(A::kRootNext) + sizeof(A::kBase) +
           sizeof(A::kCheck) + sizeof(A::kFail)
#if TABOOLEX_BLOCK_SCAN
           + sizeof(F::kWindow) + sizeof(F::kShortBits) + sizeof(F::kLongBits)
#endif
        ;
}

} // namespace taboolex
