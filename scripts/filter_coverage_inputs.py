#!/usr/bin/env python3
"""Writes the inputs of scripts/filter-coverage.sh as GBK files, one text per line.

A character GBK cannot hold becomes "?" (a no-break space a space), so that every line is
still checked: none of them can be part of a banned word.

    filter_coverage_inputs.py OUTDIR NAUGHTY_WORDS_DIR

  zh-list.txt, en-list.txt   the Chinese and English lists of the npm package naughty-words
                             (one entry per line, as listed)
  dictionary.txt             the words of /usr/share/dict/american-english (Debian wamerican),
                             less those that are vulgar themselves: an entry of the English
                             list, spaces removed, with an ending at most ("fuckers", "shitty",
                             "pornographic"); a hit there is no false hit
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
ENDINGS = ("", "s", "es", "ed", "d", "er", "ers", "ing", "y", "ier", "iest", "ish", "ty",
           "tier", "tiest", "ting", "ted", "ged", "ging", "ped", "ping", "py", "pier", "piest",
           "ies", "tish", "al", "ae", "ic", "ous", "uous", "ly", "ness", "iness", "ize",
           "ized", "izes", "izing", "ographer", "ographers", "ographic", "ography", "house",
           "houses")


def vulgar(word, listed):
    stem = word.lower()
    if stem.endswith("'s"):
        stem = stem[:-2]
    # An ending may take over the word's last letter (vagina, vaginae, vaginal).
    return any(stem.startswith(e) and (stem[len(e):] in ENDINGS or stem[len(e) - 1:] in ENDINGS)
               for e in listed if e in stem)


def write(path, lines):
    with open(path, "w", encoding="gbk", errors="replace", newline="\n") as f:
        for line in lines:
            f.write(line.replace("\u00a0", " ") + "\n")
    return len(lines)


def main(out, naughty):
    counts = {}
    lists = {}
    for lang in ("zh", "en"):
        with open(os.path.join(naughty, lang + ".json"), encoding="utf-8") as f:
            lists[lang] = [e for e in json.load(f) if e.strip()]
        counts[lang + "-list"] = write(os.path.join(out, lang + "-list.txt"), lists[lang])
    listed = {e.replace(" ", "").lower() for e in lists["en"]}
    with open(DICTIONARY, encoding="utf-8") as f:
        words = [w.strip() for w in f if w.strip() and not vulgar(w.strip(), listed)]
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
