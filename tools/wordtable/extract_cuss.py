"""Refreshes english_cuss.txt from an installed copy of the npm package cuss.

    npm install --prefix /tmp/cuss cuss@2.2.0
    python3 extract_cuss.py /tmp/cuss/node_modules > english_cuss.txt

cuss (MIT) maps English profane words and phrases to a sureness rating: 2 when the word is
likely used as a profanity and unlikely in clean text, 1 maybe, 0 unlikely. Its English words
come from a research group's list of offensive words, a list of ethnic slurs and contributions
since. The map is the object literal of cuss/index.js, read as text rather than by running
node, so the refresh needs nothing beyond Python.
"""

import json
import os
import re
import sys

ENTRY = re.compile(r"^\s+(?:'((?:[^'\\]|\\.)*)'|\"((?:[^\"\\]|\\.)*)\"|([A-Za-z0-9_$]+))"
                   r":\s*([012]),?$")


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    base = os.path.join(argv[1], "cuss")
    with open(os.path.join(base, "package.json"), encoding="utf-8") as f:
        version = json.load(f)["version"]
    with open(os.path.join(base, "index.js"), encoding="utf-8") as f:
        lines = f.read().split("\n")
    words = []
    for line in lines:
        m = ENTRY.match(line)
        if m:
            words.append((m.group(1) or m.group(2) or m.group(3), m.group(4)))
    if not words:
        print("index.js: no entries found", file=sys.stderr)
        return 1
    print("# English map of the npm package cuss %s (MIT): word, a tab, its sureness" % version)
    print("# rating (2 likely profane, 1 maybe, 0 unlikely). Extracted by extract_cuss.py, in")
    print("# the package's order.")
    for word, rating in words:
        print("%s\t%s" % (word, rating))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
