"""Compiles the banned-word table into the automaton the library scans with.

    python3 gen_automaton.py words.txt AutomatonTables.h

The output is a C++ header of constant arrays, so the library carries its automaton as
read-only data: nothing is built, allocated or relocated when it loads.

The automaton reads the text one GBK character at a time (a byte 0x81..0xFE and the byte after
it form one character; any other byte is a character of its own), so a word can only be found
where it starts at a character boundary, exactly as the linear scan finds it. It is an
Aho-Corasick machine whose alphabet is the set of characters that occur in the words:

  - Words holding a space are dropped: the text has lost every single-byte space before it is
    searched, and a space inside a valid GBK word is always a character of its own, so such a
    word can never be found.
  - A word that contains another word (starting at one of its character boundaries) is
    dropped, and so are repeats: wherever it would be found, the shorter word is found too.
    What remains is a set in which no word is a prefix of another, so every accepting state is
    a leaf and the scan stops on entering one.
  - Each character of the alphabet gets a class number from 1; class 0 is every character that
    occurs in no word and sends the machine back to the root. Three more classes stand for what
    the scan must treat apart: the single-byte space (skipped), the end of the text (a NUL, or
    a lead byte followed by the NUL) and nothing else.
  - The root's moves are a dense row indexed by class. The other states are packed into a
    double array: the move of state s on class c is slot base[s] + c when check[that slot] == s,
    otherwise the machine follows fail[s] and tries again.
  - Accepting states carry a flag bit on every way into them (in check and in the root's row),
    so the scan knows it has found a word without another look-up.
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "table"))
import wordtable  # noqa: E402


def characters(data):
    """The characters of GBK bytes as symbols: a byte value, or lead * 256 + trail."""
    out = []
    i = 0
    while i < len(data):
        b = data[i]
        if 0x81 <= b <= 0xFE and i + 1 < len(data):
            out.append(b * 256 + data[i + 1])
            i += 2
        else:
            out.append(b)
            i += 1
    return tuple(out)


def minimal_words(entries):
    """The words that decide every answer: no spaces, no repeats, none containing another."""
    words = sorted({characters(e) for e in entries if 0x20 not in e}, key=lambda w: (len(w), w))
    known = set(words)
    kept = []
    for w in words:
        n = len(w)
        contains = any(w[i:j] in known for i in range(n) for j in range(i + 1, n + 1)
                       if (i, j) != (0, n))
        if not contains:
            kept.append(w)
    return kept


class Trie:
    def __init__(self, words):
        self.children = [{}]  # state -> {class: state}
        self.leaf = [False]
        self.classes = {}  # symbol -> class
        for w in words:
            for sym in w:
                self.classes.setdefault(sym, 0)
        # Class numbers in symbol order keep the output stable between runs.
        for number, sym in enumerate(sorted(self.classes), 1):
            self.classes[sym] = number
        for w in words:
            s = 0
            for sym in w:
                c = self.classes[sym]
                nxt = self.children[s].get(c)
                if nxt is None:
                    nxt = len(self.children)
                    self.children.append({})
                    self.leaf.append(False)
                    self.children[s][c] = nxt
                s = nxt
            self.leaf[s] = True

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
    lines = ["inline constexpr %s %s[%d] = {" % (ctype, name, len(values))]
    for i in range(0, len(values), per_line):
        lines.append("    " + ", ".join(str(v) for v in values[i:i + per_line]) + ",")
    lines.append("};")
    return "\n".join(lines)


def unsigned_type(limit):
    return "std::uint16_t" if limit <= 0xFFFF else "std::uint32_t"


def render(groups):
    entries = [e for g in groups for e in g]
    words = minimal_words(entries)
    trie = Trie(words)
    order = trie.breadth_first()
    fail = trie.failure_links(order)
    slot, base = pack(trie, order)
    class_count = len(trie.classes)

    slot_count = max(max(slot.values()) + 1, max(base.values(), default=0) + class_count + 1)
    no_parent = slot_count
    bits = 16 if slot_count < 0x7FFF else 32
    leaf_bit = 1 << (bits - 1)
    state_type = "std::uint%d_t" % bits

    base_out = [0] * slot_count
    check_out = [no_parent] * slot_count
    fail_out = [0] * slot_count
    for u, s in slot.items():
        base_out[s] = base.get(u, 0)
        fail_out[s] = slot[fail[u]]
    for u in order:
        for v in trie.children[u].values():
            check_out[slot[v]] = slot[u] | (leaf_bit if trie.leaf[v] else 0)
    root_next = [0] * (class_count + 1)
    for c, v in trie.children[0].items():
        root_next[c] = slot[v] | (leaf_bit if trie.leaf[v] else 0)

    space_class = class_count + 1
    end_class = class_count + 2
    byte_class = [0] * 256
    rows = {}
    for sym, c in trie.classes.items():
        if sym < 256:
            byte_class[sym] = c
        else:
            rows.setdefault(sym >> 8, {})[sym & 0xFF] = c
    byte_class[0x20] = space_class
    byte_class[0] = end_class
    # Row 0 holds the single-byte characters; a lead byte selects the row of its characters,
    # where a NUL second byte means the text ends on a lone lead byte.
    lead_row = [0] * 256
    unused_lead = [0] * 256
    unused_lead[0] = end_class
    char_class = byte_class + unused_lead  # row 1: leads that open no word character
    for lead in range(0x81, 0xFF):
        lead_row[lead] = 1
    for number, lead in enumerate(sorted(rows), 2):
        lead_row[lead] = number
        row = [0] * 256
        row[0] = end_class
        for trail, c in rows[lead].items():
            row[trail] = c
        char_class += row

    out = [
        "// Generated from words.txt by gen_automaton.py at build time. Do not edit.",
        "// %d table entries, %d words after dropping spaced, repeated and containing ones;"
        % (len(entries), len(words)),
        "// %d states in %d slots, %d character classes." % (len(order), slot_count, class_count),
        "#pragma once",
        "",
        "#include <cstdint>",
        "",
        "namespace taboolex::automaton {",
        "",
        "using State = %s;" % state_type,
        "using Class = %s;" % unsigned_type(end_class),
        "",
        "inline constexpr unsigned kWordCount = %d;" % len(words),
        "inline constexpr unsigned kStateCount = %d;" % len(order),
        "inline constexpr unsigned kSlotCount = %d;" % slot_count,
        "inline constexpr State kRoot = 0;",
        "inline constexpr State kLeafBit = 0x%X;" % leaf_bit,
        "",
        "// Classes 1..kWordClassCount are characters of words; 0 is any other character.",
        "inline constexpr unsigned kWordClassCount = %d;" % class_count,
        "inline constexpr unsigned kSpaceClass = %d;" % space_class,
        "inline constexpr unsigned kEndClass = %d;" % end_class,
        "",
        "// Row of kCharClass for a byte: 0 for a single-byte character, else that lead byte's.",
        c_array("std::uint8_t", "kLeadRow", lead_row),
        "",
        "// Class of a character: kCharClass[kLeadRow[b] * 256 + b] for a single byte b,",
        "// kCharClass[kLeadRow[lead] * 256 + trail] for a two-byte character.",
        c_array("Class", "kCharClass", char_class),
        "",
        "// The root's move on each class (kRoot where no word starts with that character).",
        c_array("State", "kRootNext", root_next),
        "",
        "// Inner states: the move on class c is to slot kBase[s] + c when kCheck of that slot,",
        "// without kLeafBit, is s; kLeafBit in kCheck marks that slot as accepting.",
        c_array("State", "kBase", base_out),
        "",
        c_array("State", "kCheck", check_out),
        "",
        c_array("State", "kFail", fail_out),
        "",
        "} // namespace taboolex::automaton",
        "",
    ]
    if len(char_class) // 256 > 255:
        raise ValueError("more than 253 lead bytes in use")
    return "\n".join(out)


def main(argv):
    return wordtable.generate_source(argv, render, "words.txt AutomatonTables.h")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
