"""Refreshes english_badwords.txt from an installed copy of the npm package bad-words.

    npm install --prefix /tmp/bw bad-words
    python3 extract_english.py /tmp/bw/node_modules > english_badwords.txt

bad-words takes its list from its dependency badwords-list (both MIT); the list is the array
literal in badwords-list/dist/array.js. It is read as text rather than by running node, so the
refresh needs nothing beyond Python.
"""

import json
import os
import re
import sys


def main(argv):
    if len(argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    base = argv[1]
    with open(os.path.join(base, "badwords-list", "package.json"), encoding="utf-8") as f:
        version = json.load(f)["version"]
    with open(os.path.join(base, "bad-words", "package.json"), encoding="utf-8") as f:
        outer = json.load(f)["version"]
    with open(os.path.join(base, "badwords-list", "dist", "array.js"), encoding="utf-8") as f:
        source = f.read()
    body = re.search(r"\[(.*)\]", source, re.S)
    if not body:
        print("array.js: no array literal found", file=sys.stderr)
        return 1
    words = re.findall(r"'((?:[^'\\]|\\.)*)'|\"((?:[^\"\\]|\\.)*)\"", body.group(1))
    words = [a or b for a, b in words]
    print("# English list of the npm package badwords-list %s (MIT), as installed by bad-words %s."
          % (version, outer))
    print("# Extracted by extract_english.py; one word per line, in the package's order.")
    for w in words:
        print(w)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
