"""Compiles the banned-word table into the automata the library scans with.

    python3 gen_automaton.py words.txt AutomatonTables.h

The output is a C++ header of constant arrays, so the library carries its automata as read-only
data: nothing is built, allocated or relocated when it loads.

Two automata are written, one per way of reading a text:

  - Exact: the table's own reading. A word matches byte for byte and case-sensitively; the
    single-byte space is skipped (the text loses its spaces before it is searched), every other
    character that occurs in no word sends the machine back to the root. Words holding a space
    can never match and are left out.
  - Strict: text and words are both read through one folding, applied here at build time to the
    words and to every character of the character tables: full-width ASCII becomes ASCII, ASCII
    letters become lower case, and spaces, tabs, the full-width space and every punctuation or
    symbol character of GBK (Unicode categories P and S) are skipped, so "外.挂" and "外 * 挂"
    read as "外挂". A word that folds to nothing is left out.

A third machine serves IsTaboolex, which asks only whether any word is present: the exact
reading reduced to the words that decide that answer. A word that contains another (starting at
one of its characters) is dropped, as wherever it would be found the shorter word is found too;
so no remaining word is a prefix of another, every accepting state is a leaf, and a clean text
walks fewer and shallower paths. It has GBK tables only, and a prefilter (PresenceFilter, see
render_prefilter) that tells the block scan of long texts where a word may begin.

Each is an Aho-Corasick machine over the characters that occur in its words. A character is a
GBK character (a byte 0x81..0xFE and the byte after it, or any other single byte) or, for UTF-8
texts, a Unicode code point of the Basic Multilingual Plane; both map to the same class numbers,
so one machine serves both encodings. Class 0 is any character that occurs in no word; after
the word classes come the skipped class and the end class (the NUL of a NUL-terminated text).

  - The root's moves are a dense row indexed by class. The other states are packed into a
    double array: the move of state s on class c is slot base[s] + c when check[that slot] == s,
    otherwise the machine follows fail[s] and tries again.
  - A state in which some word ends (its own path or, through its failure links, a suffix of
    it) carries a flag bit on every way into it, so the scan knows at once that it has a match.
    For such a state, match_length and match_group give the longest word ending there (in
    characters) and its group (the first group that holds it); depth is the length of the
    state's path in characters, which bounds how far back a match still to come can start.
"""

import os
import sys
import unicodedata

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "table"))
import wordtable  # noqa: E402

SPACE = " "


def gbk_characters():
    """Every character a GBK text can hold: (bytes, str), single bytes first."""
    out = [(bytes([b]), chr(b)) for b in range(0x80)]
    for lead in range(0x81, 0xFF):
        for trail in list(range(0x40, 0x7F)) + list(range(0x80, 0xFF)):
            data = bytes([lead, trail])
            try:
                out.append((data, data.decode("gbk")))
            except UnicodeDecodeError:
                pass
    return out


def in_gbk(ch):
    try:
        ch.encode("gbk")
        return True
    except UnicodeEncodeError:
        return False


def strict_fold(ch):
    """The character as the strict reading sees it: folded, or '' when it is skipped."""
    cp = ord(ch)
    if 0xFF01 <= cp <= 0xFF5E:
        ch = chr(cp - 0xFEE0)
    if ch in " \t\u3000":
        return ""
    if unicodedata.category(ch)[0] in "PS":
        return ""
    if "A" <= ch <= "Z":
        return ch.lower()
    return ch


class Reading:
    """One way of reading text: which words there are and what each character is."""

    def __init__(self, name, groups):
        self.name = name
        self.words = {}  # word (str) -> first group holding it
        for number, group in enumerate(groups, 1):
            for data in group:
                word = self.word(data.decode("gbk"))
                if word:
                    self.words.setdefault(word, number)

    def word(self, text):
        raise NotImplementedError

    def character(self, ch):
        """The symbol a text character stands for, SPACE when it is skipped, or None."""
        raise NotImplementedError


class Exact(Reading):
    def word(self, text):
        return "" if SPACE in text else text

    def character(self, ch):
        return ch


class Presence(Exact):
    """The exact reading without the words that contain another."""

    def __init__(self, name, groups):
        super().__init__(name, groups)
        known = set(self.words)
        self.words = {
            w: g for w, g in self.words.items()
            if not any(w[i:j] in known for i in range(len(w)) for j in range(i + 1, len(w) + 1)
                       if (i, j) != (0, len(w)))
        }


