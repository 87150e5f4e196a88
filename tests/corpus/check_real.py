#!/usr/bin/env python3
"""Extracts every archive of the real-world corpus with lzhtool and compares
the result with the manifest an independent decoder produced.

usage: check_real.py LZHTOOL CORPUS_DIR

Expectations beyond the manifest:
  - level-3 archives: no header is found (we read levels 0 to 2);
  - "-lhx-" entries fail as an unknown method;
  - set15/lh7*.lzh use another format under the -lh7- id: they fail cleanly;
  - set22/lh2.lzh and lh3.lzh (no oracle decodes them): every CRC-16 matches;
  - hostile archives (regression/) and the >4 GiB entry end cleanly;
  - names with leading separators extract below the destination; names
    with a drive letter or ".." are refused, never written;
  - names are written in UTF-8: the oracle's bytes of a Shift-JIS name
    match ours converted (a name that is no Shift-JIS text, as stored).
The oracle rewrites some results, which the comparison allows for: it
lower-cases MS-DOS names, strips the MacBinary wrapper from Macintosh
entries (we keep the data as stored and checked by its CRC-16), and reads
nothing from a few archives we read (there `t` must pass).
"""
import ast
import hashlib
import os
import subprocess
import sys
import tempfile

TIMEOUT = 120


def parse_manifest(path):
    archives = {}
    current = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("== "):
                name, status = line[3:].rstrip("\n").rsplit(" | lhasa=", 1)
                current = archives[name] = {"lhasa": int(status), "files": []}
            elif line.startswith("   b") and current is not None:
                literal, rest = line.strip().split("' ", 1) if "' " in line else (None, None)
                if literal is None:
                    literal, rest = line.strip().split('" ', 1)
                    literal += '"'
                else:
                    literal += "'"
                size, sha = rest.split()
                current["files"].append((ast.literal_eval(literal), int(size), sha))
    return archives


def run(tool, *args):
    p = subprocess.run([tool, *args], capture_output=True, timeout=TIMEOUT)
    return p.returncode, p.stdout.decode("latin-1"), p.stderr.decode("latin-1")


def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()


def macbinary_data_fork(path, size):
    """The data fork of a MacBinary file: 128-byte header, then the data."""
    with open(path, "rb") as f:
        data = f.read()
    return hashlib.sha256(data[128:128 + size]).hexdigest()


def extracted_files(root):
    found = {}
    for folder, _, files in os.walk(root):
        for name in files:
            full = os.path.join(folder, name)
            found[os.fsencode(os.path.relpath(full, root))] = full
    return found


def utf8_name(name):
    """A stored name as lzhtool writes it: Shift-JIS text in UTF-8."""
    try:
        return name.decode("cp932").encode("utf-8")
    except UnicodeDecodeError:
        return name


def check(tool, corpus, name, info):
    """Returns None when the archive behaves as expected, else a reason."""
    path = os.path.join(corpus, name)
    with open(path, "rb") as f:
        head = f.read(64)
    rc, listing, err = run(tool, "l", path)
    if rc < 0:
        return f"lzhtool l died with signal {-rc}"
    if "no LHA header found" in err:
        return None if len(head) > 20 and head[20] == 3 else "no header found"
    methods = {line.split()[0] for line in listing.splitlines() if line.strip()}

    rc, out, err = run(tool, "t", path)
    if rc not in (0, 1):
        return f"lzhtool t ended with status {rc}"
    base = os.path.basename(name)
    if "-lhx-" in methods:
        return None if rc == 1 and "Unknown method. (-lhx-)" in out else "-lhx- not refused"
    if name.startswith("set15/lh7"):
        return None if rc == 1 and "FAIL" in out else "foreign -lh7- passed"
    if name in ("set22/lh2.lzh", "set22/lh3.lzh"):
        return None if rc == 0 else "CRC-16 check failed:\n" + out
    if name == "set18/h2_huge.lzh" or name.startswith("regression/") and info["lhasa"] != 0:
        return None  # ends cleanly, whatever it reports
    if name == "regression/truncated.lzh":
        return None if rc == 1 else "truncated archive passed"
    if info["lhasa"] != 0:
        return None if rc in (0, 1) else f"status {rc}"
    if rc != 0:
        return "lzhtool t failed:\n" + out

    with tempfile.TemporaryDirectory() as target:
        rc, out, err = run(tool, "x", path, target)
        refused = [l for l in out.splitlines() if l.startswith("REFUSED")]
        if rc not in (0, 1) or (rc == 1 and not refused):
            return "lzhtool x failed:\n" + out + err
        ours = extracted_files(target)
        if not info["files"]:
            return None  # the oracle read nothing here; `t` has passed
        macintosh = len(head) > 32 and head[20] == 1 and head[22 + head[21] + 2:][:1] == b"m" \
            or len(head) > 24 and head[20] == 2 and head[23:24] == b"m"
        for file_name, size, sha in info["files"]:
            mine = ours.pop(file_name, None) or ours.pop(utf8_name(file_name), None)
            if mine is None:
                upper = [k for k in ours if k.lower() == file_name.lower()]
                mine = ours.pop(upper[0]) if upper else None
            if mine is None:
                if refused:
                    continue  # the oracle rewrote a name we refuse
                return f"missing {file_name!r}"
            if os.path.getsize(mine) != size or sha256(mine) != sha:
                if macintosh and macbinary_data_fork(mine, size) == sha:
                    continue
                return f"content differs: {file_name!r}"
        if ours:
            return f"extra files: {sorted(ours)[:3]}"
        for line in refused:
            name = line.split()[1].lstrip("/\\")
            if ".." not in line and ":" not in name[:2]:
                return "refused a safe name: " + line
    return None


def main():
    tool, corpus = sys.argv[1], sys.argv[2]
    archives = parse_manifest(os.path.join(corpus, "MANIFEST.txt"))
    failed = 0
    for name in sorted(archives):
        reason = check(tool, corpus, name, archives[name])
        if reason:
            failed += 1
            print(f"FAIL {name}: {reason}")
    print(f"real corpus: {len(archives) - failed} of {len(archives)} archives as expected")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
