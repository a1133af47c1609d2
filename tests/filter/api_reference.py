"""TaboolexFind and TaboolexMask of the native library against a literal reference.

    api_reference.py <table dir> <libtaboolex.so> [C host]

The reference restates what Taboolex.h says counts as a match, the slow and obvious way: decode
the text into characters, drop the skipped ones and fold the rest, then look for every word of
the table (read the same way) at every character position. It shares no code with the
library's generator. Texts are reproducible mixes of table words, their characters pulled apart
by spaces, tabs and punctuation, letters in other cases and widths, stray and broken bytes, in
GBK and in UTF-8, in both readings.
"""

import ctypes
import os
import random
import subprocess
import sys
import unicodedata

UTF8, STRICT = 1, 2
BREAK = "\uffff"  # a character no word holds
SKIP = ""


def in_gbk(ch):
    try:
        ch.encode("gbk")
        return True
    except UnicodeEncodeError:
        return False


def read_exact(ch):
    return SKIP if ch == " " else ch


def read_strict(ch):
    if ch == BREAK or not in_gbk(ch):
        return BREAK
    if "\uff01" <= ch <= "\uff5e":
        ch = chr(ord(ch) - 0xFEE0)
    if ch in " \t\u3000" or unicodedata.category(ch)[0] in "PS":
        return SKIP
    return ch.lower()


def characters(data, utf8):
    """(character, start, end) per character of the bytes, as Taboolex.h defines them."""
    out = []
    i = 0
    while i < len(data):
        if utf8:
            for n in (4, 3, 2, 1):
                if i + n > len(data):
                    continue
                try:
                    ch = data[i:i + n].decode("utf-8")
                except UnicodeDecodeError:
                    continue
                if len(ch) == 1:
                    break
            else:
                ch, n = BREAK, 1
        elif 0x81 <= data[i] <= 0xFE and i + 1 < len(data) and data[i + 1] != 0:
            try:
                ch = data[i:i + 2].decode("gbk")
            except UnicodeDecodeError:
                ch = BREAK
            n = 2
        else:
            ch, n = (chr(data[i]) if data[i] < 0x80 else BREAK), 1
        out.append((ch, i, i + n))
        i += n
    return out


class Reference:
    def __init__(self, groups, read):
        self.read = read
        self.by_first = {}
        words = {}
        for number, group in enumerate(groups, 1):
            for entry in group:
                text = entry.decode("gbk")
                if read is read_exact and " " in text:
                    continue
                word = "".join(read(c) for c in text)
                if word:
                    words.setdefault(word, number)
        for word, group in words.items():
            self.by_first.setdefault(word[0], []).append((word, group))

    def spans(self, data, utf8):
        kept = [(c, s, e) for ch, s, e in characters(data, utf8) for c in [self.read(ch)]
                if c != SKIP]
        text = "".join(c for c, _, _ in kept)
        found = []
        for first in set(text):
            for word, group in self.by_first.get(first, ()):
                at = text.find(word)
                while at >= 0:
                    last = at + len(word) - 1
                    found.append((kept[at][1], kept[last][2], group))
                    at = text.find(word, at + 1)
        return found

    def find(self, data, utf8):
        spans = self.spans(data, utf8)
        if not spans:
            return None
        start, end, group = min(spans, key=lambda s: (s[1], s[0]))
        return start, end - start, group

    def mask(self, data, utf8):
        spans = sorted(self.spans(data, utf8))
        out = bytearray()
        reach = 0
        covered = []
        for start, end, _ in spans:
            if covered and start <= covered[-1][1]:
                covered[-1][1] = max(covered[-1][1], end)
            else:
                covered.append([start, end])
        k = 0
        for _, s, e in characters(data, utf8):
            while k < len(covered) and covered[k][1] <= s:
                k += 1
            if k < len(covered) and covered[k][0] <= s:
                out += b"*"
            else:
                out += data[s:e]
            reach = e
        return bytes(out), bool(spans)


