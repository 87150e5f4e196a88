#!/usr/bin/env python3
"""lzhtool's names in UTF-8.  Archives that `lzhtool a` makes from names in
every script extract under those names with `lzhtool x`; headers with
UTF-16 names (0x44, 0x45), a code page (0x46) or code-page names only are
named as the header says; UTF-16 names that lead outside the destination
are refused or kept below it, as code-page names are.

usage: check_names.py LZHTOOL WORK_DIR
"""
import os
import shutil
import struct
import subprocess
import sys

NAMES = ["日本語/ソフト 表示.txt", "Ελληνικά/άέήίόύώ ΐ.txt", "Кириллица/ёж.txt",
         "한국어/파일 이름.txt", "😀/🎉 party.bin", "plain.txt"]
IN_CODE_PAGE_932 = ["日本語/ソフト 表示.txt", "Кириллица/ёж.txt", "plain.txt"]


def crc16(data):
    crc = 0
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def utf16(text):
    return text.encode("utf-16-le", "surrogatepass")


def level2_entry(exts, content=b"data"):
    """A stored level-2 entry with a header CRC and these (type, data)
    extended headers."""
    exts = [(0x00, b"\0\0")] + exts
    out = bytearray(b"\0\0-lh0-" + struct.pack("<III", len(content), len(content), 1700000000) +
                    b"\x20\x02" + struct.pack("<H", crc16(content)) + b"w")
    out += struct.pack("<H", len(exts[0][1]) + 3)
    for i, (kind, data) in enumerate(exts):
        following = len(exts[i + 1][1]) + 3 if i + 1 < len(exts) else 0
        out += bytes([kind]) + data + struct.pack("<H", following)
    if len(out) % 256 == 0:
        out += b"\0"
    struct.pack_into("<H", out, 0, len(out))
    struct.pack_into("<H", out, 27, crc16(out))
    return bytes(out) + content


def tree(root):
    """Relative byte path -> content of every file below root."""
    found = {}
    for folder, _, files in os.walk(os.fsencode(root)):
        for name in files:
            full = os.path.join(folder, name)
            with open(full, "rb") as f:
                found[os.path.relpath(full, os.fsencode(root))] = f.read()
    return found


def run(tool, *args):
    p = subprocess.run([tool, *args], capture_output=True, timeout=120)
    return p.returncode, p.stdout.decode("utf-8", "replace") + p.stderr.decode("utf-8", "replace")


def extract(tool, archive, target, *options):
    shutil.rmtree(target, ignore_errors=True)
    rc, out = run(tool, "x", *options, archive, target)
    return rc, out, tree(target)


