#!/usr/bin/env python3
"""Injects small faults one at a time and reports which ones the test suite catches.

    scripts/inject-faults.py FAULTS BUILD_DIR [ctest arguments...]

FAULTS holds one fault per block, blocks separated by a line '---':
    name: a short description
    file: path relative to the repository
    old: <the exact text, which must occur once in the file>
    new: <its replacement>
'old:' and 'new:' may span several lines (up to the next 'new:' or the block's end). Each fault is
applied to the working tree, the build tree is rebuilt, ctest runs (by default every test but the
slow and packaging ones) and the file is restored. A fault whose build fails is reported as such,
not as caught. Exit status 0; the summary line counts caught faults.
"""
import pathlib
import subprocess
import sys


def parse(text):
    faults = []
    for block in text.split("\n---\n"):
        fields, key = {}, None
        for line in block.splitlines():
            head, _, rest = line.partition(": ")
            if head in ("name", "file", "old", "new") and (key not in ("old", "new") or head == "new"):
                key = head
                fields[key] = rest
            elif key in ("old", "new"):
                fields[key] += "\n" + line
        if fields:
            faults.append(fields)
    return faults


def run(command, cwd):
    return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True).returncode


def main():
    faults_file, build = sys.argv[1], pathlib.Path(sys.argv[2]).resolve()
    ctest_args = sys.argv[3:] or ["-LE", "slow", "-E", "^Packaging"]
    top = pathlib.Path(__file__).resolve().parent.parent
    caught = 0
    faults = parse(pathlib.Path(faults_file).read_text())
    for fault in faults:
        path = top / fault["file"]
        original = path.read_text()
        if original.count(fault["old"]) != 1:
            print(f"SKIP   {fault['name']}: the text does not occur exactly once", flush=True)
            continue
        path.write_text(original.replace(fault["old"], fault["new"]))
        try:
            if run(["ninja", "-C", str(build)], top) != 0:
                verdict = "NOBUILD"
            else:
                failed = run(["ctest", "--test-dir", str(build), "-j2", "--timeout", "300",
                              *ctest_args], top) != 0
                verdict = "CAUGHT" if failed else "MISSED"
                caught += failed
        finally:
            path.write_text(original)
        print(f"{verdict:7}{fault['name']}", flush=True)
    run(["ninja", "-C", str(build)], top)
    print(f"{caught} of {len(faults)} faults caught")


if __name__ == "__main__":
    main()
