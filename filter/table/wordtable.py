"""Reads the banned-word table source (words.txt) and describes the table it holds.

The source is UTF-8 text, one entry per line; the library carries the entries as GBK bytes. This
module is the one place that knows the source format, so the build step that emits the C++
table, the generator that writes words.txt and anyone checking the table by hand all read it the
same way:

    python3 wordtable.py words.txt      # validates and prints the table's profile

Source format:
  - a line starting with '#' is a comment; an empty line is ignored;
  - a line "[group N]" starts group N; the six groups appear once each, in order 1 to 6;
  - any other line is one entry, taken verbatim;
  - a line that starts with a double quote must also end with one: the entry is what lies
    between them, taken verbatim (no escapes). This is how an entry that begins or ends with a
    space is written ("fuck "), and also the way to write an entry that itself starts with '#',
    '[' or '"'. An unquoted line may not begin or end with whitespace, so a space that an
    editor leaves at the end of a line is an error, never a silent change to an entry.
"""

import os
import sys

GROUP_SIZES = (1217, 1500, 1500, 1500, 1508, 1219)
ENTRY_COUNT = sum(GROUP_SIZES)


class TableError(ValueError):
    """The table source is malformed or holds an entry the library cannot carry."""


def _needs_quotes(text):
    return (text[:1] in ("#", "[", '"') or text != text.strip() or not text)


def format_entry(text):
    """The source line for one entry (without the line break)."""
    return '"' + text + '"' if _needs_quotes(text) else text


def gbk_problem(data):
    """Why these bytes are not a valid entry, or None.

    Walks the bytes as GBK characters: a byte 0x81..0xFE opens a two-byte character whose second
    byte is 0x40..0x7E or 0x80..0xFE; any byte below 0x80 is a character of its own.
    """
    if not data:
        return "empty entry"
    i = 0
    while i < len(data):
        b = data[i]
        if b < 0x80:
            if b < 0x20 or b == 0x7F:
                return "control character 0x%02X at byte %d" % (b, i)
            i += 1
        elif 0x81 <= b <= 0xFE:
            if i + 1 >= len(data):
                return "lead byte 0x%02X without a second byte at the end" % b
            t = data[i + 1]
            if not (0x40 <= t <= 0x7E or 0x80 <= t <= 0xFE):
                return "lead byte 0x%02X followed by 0x%02X at byte %d" % (b, t, i)
            if b == 0xA1 and t == 0xA1:
                return "full-width space at byte %d" % i
            i += 2
        else:
            return "byte 0x%02X is not a GBK character at byte %d" % (b, i)
    return None


def char_starts(data):
    """Offsets at which the GBK characters of valid bytes begin."""
    starts = []
    i = 0
    while i < len(data):
        starts.append(i)
        i += 2 if data[i] >= 0x80 else 1
    return starts


def single_byte_chars(data):
    """The single-byte characters of valid GBK bytes; the second byte of a two-byte character
    can look like an ASCII letter (0x40..0x7E) and must not be taken for one."""
    return bytes(data[i] for i in char_starts(data) if data[i] < 0x80)


def parse_text_groups(path):
    """The six groups as lists of str, exactly as written in the source, checked for structure
    and sizes. Raises TableError naming the file and line of the first problem."""
    groups = []
    try:
        with open(path, "r", encoding="utf-8", newline="") as f:
            raw = f.read()
    except UnicodeDecodeError as e:
        raise TableError("%s: not UTF-8: %s" % (path, e)) from e
    if raw.startswith("\ufeff"):
        raise TableError("%s: starts with a byte-order mark" % path)
    lines = raw.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    for number, line in enumerate(lines, 1):
        where = "%s:%d" % (path, number)
        if line.endswith("\r"):
            raise TableError("%s: carriage return at the end of the line" % where)
        if line == "" or line.startswith("#"):
            continue
        if line.startswith("[group ") and line.endswith("]"):
            expected = len(groups) + 1
            if line != "[group %d]" % expected:
                raise TableError("%s: expected [group %d], found %s" % (where, expected, line))
            if expected > len(GROUP_SIZES):
                raise TableError("%s: more than %d groups" % (where, len(GROUP_SIZES)))
            groups.append([])
            continue
        if line.startswith('"'):
            if len(line) < 2 or not line.endswith('"'):
                raise TableError("%s: quoted entry without its closing quote" % where)
            text = line[1:-1]
            if text == "":
                raise TableError("%s: empty entry" % where)
        else:
            if line != line.strip():
                raise TableError(
                    "%s: unquoted entry begins or ends with whitespace; quote it" % where)
            text = line
        if not groups:
            raise TableError("%s: entry before the first [group 1] line" % where)
        groups[-1].append((text, where))
    if len(groups) != len(GROUP_SIZES):
        raise TableError("%s: %d groups, expected %d" % (path, len(groups), len(GROUP_SIZES)))
    for index, (group, size) in enumerate(zip(groups, GROUP_SIZES), 1):
        if len(group) != size:
            raise TableError(
                "%s: group %d has %d entries, expected %d" % (path, index, len(group), size))
    return groups


def load_groups(path):
    """The six groups of the table as GBK bytes, in search order.

    Raises TableError when the source is malformed, a group has the wrong size, or an entry is
    empty, not representable in GBK, or holds a control character or a full-width space.
    """
    result = []
    for group in parse_text_groups(path):
        converted = []
        for text, where in group:
            try:
                data = text.encode("gbk")
            except UnicodeEncodeError as e:
                raise TableError("%s: %r has no GBK form: %s" % (where, text, e)) from e
            problem = gbk_problem(data)
            if problem:
                raise TableError("%s: %r: %s" % (where, text, problem))
            converted.append(data)
        result.append(converted)
    return result