def round_trips(tool, work):
    """lzhtool a, then lzhtool x: the same names and contents."""
    faults = []
    source = os.path.join(work, "in")
    for name in NAMES:
        path = os.path.join(source, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(name.encode())
    for code_page in (932, 1252):
        for level in (0, 1, 2):
            names = NAMES if level > 0 else IN_CODE_PAGE_932 if code_page == 932 else ["plain.txt"]
            label = "cp%d level %d" % (code_page, level)
            archive = os.path.join(work, "a.lzh")
            rc, out = run(tool, "a", "--level", str(level), "--codepage", str(code_page), "-C", source,
                          archive, *names)
            if rc != 0:
                faults.append("%s: lzhtool a: %s" % (label, out))
                continue
            rc, out, got = extract(tool, archive, os.path.join(work, "out"))
            want = {n.encode(): n.encode() for n in names}
            if rc != 0 or got != want:
                faults.append("%s: lzhtool x gave %s\n%s" % (label, sorted(got), out))
            rc, listing = run(tool, "l", archive)
            for name in names:
                if name.replace("/", "\\") not in listing:
                    faults.append("%s: lzhtool l does not show %s" % (label, name))
    # --raw keeps the code-page bytes.
    archive = os.path.join(work, "raw.lzh")
    run(tool, "a", "-C", source, archive, "Кириллица/ёж.txt")
    rc, out, got = extract(tool, archive, os.path.join(work, "out"), "--raw")
    if set(got) != {"Кириллица/ёж.txt".encode("cp932")}:
        faults.append("--raw gave %s" % sorted(got))
    return faults


# Crafted headers: (extended headers, lzhtool x options, the file written or
# None for a refusal).
SEP = "\uffff"
CRAFTED = [
    ("exact names", [(0x01, b"_.txt"), (0x02, b"_\xff"), (0x46, struct.pack("<I", 932)),
                     (0x44, utf16("表 😀.txt")), (0x45, utf16("Δέλτα" + SEP + "ж" + SEP))], [],
     "Δέλτα/ж/表 😀.txt"),
    ("folder without its last separator", [(0x01, b"x.txt"), (0x45, utf16("a" + SEP + "b"))], [], "a/b/x.txt"),
    ("exact folder, code-page file", [(0x01, b"\x95\x5c.txt"), (0x45, utf16("ж" + SEP))], [], "ж/表.txt"),
    ("Shift-JIS only", [(0x01, b"\x95\x5c\x8e\xa6.txt"), (0x02, b"\x83\x5c\xff")], [], "ソ/表示.txt"),
    ("code page 1251 from 0x46", [(0x01, b"\xe6\xe5.txt"), (0x46, struct.pack("<I", 1251))], [], "же.txt"),
    ("code page 1251 from --codepage", [(0x01, b"\xe6\xe5.txt")], ["--codepage", "1251"], "же.txt"),
    ("0x46 splits where --codepage would not", [(0x01, b"\x83\x5c\x83t\x83g.txt"), (0x46, struct.pack("<I", 932)),
                                                (0x44, utf16("ソフト.txt"))], ["--codepage", "1252"], "ソフト.txt"),
    ("UTF-8 stored by a Unix archiver", [(0x01, "日本語.txt".encode())], [], "日本語.txt"),
    ("odd length: the code-page name", [(0x01, b"\x95\x5c.txt"), (0x44, utf16("no") + b"x")], [], "表.txt"),
    ("lone surrogate: the code-page name", [(0x01, b"cp.txt"), (0x44, utf16("a\ud83d"))], [], "cp.txt"),
    ("'/' in a file name", [(0x01, b"x"), (0x44, utf16("sub/y.txt"))], [], "sub/y.txt"),
    ("'\\' in a file name", [(0x01, b"x"), (0x44, utf16("sub\\z.txt"))], [], "sub/z.txt"),
    ("leading separators", [(0x01, b"x"), (0x44, utf16("\\\\server/share/a.txt"))], [], "server/share/a.txt"),
    ("parent in the file name", [(0x01, b"safe.txt"), (0x44, utf16("../../evil.txt"))], [], None),
    ("parent after a folder", [(0x01, b"safe.txt"), (0x44, utf16("a/../../evil.txt"))], [], None),
    ("parent as a folder", [(0x01, b"safe.txt"), (0x45, utf16(".." + SEP))], [], None),
    ("parent in a folder", [(0x01, b"safe.txt"), (0x45, utf16("a\\..\\.." + SEP))], [], None),
    ("drive letter", [(0x01, b"safe.txt"), (0x44, utf16("C:evil.txt"))], [], None),
]


def crafted(tool, work):
    faults = []
    for label, exts, options, expected in CRAFTED:
        archive = os.path.join(work, "crafted.lzh")
        with open(archive, "wb") as f:
            f.write(level2_entry(exts) + b"\0")
        outer = os.path.join(work, "outer")
        shutil.rmtree(outer, ignore_errors=True)
        rc, out, got = extract(tool, archive, os.path.join(outer, "dest"), *options)
        outside = tree(outer)
        if expected is None:
            if rc != 1 or "REFUSED" not in out or outside:
                faults.append("%s: not refused (status %d, %s)\n%s" % (label, rc, sorted(outside), out))
        elif rc != 0 or got != {expected.encode(): b"data"}:
            faults.append("%s: wrote %s, not %s\n%s" % (label, sorted(got), expected, out))
    return faults


def main():
    tool, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    faults = round_trips(tool, work) + crafted(tool, work)
    for fault in faults:
        print("FAIL " + fault)
    print("names: %d faults (round trips of %d names at levels 0 to 2 in code pages 932 and 1252, "
          "%d crafted headers)" % (len(faults), len(NAMES), len(CRAFTED)))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
