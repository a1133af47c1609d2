"""Writes the C++ definition of the banned-word table from its UTF-8 source.

    python3 gen_table_cpp.py words.txt out.cpp

The entries become GBK string literals in which every byte outside printable ASCII is a
three-digit octal escape. The output is therefore pure ASCII, so no compiler's idea of the
source character set can change a byte, and an escape can never swallow the character after it
(octal escapes stop after three digits; hex escapes would not).
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wordtable  # noqa: E402


def literal(data):
    out = ['"']
    for b in data:
        c = chr(b)
        if c in '"\\':
            out.append("\\" + c)
        elif c == "?":
            # A '?' pair could start a trigraph in older language modes.
            out.append("\\?")
        elif 0x20 <= b < 0x7F:
            out.append(c)
        else:
            out.append("\\%03o" % b)
    out.append('"')
    return "".join(out)


def render(groups):
    lines = [
        "// Generated from words.txt by gen_table_cpp.py at build time. Do not edit.",
        '#include "WordTable.h"',
        "",
        "namespace taboolex {",
        "",
        "const WordEntry kWordTable[kEntryCount] = {",
    ]
    for number, group in enumerate(groups, 1):
        lines.append("    // group %d: %d entries" % (number, len(group)))
        for data in group:
            lines.append("    {%s, %du}," % (literal(data), len(data)))
    lines += ["};", "", "} // namespace taboolex", ""]
    return "\n".join(lines)


def main(argv):
    return wordtable.generate_source(argv, render, "words.txt out.cpp")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