class Strict(Reading):
    def word(self, text):
        return "".join(strict_fold(c) for c in text)

    def character(self, ch):
        folded = strict_fold(ch)
        return folded if folded else SPACE


class Trie:
    def __init__(self, words):
        self.children = [{}]  # state -> {class: state}
        self.group = [0]  # state -> group of the word ending exactly there, or 0
        self.depth = [0]
        symbols = sorted({sym for w in words for sym in w})
        # Class numbers in symbol order keep the output stable between runs.
        self.classes = {sym: number for number, sym in enumerate(symbols, 1)}
        for w in sorted(words):
            s = 0
            for sym in w:
                c = self.classes[sym]
                nxt = self.children[s].get(c)
                if nxt is None:
                    nxt = len(self.children)
                    self.children.append({})
                    self.group.append(0)
                    self.depth.append(self.depth[s] + 1)
                    self.children[s][c] = nxt
                s = nxt
            self.group[s] = words[w]

    def breadth_first(self):
        order = [0]
        for s in order:
            order.extend(self.children[s][c] for c in sorted(self.children[s]))
        return order

    def failure_links(self, order):
        fail = [0] * len(self.children)
        for u in order:
            for c, v in self.children[u].items():
                if u == 0:
                    continue
                f = fail[u]
                while f != 0 and c not in self.children[f]:
                    f = fail[f]
                fail[v] = self.children[f].get(c, 0)
        return fail

    def matches(self, order, fail):
        """Per state: (length, group) of the longest word that ends there, or (0, 0)."""
        out = [(0, 0)] * len(self.children)
        for u in order[1:]:
            out[u] = (self.depth[u], self.group[u]) if self.group[u] else out[fail[u]]
        return out


class FreeSlots:
    """First free slot at or after a position, with path compression."""

    def __init__(self):
        self.next = []

    def _grow(self, size):
        while len(self.next) < size:
            self.next.append(len(self.next))

    def find(self, i):
        self._grow(i + 2)
        root = i
        while self.next[root] != root:
            root = self.next[root]
        while self.next[i] != root:
            self.next[i], i = root, self.next[i]
        return root

    def take(self, i):
        self._grow(i + 2)
        self.next[i] = i + 1


def pack(trie, order):
    """Slot of every state and base of every inner state, root in slot 0."""
    free = FreeSlots()
    free.take(0)
    slot = {0: 0}
    base = {}
    for c in sorted(trie.children[0]):
        s = free.find(1)
        free.take(s)
        slot[trie.children[0][c]] = s
    for u in order[1:]:
        kids = trie.children[u]
        if not kids:
            continue
        cs = sorted(kids)
        f = free.find(cs[0])
        while True:
            b = f - cs[0]
            if all(free.find(b + c) == b + c for c in cs[1:]):
                break
            f = free.find(f + 1)
        base[u] = b
        for c in cs:
            free.take(b + c)
            slot[kids[c]] = b + c
    return slot, base


def c_array(ctype, name, values, per_line=16):
    lines = ["    static constexpr %s %s[%d] = {" % (ctype, name, len(values))]
    for i in range(0, len(values), per_line):
        lines.append("        " + ", ".join(str(v) for v in values[i:i + per_line]) + ",")
    lines.append("    };")
    return "\n".join(lines)


def unsigned_type(limit):
    if limit <= 0xFF:
        return "std::uint8_t"
    return "std::uint16_t" if limit <= 0xFFFF else "std::uint32_t"


def class_rows(pairs, row_of, default_row):
    """Rows of 256 classes: row 0 and `default_row` are given, the others made on demand.
    `pairs` is a list of (row key, low byte, class)."""
    rows = [list(r) for r in default_row]
    index = {}
    for key, low, cls in pairs:
        if key not in index:
            index[key] = len(rows)
            rows.append(list(rows[row_of(key)]))
        rows[index[key]][low] = cls
    return rows, index


