#!/usr/bin/env python3
"""Packs generated data with `lzhtool a` and extracts every archive with
lhasa, 7z, bsdtar and jlha (black-box peers): every file must come back
byte for byte under its name, with its time (not jlha, which sets none)
and, for bsdtar at levels 1 and 2, its read-only attribute.

usage: check_peers.py LZHTOOL WORK_DIR

Archives: -lh5-, -lh6- and -lh7- at header levels 0, 1 and 2, the same at
level 2 with --best, and --method lh0.  A second set has Shift-JIS names
with 0x5C second bytes, which only some peers know how to read: bsdtar
(told the names are CP932) must give the original names, lhasa the CP932
bytes at levels 1 and 2; the others must give the contents.  A third set
(levels 1 and 2) has names in every script, which the code page holds
only in part: bsdtar, which reads the exact UTF-16 names (0x44, 0x45),
must give them all; lhasa the code-page names, '_' for what code page 932
lacks; 7z and jlha the contents.  A missing peer is skipped; exit status
77 when none is installed.
"""
import hashlib
import os
import random
import shutil
import subprocess
import sys

MTIME = 1580608922  # 2020-02-02 02:02:02 UTC
PEERS = ["lhasa", "7z", "bsdtar", "jlha"]
TIMEOUT = 300


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_inputs(root):
    r = random.Random(7)
    words = [b"the ", b"encoder ", b"packs ", b"data ", b"into ", b"blocks", b"\n", b"of ", b"codes "]
    text = b"".join(r.choice(words) for _ in range(40000))
    mixed = bytearray()
    while len(mixed) < 200000:  # text, small integers, random bytes and repeats
        kind = r.randrange(4)
        if kind == 0:
            mixed += text[r.randrange(100000):][:r.randrange(2000)]
        elif kind == 1:
            mixed += b"".join(r.randrange(300).to_bytes(4, "little") for _ in range(64))
        elif kind == 2:
            mixed += bytes(r.randrange(256) for _ in range(r.randrange(200)))
        elif mixed:
            start = r.randrange(len(mixed))
            mixed += mixed[start:start + r.randrange(3, 300)]
    block = bytes(r.randrange(256) for _ in range(65535))
    files = {
        "empty": b"",
        "one": b"A",
        "two": b"ab",
        "zeros": bytes(300000),
        "runs": b"".join(bytes([r.randrange(3)]) * r.randrange(1, 700) for _ in range(500)),
        "random": bytes(r.randrange(256) for _ in range(100000)),
        "text.txt": text,
        "long/repeat-window": block + block,  # a repeat 65,535 bytes back
        "long/repeat-far": block + bytes(70000) + block,
        "deep/a/b/c/leaf.txt": text[:5000],
        "Mixed Case Name.dat": mixed[:30000],
        # Three segments of 1 MiB (the last short): their blocks joined in one stream.
        "long/segments": (text + block + mixed) * (2 * 1024 * 1024 // len(text + block + mixed) + 1),
    }
    for size in (8191, 8192, 8193, 32767, 32768, 32769, 65535, 65536, 65537, 200000):
        files["edges/mixed-%d" % size] = bytes(mixed[:size])
    for name, data in files.items():
        write(os.path.join(root, "in", name), data)
    os.makedirs(os.path.join(root, "in", "empty-folder"), exist_ok=True)
    os.chmod(os.path.join(root, "in", "text.txt"), 0o444)
    write(os.path.join(root, "sjis", "ソフト", "表示.txt"), text[:3000])
    write(os.path.join(root, "sjis", "ソフト", "能力", "ascii.txt"), text[:100])
    for i, name in enumerate(UNICODE_NAMES):
        write(os.path.join(root, "unicode", name), text[i * 1000:i * 1000 + 999])


# Japanese, accented Greek, Cyrillic, Korean and emoji, with folders.
UNICODE_NAMES = ["日本語/ソフト 表示.txt", "Ελληνικά/άέήί.txt", "Кириллица/ёж.txt", "한국어/파일.txt",
                 "😀/🎉.bin"]


def code_page_name(path):
    """The code-page name older readers see: code page 932, '_' for a
    character it lacks."""
    out = b""
    for c in path.decode():
        try:
            out += c.encode("cp932")
        except UnicodeEncodeError:
            out += b"_"
    return out


def tree(root):
    """Every file and folder below root: relative byte path -> (sha256 or None, mtime, mode)."""
    found = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            full = os.path.join(folder, name)
            rel = os.path.relpath(os.fsencode(full), os.fsencode(root))
            if os.path.isdir(full):
                found[rel] = (None, None, None)
            else:
                with open(full, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
                st = os.stat(full)
                found[rel] = (digest, int(st.st_mtime), st.st_mode & 0o777)
    return found


def extract(peer, archive, target):
    env = dict(os.environ, TZ="UTC", LANG="C.UTF-8", LC_ALL="C.UTF-8")
    commands = {
        "lhasa": (["lhasa", "xf", archive], target),
        "7z": (["7z", "x", "-y", "-bsp0", "-bso0", "-o" + target, archive], None),
        "bsdtar": (["bsdtar", "--options", "hdrcharset=CP932", "-xf", archive, "-C", target], None),
        "jlha": (["jlha", "xf", archive], target),
    }
    command, cwd = commands[peer]
    p = subprocess.run(command, cwd=cwd, env=env, capture_output=True, timeout=TIMEOUT)
    return p.returncode, (p.stdout + p.stderr).decode("utf-8", "replace")


def compare(peer, level, expected, got, names_exact, check_times):
    """A list of faults of one extraction."""
    faults = []
    if names_exact:
        for path in sorted(set(expected) - set(got)):
            faults.append("missing %r" % path)
        for path in sorted(set(got) - set(expected)):
            faults.append("extra %r" % path)
    else:  # the contents, wherever the peer put them
        want = sorted(v[0] for v in expected.values() if v[0])
        have = sorted(v[0] for v in got.values() if v[0])
        if want != have:
            faults.append("contents differ")
    for path, (digest, mtime, mode) in expected.items():
        if not names_exact or path not in got or digest is None:
            continue
        g_digest, g_mtime, g_mode = got[path]
        if g_digest != digest:
            faults.append("content of %r" % path)
        elif check_times and g_mtime != MTIME:
            faults.append("time of %r: %d" % (path, g_mtime))
        elif peer == "bsdtar" and level > 0 and (mode & 0o222 == 0) != (g_mode & 0o222 == 0):
            faults.append("read-only attribute of %r" % path)
    return faults


def main():
    tool, work = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    peers = [p for p in PEERS if shutil.which(p)]
    if not peers:
        print("no peer extractor installed: skipped")
        return 77
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    make_inputs(work)
    expected = {source: tree(os.path.join(work, source)) for source in ("in", "sjis", "unicode")}
    # The archives hold "in/..." and "ソフト/..."; compare below those.
    expected["in"] = {b"in/" + k: v for k, v in expected["in"].items()}
    expected["in"][b"in"] = (None, None, None)

    runs = []
    for method in ("lh5", "lh6", "lh7"):
        for level in (0, 1, 2):
            runs.append(("in", method, level, []))
        runs.append(("in", method, 2, ["--best"]))
    runs.append(("in", "lh0", 2, []))
    for level in (0, 1, 2):
        runs.append(("sjis", "lh7", level, []))
    for level in (1, 2):
        runs.append(("unicode", "lh7", level, []))

    failures = 0
    results = {}
    for source, method, level, extra in runs:
        label = "%s-%s-L%d%s" % (source, method, level, "".join(extra))
        archive = os.path.join(work, label + ".lzh")
        cwd = work if source == "in" else os.path.join(work, source)
        inputs = {"in": ["in"], "sjis": ["ソフト"], "unicode": ["."]}[source]
        p = subprocess.run([tool, "a", "--method", method, "--level", str(level), "--mtime", str(MTIME)] +
                           extra + [archive] + inputs, cwd=cwd, capture_output=True, env=dict(os.environ, TZ="UTC"))
        if p.returncode != 0:
            print("FAIL %s: lzhtool a: %s" % (label, p.stderr.decode(errors="replace")))
            failures += 1
            continue
        for peer in peers:
            target = os.path.join(work, "out")
            shutil.rmtree(target, ignore_errors=True)
            os.makedirs(target)
            rc, log = extract(peer, archive, target)
            got = tree(target)
            if source == "sjis":
                # bsdtar converts the names; lhasa keeps the CP932 bytes where
                # the header separates folders with 0xFF (levels 1 and 2).
                want = expected["sjis"]
                if peer == "lhasa" and level > 0:
                    want = {k.decode().encode("cp932"): v for k, v in want.items()}
                exact = peer == "bsdtar" or (peer == "lhasa" and level > 0)
            elif source == "unicode":
                # bsdtar reads the exact names, lhasa the code-page ones.
                want = expected["unicode"]
                if peer == "lhasa":
                    want = {code_page_name(k): v for k, v in want.items()}
                exact = peer in ("bsdtar", "lhasa")
            else:
                want, exact = expected["in"], True
            faults = compare(peer, level, want, got, exact, peer != "jlha")
            if rc != 0:
                faults.insert(0, "exit status %d: %s" % (rc, log.strip()[-300:]))
            results.setdefault(peer, [0, 0])[0 if not faults else 1] += 1
            if faults:
                failures += 1
                print("FAIL %s with %s: %s" % (label, peer, "; ".join(faults[:5])))
    for peer in PEERS:
        if peer in results:
            ok, bad = results[peer]
            print("%-7s %2d of %2d archives read back" % (peer, ok, ok + bad))
        else:
            print("%-7s not installed: skipped" % peer)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
