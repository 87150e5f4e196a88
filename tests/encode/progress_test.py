#!/usr/bin/env python3
"""The progress line of `lzhtool a` and mksfx: drawn and erased when
standard error is a terminal (a pseudo-terminal here), on one thread and
on several; nothing with --quiet, and nothing when standard error is a
pipe.  The archive's bytes are the same in every case.

usage: progress_test.py LZHTOOL MKSFX MODULE WORK_DIR

Without MODULE (a built sfx.exe) the mksfx runs are left out.
"""
import os
import random
import re
import shutil
import subprocess
import sys


def run(command, terminal):
    """Exit status and what reached standard error."""
    if not terminal:
        p = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=300)
        return p.returncode, p.stderr
    master, slave = os.openpty()
    p = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=slave)
    os.close(slave)
    err = b""
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # the last writer has closed it
            break
        if not chunk:
            break
        err += chunk
    os.close(master)
    return p.wait(timeout=300), err


def check(what, status, err, prefix, shown):
    if status != 0:
        sys.exit(f"{what}: exit status {status}: {err!r}")
    # "\rPREFIX 1.2 of 3.4 MB (35%)...", and at the end "\r     \r"
    drawn = re.search(rb"\r" + re.escape(prefix) + rb"[0-9.]+ of [0-9.]+ MB \([0-9]+%\)", err)
    if shown and not (drawn and re.search(rb"\r +\r$", err)):
        sys.exit(f"{what}: no progress line drawn and erased: {err[-300:]!r}")
    if not shown and err:
        sys.exit(f"{what}: wrote {err[:300]!r}")
    print(f"{what}: {'drawn and erased' if shown else 'nothing'}")


def main():
    lzhtool, mksfx, module, work = sys.argv[1:5]
    shutil.rmtree(work, ignore_errors=True)
    r = random.Random(3)
    for i in range(40):
        os.makedirs(f"{work}/in/d{i % 4}", exist_ok=True)
        with open(f"{work}/in/d{i % 4}/f{i}", "wb") as f:
            f.write(bytes(r.randrange(16) for _ in range(r.randrange(60000))))
    archives = set()
    for threads in ("1", "3"):
        for terminal, quiet in ((True, []), (True, ["--quiet"]), (False, [])):
            what = f"lzhtool a --threads {threads} {' '.join(quiet)} ({'terminal' if terminal else 'pipe'})"
            out = f"{work}/out.lzh"
            status, err = run([lzhtool, "a", "--threads", threads, *quiet, "-C", f"{work}/in", out, "."], terminal)
            check(what, status, err, b"lzhtool: ", terminal and not quiet)
            with open(out, "rb") as f:
                archives.add(f.read())
            os.remove(out)
            if os.path.isfile(module):
                status, err = run([mksfx, "-o", f"{work}/out.exe", "--module", module, "--threads", threads,
                                   *quiet, "-C", f"{work}/in", "."], terminal)
                check(what.replace("lzhtool a", "mksfx"), status, err, b"mksfx: ", terminal and not quiet)
    if len(archives) != 1:
        sys.exit(f"{len(archives)} different archives")
    shutil.rmtree(work)


if __name__ == "__main__":
    main()