def render_reading(reading, gbk_chars):
    words = reading.words
    trie = Trie(words)
    order = trie.breadth_first()
    fail = trie.failure_links(order)
    matches = trie.matches(order, fail)
    slot, base = pack(trie, order)
    class_count = len(trie.classes)
    max_depth = max(trie.depth)
    if max_depth >= 128:
        raise ValueError("a word of %d characters; the scan remembers 127" % max_depth)

    slot_count = max(max(slot.values()) + 1, max(base.values(), default=0) + class_count + 1)
    no_parent = slot_count
    bits = 16 if slot_count < 0x7FFF else 32
    match_bit = 1 << (bits - 1)
    state_type = "std::uint%d_t" % bits

    def way_in(v):
        return slot[v] | (match_bit if matches[v][0] else 0)

    base_out = [0] * slot_count
    check_out = [no_parent] * slot_count
    fail_out = [0] * slot_count
    depth_out = [0] * slot_count
    length_out = [0] * slot_count
    group_out = [0] * slot_count
    for u, s in slot.items():
        base_out[s] = base.get(u, 0)
        fail_out[s] = slot[fail[u]]
        depth_out[s] = trie.depth[u]
        length_out[s], group_out[s] = matches[u]
    for u in order:
        for v in trie.children[u].values():
            check_out[slot[v]] = slot[u] | (match_bit if matches[v][0] else 0)
    root_next = [0] * (class_count + 1)
    for c, v in trie.children[0].items():
        root_next[c] = way_in(v)

    skip_class = class_count + 1
    end_class = class_count + 2

    def class_of(ch):
        sym = reading.character(ch)
        if sym == SPACE:
            return skip_class
        return trie.classes.get(sym, 0)

    # GBK: row 0 holds the single bytes; a lead byte selects the row of its characters, where a
    # NUL second byte means the text ends on a lone lead byte. Row 1 serves the leads none of
    # whose characters is a word character or skipped.
    single = [0] * 256
    for data, ch in gbk_chars:
        if len(data) == 1:
            single[data[0]] = class_of(ch)
    single[0] = end_class
    lone_lead = [0] * 256
    lone_lead[0] = end_class
    pairs = []
    for data, ch in gbk_chars:
        if len(data) == 2:
            cls = class_of(ch)
            if cls:
                pairs.append((data[0], data[1], cls))
    gbk_rows, gbk_index = class_rows(pairs, lambda key: 1, [single, lone_lead])
    lead_row = [0] * 256
    for lead in range(0x81, 0xFF):
        lead_row[lead] = gbk_index.get(lead, 1)

    # UTF-8: code points of the Basic Multilingual Plane, row = code point >> 8. Characters
    # outside GBK never match and are never skipped, as they could not be in a GBK text.
    uni_pairs = []
    for cp in range(0x80, 0x10000):
        if 0xD800 <= cp <= 0xDFFF:
            continue
        ch = chr(cp)
        if in_gbk(ch):
            cls = class_of(ch)
            if cls:
                uni_pairs.append((cp >> 8, cp & 0xFF, cls))
    ascii_row = single[:128] + [0] * 128
    ascii_row[0] = 0
    # Row 0 holds ASCII; U+0080..U+00FF, when any of them counts, get a copy of it.
    uni_rows, uni_index = class_rows(uni_pairs, lambda key: 0 if key == 0 else 1,
                                     [ascii_row, [0] * 256])
    uni_row = [0] + [1] * 255
    for key, number in uni_index.items():
        uni_row[key] = number

    if len(gbk_rows) > 256 or len(uni_rows) > 256:
        raise ValueError("too many character rows")
    class_type = unsigned_type(end_class)
    name = reading.name
    presence_only = isinstance(reading, Presence)
    uni_tables = [] if presence_only else [
        "    // Class of a code point cp below 0x10000: kUniClass[kUniRow[cp >> 8] * 256 + (cp & 0xFF)].",
        c_array("std::uint8_t", "kUniRow", uni_row),
        c_array("Class", "kUniClass", [v for r in uni_rows for v in r]),
    ]
    match_tables = [] if presence_only else [
        "    // Characters on the path to each state, and the longest word ending there.",
        c_array("std::uint8_t", "kDepth", depth_out),
        c_array("std::uint8_t", "kMatchLength", length_out),
        c_array("std::uint8_t", "kMatchGroup", group_out),
    ]
    return [
        "// %d words; %d states in %d slots; %d character classes; GBK rows %d, UTF-8 rows %d."
        % (len(words), len(order), slot_count, class_count, len(gbk_rows), len(uni_rows)),
        "struct %s {" % name,
        "    using State = %s;" % state_type,
        "    using Class = %s;" % class_type,
        "    static constexpr unsigned kWordCount = %d;" % len(words),
        "    static constexpr unsigned kSlotCount = %d;" % slot_count,
        "    static constexpr State kRoot = 0;",
        "    static constexpr State kMatchBit = 0x%X;" % match_bit,
        "    static constexpr unsigned kMaxDepth = %d;" % max_depth,
        "    // Classes 1..kWordClassCount are characters of words; 0 is any other character.",
        "    static constexpr unsigned kWordClassCount = %d;" % class_count,
        "    static constexpr unsigned kSkipClass = %d;" % skip_class,
        "    static constexpr unsigned kEndClass = %d;" % end_class,
        "",
        "    // Class of a GBK character: kGbkClass[kGbkRow[b] * 256 + b] for a single byte b,",
        "    // kGbkClass[kGbkRow[lead] * 256 + trail] for a two-byte character.",
        c_array("std::uint8_t", "kGbkRow", lead_row),
        c_array("Class", "kGbkClass", [v for r in gbk_rows for v in r]),
    ] + uni_tables + [
        "",
        "    // The root's move on each class (kRoot where no word starts with that character).",
        c_array("State", "kRootNext", root_next),
        "    // Inner states: the move on class c is to slot kBase[s] + c when kCheck of that",
        "    // slot, without kMatchBit, is s; kMatchBit there marks that a word ends in it.",
        c_array("State", "kBase", base_out),
        c_array("State", "kCheck", check_out),
        c_array("State", "kFail", fail_out),
    ] + match_tables + [
        "};",
        "",
    ]