def containing_shorter(entries):
    """Flags, one per entry: does the entry contain a strictly shorter entry of the table?

    Entry e contains entry f when len(f) < len(e) and the bytes of f occur in e starting at a
    character boundary of e (walking e as GBK). That is exactly where the filter would find f in
    a text that consists of e, so a flagged entry can only match where a shorter one already
    does. A duplicate of e is not shorter than e and does not count.
    """
    table = set(entries)
    lengths = sorted({len(f) for f in table})
    flags = []
    for e in entries:
        found = False
        for start in char_starts(e):
            for n in lengths:
                if n >= len(e) or start + n > len(e):
                    break
                if e[start:start + n] in table:
                    found = True
                    break
            if found:
                break
        flags.append(found)
    return flags


def profile(groups):
    """Every figure the table is held to, computed from the GBK groups."""
    entries = [e for g in groups for e in g]
    group_of = [gi for gi, g in enumerate(groups, 1) for _ in g]
    p = {}
    p["group_sizes"] = [len(g) for g in groups]
    p["group_ascii_only"] = [sum(1 for e in g if max(e) < 0x80) for g in groups]
    p["group_with_space"] = [sum(1 for e in g if 0x20 in e) for g in groups]
    p["group_shortest"] = [min(len(e) for e in g) for g in groups]
    p["group_longest"] = [max(len(e) for e in g) for g in groups]
    spaced = [e for e in entries if 0x20 in e]
    p["space_leading"] = sum(1 for e in spaced if e[0] == 0x20)
    p["space_trailing"] = sum(1 for e in spaced if e[-1] == 0x20)
    p["space_inside_only"] = sum(1 for e in spaced if e[0] != 0x20 and e[-1] != 0x20)
    two = [e for e in entries if len(e) == 2]
    p["two_byte_entries"] = len(two)
    p["two_byte_ascii"] = sum(1 for e in two if max(e) < 0x80)
    p["two_byte_one_char"] = sum(1 for e in two if e[0] >= 0x80)
    first_group = {}
    same_group = [0] * len(groups)
    earlier_group = 0
    counts = {}
    for e, gi in zip(entries, group_of):
        counts[e] = counts.get(e, 0) + 1
        if e not in first_group:
            first_group[e] = gi
        elif first_group[e] == gi:
            same_group[gi - 1] += 1
        else:
            earlier_group += 1
    p["distinct"] = len(counts)
    p["repeated_strings"] = sum(1 for c in counts.values() if c > 1)
    p["surplus_copies"] = sum(c - 1 for c in counts.values())
    p["surplus_same_group"] = same_group
    p["surplus_earlier_group"] = earlier_group
    ascii_only = [e for e in entries if max(e) < 0x80]
    p["ascii_only"] = len(ascii_only)
    p["digits_only"] = sum(1 for e in ascii_only if e.isdigit())
    singles = [single_byte_chars(e) for e in entries]
    p["mixed"] = sum(1 for e, s in zip(entries, singles) if s and len(s) < len(e))
    p["with_letter"] = sum(1 for s in singles if any(chr(b).isalpha() for b in s))
    p["with_upper"] = sum(1 for s in singles if any(0x41 <= b <= 0x5A for b in s))
    lengths = sorted(len(e) for e in entries)
    mid = len(lengths) // 2
    p["median_pair"] = [lengths[mid - 1], lengths[mid]]
    p["total_bytes"] = sum(lengths)
    p["containing_shorter"] = sum(containing_shorter(entries))
    return p


TARGET = {
    "group_sizes": list(GROUP_SIZES),
    "group_ascii_only": [28, 480, 0, 0, 0, 0],
    "group_with_space": [13, 65, 7, 10, 4, 1],
    "group_shortest": [2, 3, 3, 4, 4, 4],
    "group_longest": [23, 60, 73, 64, 64, 38],
    "space_leading": 1,
    "space_trailing": 12,
    "space_inside_only": 87,
    "two_byte_entries": 6,
    "two_byte_ascii": 5,
    "two_byte_one_char": 1,
    "distinct": 8300,
    "repeated_strings": 136,
    "surplus_copies": 144,
    "surplus_same_group": [16, 0, 0, 0, 0, 0],
    "surplus_earlier_group": 128,
    "ascii_only": 508,
    "digits_only": 9,
    "mixed": 1152,
    "with_letter": 1328,
    "with_upper": 682,
    "median_pair": [10, 10],
    "total_bytes": 88327,
    "containing_shorter": 2341,
}


def generate_source(argv, render, usage):
    """Body of the build-time generators: argv is [program, words.txt, output]; render turns
    the six groups into the output text. Returns the exit status."""
    name = os.path.basename(argv[0])
    if len(argv) != 3:
        print("usage: %s %s" % (name, usage), file=sys.stderr)
        return 2
    try:
        groups = load_groups(argv[1])
    except (OSError, TableError) as e:
        print("%s: error: %s" % (name, e), file=sys.stderr)
        return 1
    text = render(groups)
    # Written beside the target and renamed, so an interrupted build never leaves a truncated
    # file that a later build would take as up to date.
    tmp = argv[2] + ".tmp"
    with open(tmp, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    os.replace(tmp, argv[2])
    return 0


def main(argv):
    if len(argv) != 2:
        print("usage: wordtable.py words.txt", file=sys.stderr)
        return 2
    try:
        groups = load_groups(argv[1])
    except (OSError, TableError) as e:
        print("error: %s" % e, file=sys.stderr)
        return 1
    p = profile(groups)
    off = 0
    for key, value in p.items():
        mark = "" if TARGET.get(key) == value else "   <-- expected %s" % (TARGET.get(key),)
        if mark:
            off += 1
        print("%-22s %s%s" % (key, value, mark))
    return 1 if off else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
