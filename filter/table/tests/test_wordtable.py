"""Tests of the table source reader and of the C++ literal writer.

    python3 filter/table/tests/test_wordtable.py
"""

import os
import re
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.dirname(HERE))
import gen_table_cpp  # noqa: E402
import wordtable  # noqa: E402


def table_text(groups):
    lines = ["# a comment", ""]
    for number, group in enumerate(groups, 1):
        lines.append("[group %d]" % number)
        lines.extend(group)
    return "\n".join(lines) + "\n"


def full_groups(first=None):
    """Six groups of the right sizes, distinct entries; group 1 starts with `first`."""
    groups = [["词%d条%d" % (g, i) for i in range(n)]
              for g, n in enumerate(wordtable.GROUP_SIZES, 1)]
    if first:
        groups[0][:len(first)] = first
    return groups


class SourceFormat(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()

    def tearDown(self):
        self.dir.cleanup()

    def write(self, text, mode="w"):
        path = os.path.join(self.dir.name, "words.txt")
        if isinstance(text, bytes):
            with open(path, "wb") as f:
                f.write(text)
        else:
            with open(path, "w", encoding="utf-8", newline="") as f:
                f.write(text)
        return path

    def test_entries_come_back_as_gbk_in_order_with_quotes_resolved(self):
        first = ['"fuck "', '" cunt"', '"#hash"', '""quoted""', "操你妈", "a b"]
        groups = wordtable.load_groups(self.write(table_text(full_groups(first))))
        self.assertEqual([len(g) for g in groups], list(wordtable.GROUP_SIZES))
        self.assertEqual(groups[0][:6], [b"fuck ", b" cunt", b"#hash", b'"quoted"',
                                         "操你妈".encode("gbk"), b"a b"])
        self.assertEqual(groups[5][-1], "词6条1218".encode("gbk"))

    def test_format_entry_round_trips_every_awkward_entry(self):
        awkward = ["fuck ", " cunt", "#x", "[group 1]", '"x"', "  two  ", "plain", "a b"]
        lines = [wordtable.format_entry(t) for t in awkward]
        groups = wordtable.load_groups(self.write(table_text(full_groups(lines))))
        self.assertEqual([e.decode("gbk") for e in groups[0][:len(awkward)]], awkward)

    def test_malformed_sources_are_refused_with_the_line(self):
        cases = {
            "unquoted trailing space": (["fuck "], ":4:"),
            "unquoted leading space": ([" fuck"], ":4:"),
            "unclosed quote": (['"fuck'], ":4:"),
            "empty quoted entry": (['""'], ":4:"),
            "no GBK form": (["\U0001F600"], "no GBK form"),
            "control character": (["a\tb"], "control character"),
            "full-width space": (["加\u3000微信"], "full-width space"),
        }
        for name, (first, message) in cases.items():
            with self.subTest(name):
                path = self.write(table_text(full_groups(first)))
                with self.assertRaisesRegex(wordtable.TableError, re.escape(message)):
                    wordtable.load_groups(path)

    def test_structure_errors_are_refused(self):
        groups = full_groups()
        short = [g[:] for g in groups]
        short[4].pop()
        text = table_text(groups)
        cases = {
            "group too small": (table_text(short), "group 5 has 1507 entries"),
            "groups out of order": (text.replace("[group 2]", "[group 3]", 1),
                                    "expected [group 2]"),
            "missing group": (text[:text.index("[group 6]")], "5 groups"),
            "entry before first group": ("stray\n" + text, "before the first"),
            "carriage returns": (text.replace("\n", "\r\n"), "carriage return"),
            "byte-order mark": ("\ufeff" + text, "byte-order mark"),
        }
        for name, (source, message) in cases.items():
            with self.subTest(name):
                with self.assertRaisesRegex(wordtable.TableError, re.escape(message)):
                    wordtable.load_groups(self.write(source))
        with self.assertRaisesRegex(wordtable.TableError, "not UTF-8"):
            wordtable.load_groups(self.write(text.encode("gbk")))


class Definitions(unittest.TestCase):
    def test_gbk_walk_rejects_broken_bytes(self):
        self.assertIsNone(wordtable.gbk_problem("加微信".encode("gbk")))
        self.assertIn("without a second byte", wordtable.gbk_problem(b"\xb0\xa1\xb0"))
        self.assertIn("followed by", wordtable.gbk_problem(b"\xb0\x20"))
        self.assertIn("not a GBK character", wordtable.gbk_problem(b"\x80"))
        self.assertIn("not a GBK character", wordtable.gbk_problem(b"\xff"))
        self.assertEqual(wordtable.gbk_problem(b""), "empty entry")

    def test_trail_bytes_are_not_ascii_letters(self):
        # 0xB1 0x42 is a single two-byte character whose second byte is 'B'.
        self.assertEqual(wordtable.single_byte_chars(b"\xb1\x42x"), b"x")
        self.assertEqual(wordtable.char_starts(b"a\xb1\x42b"), [0, 1, 3])

    def test_containing_counts_only_shorter_entries_at_character_boundaries(self):
        ah = "啊".encode("gbk")          # B0 A1
        quote = "\u201c".encode("gbk")   # A1 B0: the middle bytes of 啊啊
        entries = [b"ab", b"xab", ah + ah, quote, b"xab", b"ab", ah]
        # xab holds ab (twice, as two copies); 啊啊 holds 啊 but not the quote that straddles
        # its two characters; equal strings do not contain each other.
        self.assertEqual(wordtable.containing_shorter(entries),
                         [False, True, True, False, True, False, False])

    def test_profile_counts_copies_by_the_group_of_their_first_occurrence(self):
        groups = [[b"aa", b"aa", b"xx"], [b"aa", b"yy"], [b"yy", b"yy"]]
        p = wordtable.profile(groups)
        self.assertEqual(p["distinct"], 3)
        self.assertEqual(p["repeated_strings"], 2)
        self.assertEqual(p["surplus_copies"], 4)
        # Both copies in group 3 repeat a string first seen in group 2.
        self.assertEqual(p["surplus_same_group"], [1, 0, 0])
        self.assertEqual(p["surplus_earlier_group"], 3)


def decode_literal(literal):
    """Reads back a C string literal as gen_table_cpp writes it."""
    assert literal[0] == '"' and literal[-1] == '"'
    body, out, i = literal[1:-1], bytearray(), 0
    while i < len(body):
        if body[i] != "\\":
            out.append(ord(body[i]))
            i += 1
        elif body[i + 1] in '"\\?':
            out.append(ord(body[i + 1]))
            i += 2
        else:
            digits = re.match(r"[0-7]{1,3}", body[i + 1:]).group(0)
            out.append(int(digits, 8))
            i += 1 + len(digits)
    return bytes(out)


class CppLiterals(unittest.TestCase):
    def test_literals_are_ascii_and_reproduce_every_byte(self):
        samples = [
            "表示".encode("gbk") + b"1",       # an escape followed by a digit
            b"\x81\x5c\x81\x5c",                # trail bytes that are backslashes
            b'say "hi" ??= ok',                 # quotes and a trigraph
            bytes(range(0x20, 0x7f)),
            "加 微信".encode("gbk"),
        ]
        for data in samples:
            with self.subTest(data=data):
                literal = gen_table_cpp.literal(data)
                self.assertTrue(literal.isascii())
                self.assertNotIn("??", literal)
                self.assertEqual(decode_literal(literal), data)

    def test_rendered_table_lists_every_entry_with_its_length(self):
        groups = [[b"a", "啊".encode("gbk")], [b"b\\"]]
        text = gen_table_cpp.render(groups)
        rows = re.findall(r'\{(".*?"), (\d+)u\},', text)
        self.assertEqual([(decode_literal(lit), int(n)) for lit, n in rows],
                         [(b"a", 1), (b"\xb0\xa1", 2), (b"b\\", 2)])


if __name__ == "__main__":
    unittest.main()
