"""Ordinary text that no table entry may fire in: an English dictionary, classical poetry and a
Chinese technical text, all from Debian packages (see REQUIRED).

The generator asks `hits(text)` for every candidate it would otherwise take. A text hits when
the filter, holding only that entry, would flag a word of the dictionary or a line of the
poems or of the technical text. Dictionary words that are themselves vulgar (the candidate's
own word with an ending such as "fucked" or "shitty", or a word of `profane`) are not ordinary
text and do not count.
"""

import gzip
import os
import re

DICTIONARY = "/usr/share/dict/american-english"
POEMS = ["/usr/share/games/fortunes/tang300.u8", "/usr/share/games/fortunes/song100.u8"]
TECHNICAL = "/usr/share/debian-reference/debian-reference.zh-cn.txt.gz"
REQUIRED = "wamerican fortunes-zh debian-reference-zh-cn"
# Endings that keep a word what it was: inflections, and the doubled consonant before them.
ENDINGS = ("", "s", "es", "ed", "d", "er", "ers", "ing", "y", "ier", "iest", "ish", "ty",
           "tier", "tiest", "ting", "ted", "ged", "ging", "ped", "ping", "py", "pier", "piest",
           "ies", "tish", "al", "ae", "ic", "ous", "uous", "ly", "ness", "iness", "ize",
           "ized", "izes", "izing", "ographer", "ographers", "ographic", "ography", "house",
           "houses")
COLOUR = re.compile(r"\x1b\[[0-9;]*m")


def _stem(word):
    word = word.lower()
    if word.endswith("'s"):
        word = word[:-2]
    return word


class CleanText:
    def __init__(self, profane=()):
        for path in [DICTIONARY, TECHNICAL] + POEMS:
            if not os.path.exists(path):
                raise SystemExit("%s is missing: apt-get install %s" % (path, REQUIRED))
        with open(DICTIONARY, encoding="utf-8") as f:
            self.words = [w.strip() for w in f if w.strip()]
        lines = []
        for path in POEMS:
            with open(path, encoding="utf-8") as f:
                lines += [COLOUR.sub("", line).strip() for line in f]
        with gzip.open(TECHNICAL, "rt", encoding="utf-8") as f:
            lines += [line.strip() for line in f]
        # The filter drops every space before it searches.
        self.lines = [line.replace(" ", "") for line in lines if line and line != "%"]
        self.profane = {p.lower() for p in profane}
        self.dictionary_text = "\n" + "\n".join(self.words) + "\n"
        self.line_text = "\n".join(self.lines)
        self.pairs = set()
        for text in (self.dictionary_text, self.line_text):
            self.pairs.update(text[i:i + 2] for i in range(len(text) - 1))

    def _vulgar_word(self, word, text):
        stem = _stem(word)
        for base in [text.lower()] + [p for p in self.profane if p in stem]:
            # An ending may take over the word's last letter (vagina, vaginae, vaginal).
            if stem.startswith(base) and (stem[len(base):] in ENDINGS
                                          or stem[len(base) - 1:] in ENDINGS):
                return True
        return False

    def in_dictionary_word(self, text):
        """Whether the text occurs in any word of the dictionary, its own included."""
        return text in self.dictionary_text

    def hits(self, text):
        """The ordinary words and lines the entry fires in (empty when none)."""
        text = text.replace(" ", "")
        if any(text[i:i + 2] not in self.pairs for i in range(len(text) - 1)):
            return []
        found = []
        if text in self.line_text:
            found += [line for line in self.lines if text in line]
        if text.isascii() and text in self.dictionary_text:
            found += [w for w in self.words if text in w and not self._vulgar_word(w, text)]
        return found
