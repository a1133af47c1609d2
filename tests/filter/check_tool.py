"""taboolex-check end to end: dirty lines reported with their numbers and as read, the exit
status, broken UTF-8, standard input and folders, in GBK and UTF-8 mode.

    check_tool.py <table dir> <work dir> <program> [launcher...]

The launcher (wine for the Windows build) comes last so that it may be empty. Output goes
through files: a pipe could be held open by processes the launcher leaves behind.
"""

import os
import subprocess
import sys


def main(argv):
    table_dir, work, program = argv[1:4]
    launcher = [a for a in argv[4:] if a]
    sys.path.insert(0, table_dir)
    import wordtable

    os.makedirs(work, exist_ok=True)
    groups = wordtable.load_groups(os.path.join(table_dir, "words.txt"))
    entry = next(e for e in groups[0] if b" " not in e).decode("gbk")
    last = next(e for e in reversed(groups[5]) if b" " not in e).decode("gbk")
    clean = "\u3000"  # the full-width space: no entry holds it
    lines = [clean, entry, "", " ".join(last) + "\r", "\t" + clean + "\t"]
    failures = []

    def run(name, data, *args):
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(data)
        out_path, err_path = path + ".out", path + ".err"
        with open(out_path, "wb") as out, open(err_path, "wb") as err:
            code = subprocess.call(launcher + [program] + list(args) + [path], stdout=out,
                                   stderr=err, stdin=subprocess.DEVNULL)
        with open(out_path, "rb") as f:
            stdout = f.read().replace(b"\r\n", b"\n")
        with open(err_path, "rb") as f:
            stderr = f.read()
        return code, stdout, stderr

    def expect(what, actual, wanted):
        if actual != wanted:
            failures.append("%s: got %r, expected %r" % (what, actual, wanted))

    text = "\n".join(lines) + "\n"
    wanted = "2: %s\n4: %s\n" % (entry, " ".join(last))
    code, out, _ = run("utf8.txt", text.encode("utf-8"), "--utf8")
    expect("UTF-8 exit status", code, 1)
    expect("UTF-8 report", out.decode("utf-8", "replace"), wanted)

    code, out, _ = run("gbk.txt", text.encode("gbk"))
    expect("GBK exit status", code, 1)
    expect("GBK report", out, wanted.encode("gbk"))

    code, out, _ = run("clean.txt", (clean + "\n\n \t\n").encode("gbk"))
    expect("clean exit status", code, 0)
    expect("clean report", out, b"")

    # Broken UTF-8 is named on stderr and gives status 2, yet the line is still tested; a
    # character GBK lacks hides nothing of its line.
    bad = ((entry + "\n").encode() + b"\xff\xfe " + entry.encode() + b"\n" +
           ("\U0001F600" + entry + "\n\u20ac\U0001F600\n").encode())
    code, out, err = run("bad.txt", bad, "--utf8")
    expect("bad input exit status", code, 2)
    expect("bad input report", out.decode("utf-8", "replace"),
           "1: %s\n2: \ufffd\ufffd %s\n3: \U0001F600%s\n" % (entry, entry, entry))
    expect("bad input lines named", [b":2:" in err, b":3:" in err, b":4:" in err],
           [True, False, False])

    # "-" is standard input, among files; a folder is an error.
    stdin_path = os.path.join(work, "stdin.txt")
    with open(stdin_path, "wb") as f:
        f.write(text.encode("gbk"))
    with open(stdin_path, "rb") as given, open(stdin_path + ".out", "wb") as out:
        code = subprocess.call(launcher + [program, "-", os.path.join(work, "clean.txt")],
                               stdin=given, stdout=out, stderr=subprocess.DEVNULL)
    with open(stdin_path + ".out", "rb") as f:
        expect("standard input report", f.read().replace(b"\r\n", b"\n"),
               ("-:2: %s\n-:4: %s\n" % (entry, " ".join(last))).encode("gbk"))
    expect("standard input exit status", code, 1)
    code = subprocess.call(launcher + [program, work], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, stdin=subprocess.DEVNULL)
    expect("folder exit status", code, 2)

    code = subprocess.call(launcher + [program, os.path.join(work, "missing.txt")],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           stdin=subprocess.DEVNULL)
    expect("missing file exit status", code, 2)

    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
