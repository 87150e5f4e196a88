#!/usr/bin/env python3
"""Checks which folders of src/ and tools/ include which: every quoted
include must name a folder that the including folder may use (the table
below, which docs/layout.md draws), and the folders must not include each
other in a cycle.  With --matrix, prints the include counts between folders.

usage: check_includes.py [--matrix] [REPOSITORY]
       check_includes.py --self-test
"""
import os
import re
import sys
import tempfile

# Folder -> folders whose headers it may include (its own always).
ALLOWED = {
    "src/base": set(),
    "src/archive": {"base", "archive"},
    "src/decode": {"base", "archive"},
    "src/encode": {"base", "archive", "decode"},
    "src/package": {"base", "archive", "pe"},
    "src/pe": {"base"},
    "src/res": {"base"},
    "src/paths": {"base", "archive", "package"},
    "src/launch": {"base", "paths"},
    "src/ui": {"base", "archive", "paths", "res"},
    "src/extract": {"base", "archive", "decode", "paths", "res", "ui"},
    "src/app": {"base", "archive", "decode", "extract", "launch", "package", "paths", "pe", "res", "ui"},
    "tools/pack": {"base", "archive", "decode", "encode"},
    "tools/lzhtool": {"base", "archive", "decode", "encode", "package", "pack", "pe"},
    "tools/mksfx": {"base", "archive", "decode", "encode", "package", "pack", "pe"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SOURCE = (".h", ".cpp")


def folder_of(path):
    """The table's key for a file: src/<folder> or tools/<tool>."""
    parts = path.split(os.sep)
    return "/".join(parts[:2]) if len(parts) > 2 else None


def sources(root):
    """Yields the repository-relative path of every source file of src/ and
    tools/ outside the tests."""
    for top in ("src", "tools"):
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            rel = os.path.relpath(dirpath, root)
            if "/tests" in rel.replace(os.sep, "/") or rel.endswith(os.sep + "tests"):
                continue
            for name in sorted(files):
                if name.endswith(SOURCE):
                    yield os.path.join(rel, name)


def scan(root):
    """Yields (including folder, included folder, file, line) for every
    quoted include of a project header.  An include with a folder names it
    ("archive/header.h"); one without is found beside the including file,
    else by its name in the folder that holds it ("codepage.h" in
    tools/pack, reached through an include path)."""
    paths = list(sources(root))
    holders = {}
    for path in paths:
        holders.setdefault(os.path.basename(path), set()).add(folder_of(path))
    for path in paths:
        own = folder_of(path)
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                target = m.group(1)
                if "/" in target:
                    yield own, target.split("/")[0], path, number
                elif not os.path.exists(os.path.join(root, os.path.dirname(path), target)):
                    for holder in sorted(holders.get(target, ())):
                        yield own, holder.split("/")[1], path, number


def cycles(edges):
    """Folder cycles in the include graph, each as a list of names."""
    found, state = [], {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in sorted(edges.get(node, ())):
            if state.get(nxt) == "open":
                found.append(trail[trail.index(nxt):] + [nxt])
            elif nxt not in state:
                visit(nxt, trail + [nxt])
        state[node] = "done"

    for node in sorted(edges):
        if node not in state:
            visit(node, [node])
    return found


def self_test():
    """The checker catches a lower folder that includes app/, and a cycle."""
    with tempfile.TemporaryDirectory() as root:
        def write(path, text):
            os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.write(text)
        write("src/app/run.cpp", '#include "ui/ui.h"\n')
        write("src/ui/ui.h", '#include "paths/text.h"\n')
        if main([root]) != 0:
            return "a tree that follows the table was refused"
        write("src/ui/bad.cpp", '#include "app/state.h"\n')
        if main([root]) != 1:
            return "ui including app/ was not caught"
        os.remove(os.path.join(root, "src/ui/bad.cpp"))
        # A header reached through an include path, without its folder.
        write("tools/pack/codepage.h", "")
        write("src/paths/bad.cpp", '#include "codepage.h"\n')
        if main([root]) != 1:
            return "an include without its folder was not caught"
    return None


def main(argv):
    if "--self-test" in argv:
        fault = self_test()
        print(fault or "layers: the checker catches a lower folder including app/, with or without the folder")
        return 1 if fault else 0
    show = "--matrix" in argv
    args = [a for a in argv if a != "--matrix"]
    root = args[0] if args else os.path.join(os.path.dirname(__file__), "..", "..")
    counts, edges, faults = {}, {}, []
    for owner, target, path, number in scan(root):
        name = owner.split("/")[1]
        if target == name:
            continue
        counts[(name, target)] = counts.get((name, target), 0) + 1
        if owner.startswith("src/"):
            edges.setdefault(name, set()).add(target)
        if owner not in ALLOWED:
            faults.append(f"{path}: folder {owner} is not in the layer table")
        elif target not in ALLOWED[owner]:
            faults.append(f"{path}:{number}: {owner} may not include {target}/")
    if show:
        names = sorted({a for a, _ in counts} | {b for _, b in counts})
        print("includes".ljust(10) + "".join(n[:7].rjust(8) for n in names))
        for a in names:
            print(a.ljust(10) + "".join(str(counts.get((a, b), "")).rjust(8) for b in names))
    for cycle in cycles(edges):
        faults.append("include cycle: " + " -> ".join(cycle))
    for fault in faults:
        print(fault)
    if not faults:
        print("layers: every include follows the layer table")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