# The prefilter of the presence scan. The scan removes the spaces of a text and then looks, at
# every character start, at the next six bytes; only where these could begin a word does it walk
# the automaton. Any word found there is found at some start it flags, so the answer stays exact.
#
#   - Words of four bytes or more: a table of 2^WINDOW_BITS words. The first four bytes, taken
#     as two 16-bit halves with each character's second byte low (bytes 2, 1 and 4, 3), are
#     multiplied half by half by odd 16-bit constants (one simple instruction for all lanes; a
#     32-bit product of the four bytes made the scan of clean text a fifteenth slower); the
#     index is the top 14 bits of the two products' xor. A word of the table holds 7-bit
#     fingerprints of two of the four-byte prefixes that land there (the same one twice when
#     only one does), each in the high byte of a 16-bit half: bits 8-14 of the high product in
#     the high half, of the low product in the low half, where the scan finds them in its own
#     product (given the index, either fingerprint tells the other). When more than two land
#     there, both bytes have bit 7 set, which the scan takes as a match. The low bytes of the
#     halves say which values of four bits (11, 12, 13 and 15) of a 16-bit product of bytes 5
#     and 6 follow them (all of them for a word of four or five bytes); those bits, as they
#     stand in the product's high byte, give the bit's place in the word.
#   - Words of two or three bytes: two 1024-bit Bloom filters over the first two bytes, each
#     read with a byte index that is a GF(2) map of those two bytes (one instruction per byte
#     on processors that have them) and a bit index that is the low three bits of the second
#     byte in one and of the first byte in the other (as selective on chat text as a third map,
#     and cheaper). Every start they let through costs a walk of the automaton, some 5 ns;
#     SHORT_SEED, which draws their maps, is the one among the first 400 that let the fewest
#     through on random GB2312 text (a third fewer than the value used before).
#   - Which starts go to the window table at all: a 2048-bit Bloom filter of the first two bytes
#     of the longer words, read at the first short filter's place with all eight bits of its
#     byte index. It sets 887 of its bits and passes about seven starts of chat text in ten.
WINDOW_BITS = 14
LOW_MUL = 0x9E37
HIGH_MUL = 0x85EB
NEXT_MUL = 0xC2B3
SHORT_SEED = 74


def gf_affine(matrix, x):
    """The byte the processor's GF(2) affine instruction makes of x (with no constant)."""
    out = 0
    for i in range(8):
        row = (matrix >> (8 * (7 - i))) & 0xFF
        out |= (bin(row & x).count("1") & 1) << i
    return out