class Texts:
    PUNCTUATION = [".", "*", "-", "_", "，", "。", "！", "、", "…", "★", "·", "@", "～"]
    WHITE = [" ", "  ", "\t", "\u3000", "\n"]

    def __init__(self, groups, stream):
        self.random = random.Random(stream)
        self.entries = [e.decode("gbk") for g in groups for e in g]
        self.common = "大家好今天运气不错再来一局吧快点出牌这把真好谢谢老板"

    def entry(self):
        return self.random.choice(self.entries)

    def piece(self):
        r = self.random
        kind = r.randrange(10)
        if kind <= 1:
            return self.entry()
        if kind == 2:  # characters pulled apart
            return "".join(c + (r.choice(self.PUNCTUATION + self.WHITE) if r.random() < 0.4 else "")
                           for c in self.entry())
        if kind == 3:  # other case, other width
            out = []
            for c in self.entry():
                if c.isascii() and c.isalpha() and r.random() < 0.5:
                    c = c.swapcase()
                if "!" <= c <= "~" and r.random() < 0.3:
                    c = chr(ord(c) + 0xFEE0)
                out.append(c)
            return "".join(out)
        if kind == 4:  # a cut entry
            e = self.entry()
            return e[r.randrange(len(e)):]
        if kind == 5:
            return "".join(r.choice(self.common) for _ in range(r.randrange(1, 6)))
        if kind == 6:
            return r.choice(self.PUNCTUATION + self.WHITE)
        if kind == 7:
            return "".join(chr(r.randrange(0x21, 0x7F)) for _ in range(r.randrange(1, 5)))
        if kind == 8:
            return b"\x00"  # raw bytes, the same in both encodings
        return None  # stray bytes of the encoding

    def make(self, utf8):
        out = bytearray()
        for _ in range(self.random.randrange(1, 7)):
            p = self.piece()
            if p is None:
                out += bytes([self.random.choice([0x81, 0xFE, 0x80, 0xFF, 0xC3, 0xE4, 0xBD])])
            elif isinstance(p, bytes):
                out += p
            else:
                out += p.encode("utf-8" if utf8 else "gbk")
        return bytes(out)


class TaboolexMatch(ctypes.Structure):
    _fields_ = [("offset", ctypes.c_size_t), ("length", ctypes.c_size_t), ("group", ctypes.c_int)]


def main(argv):
    table_dir, library = argv[1:3]
    sys.path.insert(0, table_dir)
    import wordtable

    groups = wordtable.load_groups(os.path.join(table_dir, "words.txt"))
    lib = ctypes.CDLL(library)
    lib.TaboolexFind.argtypes = [ctypes.c_char_p, ctypes.c_size_t, ctypes.c_uint,
                                 ctypes.POINTER(TaboolexMatch)]
    lib.TaboolexMask.argtypes = [ctypes.c_void_p, ctypes.c_size_t, ctypes.c_uint, ctypes.c_void_p,
                                 ctypes.POINTER(ctypes.c_size_t)]
    failures = []
    for flags in (0, UTF8, STRICT, STRICT | UTF8):
        reference = Reference(groups, read_strict if flags & STRICT else read_exact)
        texts = Texts(groups, 20261208 + flags)
        found = 0
        count = 4000
        for number in range(count):
            data = texts.make(bool(flags & UTF8))
            expected = reference.find(data, bool(flags & UTF8))
            match = TaboolexMatch()
            result = lib.TaboolexFind(data, len(data), flags, ctypes.byref(match))
            actual = (match.offset, match.length, match.group) if result == 1 else None
            if result not in (0, 1) or actual != expected:
                failures.append("flags %d, find %r: got %r, expected %r"
                                % (flags, data, actual, expected))
            found += expected is not None

            wanted, masked = reference.mask(data, bool(flags & UTF8))
            copy = ctypes.create_string_buffer(max(len(data), 1))
            in_place = ctypes.create_string_buffer(data, max(len(data), 1))
            n_copy, n_place = ctypes.c_size_t(), ctypes.c_size_t()
            r_copy = lib.TaboolexMask(data, len(data), flags, copy, ctypes.byref(n_copy))
            r_place = lib.TaboolexMask(in_place, len(data), flags, in_place, ctypes.byref(n_place))
            got_copy, got_place = copy.raw[:n_copy.value], in_place.raw[:n_place.value]
            if (r_copy, got_copy) != (int(masked), wanted) or (r_place, got_place) != (r_copy, got_copy):
                failures.append("flags %d, mask %r: got %r / in place %r, expected %r"
                                % (flags, data, got_copy, got_place, wanted))
            if len(failures) > 10:
                break
        # Both answers must be common, or the comparison proves little.
        if not count // 10 < found < count * 9 // 10:
            failures.append("flags %d: %d of %d texts hold a word" % (flags, found, count))
        print("flags %d: %d texts, %d with a match" % (flags, count, found))
    if len(argv) > 3:
        # A C program linked against the library, given a word of the table.
        word = next(e for e in groups[0] if b" " not in e)
        if subprocess.call([argv[3], word]) != 0:
            failures.append("the C host failed")
    for f in failures[:10]:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
