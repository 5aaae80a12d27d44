#!/usr/bin/env python3
"""Checks that the folders under src/ form a one-way stack: a file may include headers of its
own folder and of the folders below it, never of a folder above it or beside it.

    scripts/check-layers.py [--src DIR] [--order "model protocol dsp ..."] [--self-test]

The order lists folders bottom first; "a|b" puts two folders side by side (neither may include
the other); "ui/kit" is a folder of its own below "ui". A file src/LAYERS with one line in the
same form ("#" lines are comments) replaces the built-in order; CMake's one library per layer
(src/CMakeLists.txt) must say the same. An include is resolved as the compiler resolves a quoted
one: beside the including file first, then from src/. A folder with C++ files that the order
does not name fails the check, so that a new folder cannot slip past it.

Exit status 0 when every include goes down or stays in its folder; 1 and one line per offence
otherwise."""

import argparse
import io
import os
import re
import sys
import tempfile

DEFAULT = "model protocol dsp link store mixer ui/kit ui|unit|server"
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCES = (".h", ".hpp", ".cpp", ".cc")


def levels(order):
    table = {}
    for level, group in enumerate(order.split()):
        for folder in group.split("|"):
            table[folder.strip("/")] = level
    return table


def folder_of(path, table):
    """The longest folder of the order that path lies in, or None."""
    parts = path.split("/")
    for n in range(len(parts) - 1, 0, -1):
        candidate = "/".join(parts[:n])
        if candidate in table:
            return candidate
    return None


def read_order(src, given):
    if given:
        return given
    path = os.path.join(src, "LAYERS")
    if os.path.exists(path):
        with open(path, encoding="utf-8") as f:
            lines = [l.strip() for l in f if l.strip() and not l.lstrip().startswith("#")]
        if lines:
            return " ".join(lines)
    return DEFAULT


def target_of(include, here_dir, src):
    """The include's path relative to src, as a quoted include is looked up."""
    beside = os.path.normpath(os.path.join(here_dir, include)).replace(os.sep, "/")
    if not beside.startswith("../") and os.path.exists(os.path.join(src, beside)):
        return beside
    return os.path.normpath(include).replace(os.sep, "/")


def check(src, order, out=sys.stdout):
    table = levels(order)
    bad, unknown, checked = [], set(), 0
    for root, dirs, files in os.walk(src):
        dirs.sort()
        for name in sorted(files):
            if not name.endswith(SOURCES):
                continue
            rel = os.path.relpath(os.path.join(root, name), src).replace(os.sep, "/")
            here_dir = rel.rsplit("/", 1)[0] if "/" in rel else "."
            here = folder_of(rel, table)
            if here is None:
                unknown.add(here_dir)
                continue
            with open(os.path.join(root, name), encoding="utf-8", errors="replace") as f:
                for lineno, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    there = folder_of(target_of(m.group(1), here_dir, src), table)
                    if there is None or there == here:
                        continue
                    checked += 1
                    if table[there] >= table[here]:
                        bad.append("%s/%s:%d includes %s (%s is %s %s)" % (
                            src, rel, lineno, m.group(1), there,
                            "beside" if table[there] == table[here] else "above", here))
    for line in bad:
        print(line, file=out)
    for folder in sorted(unknown):
        print("%s/%s: not in the layer order; add it to src/LAYERS (and to src/CMakeLists.txt)"
              % (src, folder), file=out)
    print("layers %s: %d cross-folder includes, %d going up or sideways, %d folders unplaced"
          % (order, checked, len(bad), len(unknown)), file=out)
    return 1 if bad or unknown else 0


def self_test():
    """The check on a small tree with one include of every kind; True when it judges each."""
    files = {
        "model/A.h": [],
        "link/B.h": ["model/A.h"],                  # down
        "link/B.cpp": ["link/B.h", "B.h"],           # own folder, both ways of writing it
        "model/C.cpp": ["link/B.h"],                 # up
        "ui/D.h": [],
        "ui/D.cpp": ["unit/E.h", "kit/K.h"],         # beside; "kit/K.h" beside the file: down
        "ui/kit/K.h": [],
        "ui/kit/F.cpp": ["ui/D.h", "../../model/A.h"],  # up; relative and down
        "unit/E.h": [],
        "unit/H.cpp": ["../ui/D.h"],                 # relative and beside
        "server/I.cpp": ["model/Version.h"],         # a generated header of a lower folder
    }
    ok = True
    with tempfile.TemporaryDirectory() as src:
        for path, includes in files.items():
            os.makedirs(os.path.dirname(os.path.join(src, path)), exist_ok=True)
            with open(os.path.join(src, path), "w", encoding="utf-8") as f:
                f.writelines('#include "%s"\n' % i for i in includes)

        def judged(order, offences):
            text = io.StringIO()
            status = check(src, order, text)
            found = sorted(l.split(":", 1)[0][len(src) + 1:] for l in text.getvalue().splitlines()
                           if " includes " in l or "not in the layer order" in l)
            if found != sorted(offences) or status != (1 if offences else 0):
                print("self-test: order %r: expected %s, got %s (status %d)"
                      % (order, sorted(offences), found, status), file=sys.stderr)
                return False
            return True

        ok &= judged(DEFAULT, ["model/C.cpp", "ui/D.cpp", "ui/kit/F.cpp", "unit/H.cpp"])
        # unit above ui: the unit may include the windows now, the windows still not the unit.
        ok &= judged("model link ui/kit ui unit server",
                     ["model/C.cpp", "ui/D.cpp", "ui/kit/F.cpp"])
        with open(os.path.join(src, "LAYERS"), "w", encoding="utf-8") as f:
            f.write("# bottom first\nlink model ui/kit ui|unit|server\n")
        ok &= judged(read_order(src, None),
                     ["link/B.h", "ui/D.cpp", "ui/kit/F.cpp", "unit/H.cpp"])
        os.makedirs(os.path.join(src, "extra"))
        open(os.path.join(src, "extra", "X.cpp"), "w").close()
        ok &= judged(DEFAULT, ["extra", "model/C.cpp", "ui/D.cpp", "ui/kit/F.cpp", "unit/H.cpp"])
    return ok


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("--src", default="src")
    ap.add_argument("--order", help="bottom first; default: src/LAYERS, else %r" % DEFAULT)
    ap.add_argument("--self-test", action="store_true",
                    help="check the checker on a small tree of its own, then exit")
    a = ap.parse_args()
    if a.self_test:
        if not self_test():
            return 1
        print("check-layers self-test: passed")
        return 0
    if not os.path.isdir(a.src):
        print("check-layers: no folder %s" % a.src, file=sys.stderr)
        return 1
    return check(a.src, read_order(a.src, a.order))


if __name__ == "__main__":
    sys.exit(main())
