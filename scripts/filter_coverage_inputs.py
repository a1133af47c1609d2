#!/usr/bin/env python3
"""Writes the inputs of scripts/filter-coverage.sh as UTF-8 files, one text per line.

    filter_coverage_inputs.py OUTDIR NAUGHTY_WORDS_DIR

  zh-list.txt, en-list.txt   the Chinese and English lists of the npm package naughty-words
                             (one entry per line, as listed)
  dictionary.txt             the words of /usr/share/dict/american-english (Debian wamerican)
  poems.txt                  the lines of the 300 Tang and 100 Song poems of Debian fortunes-zh,
                             titles and authors included, colour codes and separators removed
  technical.txt              the lines of the Chinese (Simplified) Debian Reference, text form,
                             that hold at least one Chinese character
"""

import gzip
import json
import os
import re
import sys

POEMS = ["/usr/share/games/fortunes/tang300.u8", "/usr/share/games/fortunes/song100.u8"]
DICTIONARY = "/usr/share/dict/american-english"
TECHNICAL = "/usr/share/debian-reference/debian-reference.zh-cn.txt.gz"
COLOUR = re.compile(r"\x1b\[[0-9;]*m")
HAN = re.compile(r"[\u4e00-\u9fff]")


def write(path, lines):
    with open(path, "w", encoding="utf-8", newline="\n") as f:
        for line in lines:
            f.write(line + "\n")
    return len(lines)


def main(out, naughty):
    counts = {}
    for lang in ("zh", "en"):
        with open(os.path.join(naughty, lang + ".json"), encoding="utf-8") as f:
            entries = [e for e in json.load(f) if e.strip()]
        counts[lang + "-list"] = write(os.path.join(out, lang + "-list.txt"), entries)
    with open(DICTIONARY, encoding="utf-8") as f:
        words = [w.strip() for w in f if w.strip()]
    counts["dictionary"] = write(os.path.join(out, "dictionary.txt"), words)
    poems = []
    for path in POEMS:
        with open(path, encoding="utf-8") as f:
            for line in f:
                line = COLOUR.sub("", line).strip()
                if line and line != "%":
                    poems.append(line)
    counts["poems"] = write(os.path.join(out, "poems.txt"), poems)
    with gzip.open(TECHNICAL, "rt", encoding="utf-8") as f:
        technical = [line.rstrip("\n") for line in f if HAN.search(line)]
    counts["technical"] = write(os.path.join(out, "technical.txt"), technical)
    return 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