def window_hashes(data):
    """(index, (high, low) fingerprints, next-bits hash) of the six bytes at a start."""
    data = data[:6].ljust(6, b"\0")
    low = ((data[1] | data[0] << 8) * LOW_MUL) & 0xFFFF
    high = ((data[3] | data[2] << 8) * HIGH_MUL) & 0xFFFF
    index = (low ^ high) >> (16 - WINDOW_BITS)
    marks = ((high >> 8) & 0x7F, (low >> 8) & 0x7F)
    follow = ((((data[4] | data[5] << 8) * NEXT_MUL) & 0xFFFF) >> 11) & 0x17
    return index, marks, follow


def short_matrices():
    import random
    r = random.Random(SHORT_SEED)
    # Per filter: byte index from (first, second).
    return [r.getrandbits(64) for _ in range(4)]


def short_position(matrices, f, first, second):
    m = matrices[2 * f:2 * f + 2]
    byte = (gf_affine(m[0], first) ^ gf_affine(m[1], second)) & 0x7F
    bit = (second if f == 0 else first) & 7
    return byte, bit


def long_position(matrices, first, second):
    """The first Bloom filter's place widened to all eight bits of its byte index."""
    byte = gf_affine(matrices[0], first) ^ gf_affine(matrices[1], second)
    return byte, second & 7


def render_prefilter(words):
    data = [w.encode("gbk") for w in words]
    if any(len(d) < 2 for d in data):
        raise ValueError("a one-byte word; the presence prefilter needs two bytes")
    window = [0] * (1 << WINDOW_BITS)
    marks = [set() for _ in window]
    for d in data:
        if len(d) < 4:
            continue
        index, mark, follow = window_hashes(d)
        marks[index].add(mark)
        window[index] |= (1 << follow) if len(d) >= 6 else 0x00FF00FF
    for index, found in enumerate(marks):
        found = sorted(found)
        if len(found) > 2:
            window[index] |= 0x80008000
        elif found:
            window[index] |= found[0][0] << 24 | found[-1][1] << 8
    matrices = short_matrices()
    short = [[0] * 128 for _ in range(2)]
    long_bits = [0] * 256
    for d in data:
        if len(d) < 4:
            for f in range(2):
                byte, bit = short_position(matrices, f, d[0], d[1])
                short[f][byte] |= 1 << bit
        else:
            byte, bit = long_position(matrices, d[0], d[1])
            long_bits[byte] |= 1 << bit
    return [
        "// Which character starts the presence scan must look at (see gen_automaton.py).",
        "struct PresenceFilter {",
        "    static constexpr unsigned kWindowBits = %d;" % WINDOW_BITS,
        "    static constexpr std::uint16_t kLowMul = 0x%04X;" % LOW_MUL,
        "    static constexpr std::uint16_t kHighMul = 0x%04X;" % HIGH_MUL,
        "    static constexpr std::uint16_t kNextMul = 0x%04X;" % NEXT_MUL,
        "    // Per Bloom filter: byte index from the first and the second byte.",
        "    static constexpr std::uint64_t kShortMaps[4] = {%s};"
        % ", ".join("0x%016XULL" % m for m in matrices),
        c_array("std::uint8_t", "kShortBits", short[0] + short[1]).replace(
            "static constexpr", "alignas(64) static constexpr"),
        "    // Whether a word of four bytes or more may begin with the first two bytes: the first",
        "    // Bloom filter's map, with the eighth bit of its byte index choosing the table's half.",
        c_array("std::uint8_t", "kLongBits", long_bits).replace(
            "static constexpr", "alignas(64) static constexpr"),
        c_array("std::uint32_t", "kWindow", window, 8).replace(
            "static constexpr", "alignas(64) static constexpr"),
        "};",
        "",
    ]


def render(groups):
    gbk_chars = gbk_characters()
    out = [
        "// Generated from words.txt by gen_automaton.py at build time. Do not edit.",
        "#pragma once",
        "",
        "#include <cstdint>",
        "",
        "namespace taboolex::automaton {",
        "",
    ]
    presence = Presence("Presence", groups)
    out += render_reading(presence, gbk_chars)
    out += render_prefilter(presence.words)
    out += render_reading(Exact("Exact", groups), gbk_chars)
    out += render_reading(Strict("Strict", groups), gbk_chars)
    out += ["} // namespace taboolex::automaton", ""]
    return "\n".join(out)


def main(argv):
    return wordtable.generate_source(argv, render, "words.txt AutomatonTables.h")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
