#!/usr/bin/env python3
"""Brings translations/sonaro_zh_CN.ts up to date with the sources.

lupdate scans every layer that shows text to the operator (the windows, and the core's messages
and event log), keeps what is translated, adds what is new, drops what is gone. Qt 6.4's lupdate
writes the bare class name as the context of a class in a nested namespace, while tr() looks up
"sonaro::ui::MainView" (docs/decisions/0002-translation-contexts.md): this script puts the
namespace back, so that nothing is lost on the way.

    tools/sonaro/update_translations.py [--lupdate PATH]

Then translate the entries lupdate marked unfinished. A text that the units define keeps its
form in both languages: its translation is the same text, with the translator comment
"the unit's own text" (TranslationTest accepts an untranslated entry only with it).
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TS = os.path.join(ROOT, "translations", "sonaro_zh_CN.ts")
SOURCES = ["src/model", "src/dsp", "src/link", "src/store", "src/mixer", "src/ui", "tools/sonaro"]


def run_lupdate(lupdate, ts):
    done = subprocess.run([lupdate, *[os.path.join(ROOT, s) for s in SOURCES], "-ts", ts,
                           "-no-obsolete", "-locations", "none", "-silent"],
                          capture_output=True, text=True, check=True)
    # Its complaint about every nested namespace is what this script is for.
    for line in done.stderr.splitlines():
        if "Qualifying with unknown namespace" not in line:
            print(line, file=sys.stderr)


LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
ADJACENT = re.compile(r'"(?:[^"\\\n]|\\.)*"(?:\s*"(?:[^"\\\n]|\\.)*")*')


ESCAPES = {"n": "\n", "t": "\t"}


def source_texts():
    """Every string literal of the sources, adjacent literals joined, escapes read."""
    texts = set()
    for top in SOURCES:
        for folder, _, files in os.walk(os.path.join(ROOT, top)):
            for f in files:
                if not f.endswith((".cpp", ".h")):
                    continue
                with open(os.path.join(folder, f), encoding="utf-8") as src:
                    code = src.read()
                for run in ADJACENT.finditer(code):
                    joined = "".join(LITERAL.findall(run.group(0)))
                    texts.add(re.sub(r"\\(.)", lambda m: ESCAPES.get(m.group(1), m.group(1)),
                                     joined))
    return texts


def keep_unseen(before, after):
    """Translated entries lupdate cannot see (texts handed to QCoreApplication::translate through
    a helper) stay while their text is still in the sources."""
    texts = source_texts()
    with open(after, encoding="utf-8") as f:
        text = f.read()
    seen = {(c.findtext("name"), m.findtext("source"))
            for c in ET.fromstring(text).iter("context") for m in c.iter("message")}
    kept = 0
    for context in ET.parse(before).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            source = message.findtext("source")
            unfinished = message.find("translation").get("type") is not None
            if (name, source) in seen or source not in texts or unfinished:
                continue
            message.tail = "\n"
            entry = "    " + ET.tostring(message, encoding="unicode").strip() + "\n"
            close = text.find("</context>", text.find("<name>" + name + "</name>"))
            if "<name>" + name + "</name>" not in text:
                text = text.replace("</TS>", "<context>\n    <name>" + name +
                                    "</name>\n</context>\n</TS>")
                close = text.find("</context>", text.find("<name>" + name + "</name>"))
            text = text[:close] + entry + text[close:]
            kept += 1
    with open(after, "w", encoding="utf-8") as f:
        f.write(text)
    return kept


def namespace_of(name):
    """sonaro::ui:: for a class of the windows, sonaro:: for the core's."""
    pattern = re.compile(r"^\s*class\s+" + re.escape(name) + r"\b[^;]*$", re.M)
    for top, prefix in (("src/ui", "sonaro::ui::"), ("src", "sonaro::")):
        for folder, _, files in os.walk(os.path.join(ROOT, top)):
            for f in files:
                if f.endswith(".h"):
                    with open(os.path.join(folder, f), encoding="utf-8") as h:
                        if pattern.search(h.read()):
                            return prefix
    return None


def contexts(path):
    return {c.findtext("name"): c for c in ET.parse(path).getroot().iter("context")}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lupdate", default="/usr/lib/qt6/bin/lupdate")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory() as tmp:
        # Which contexts does lupdate write bare?
        fresh = os.path.join(tmp, "fresh.ts")
        with open(fresh, "w", encoding="utf-8") as f:
            f.write('<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n'
                    '<TS version="2.1" language="zh_CN"></TS>\n')
        run_lupdate(args.lupdate, fresh)
        bare = {name for name in contexts(fresh) if "::" not in name}

        # The translations under the names lupdate uses, lupdate, and the names tr() uses.
        with open(TS, encoding="utf-8") as f:
            text = f.read()
        for name in bare:
            text = re.sub(r"<name>sonaro::(?:ui::)?" + re.escape(name) + r"</name>",
                          "<name>" + name + "</name>", text)
        work = os.path.join(tmp, "work.ts")
        with open(work, "w", encoding="utf-8") as f:
            f.write(text)
        before = os.path.join(tmp, "before.ts")
        with open(before, "w", encoding="utf-8") as f:
            f.write(text)
        run_lupdate(args.lupdate, work)
        keep_unseen(before, work)
        with open(work, encoding="utf-8") as f:
            text = f.read()
        missing = []
        for name in sorted(bare):
            prefix = namespace_of(name)
            if prefix is None:
                missing.append(name)
                continue
            text = text.replace("<name>" + name + "</name>", "<name>" + prefix + name + "</name>")
        if missing:
            sys.exit("no class found for the contexts " + ", ".join(missing))
        names = re.findall(r"<name>(.*?)</name>", text)
        twice = sorted({n for n in names if names.count(n) > 1})
        if twice:
            sys.exit("contexts written twice (a class's tr() and an explicit context of the same "
                     "name): " + ", ".join(twice))
        with open(TS, "w", encoding="utf-8") as f:
            f.write(text)

    unfinished = text.count('type="unfinished"')
    print(f"{TS}: {unfinished} entries to translate")


if __name__ == "__main__":
    main()
