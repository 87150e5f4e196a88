#!/usr/bin/env python3
"""Checks what a package run extracted against lzhgen's manifest.

    check_tree.py MANIFEST ROOT [--tz ZONE] [--codepage CP] [--map FILE] [--exact]

Every entry of the manifest must be found below ROOT (a Unix folder):
  F entries  a file with the entry's SHA-256, its time stamp and its attributes;
  D entries  a folder with its attributes, and its time stamp when no later
             entry was written into it.
Time stamps: header levels 0 and 1 hold an MS-DOS date and time, which the
module takes as local time of the run's time zone (--tz, default UTC); level 2
holds Unix seconds.  Attributes, as Wine keeps them on Linux files: read-only
(0x01) is a file without write bits, hidden (0x02) and system (0x04) are kept
in the extended attribute user.DOSATTRIB.

--codepage names the code page the stored names are in (default cp1252); the
extracted names are UTF-8.  --map FILE gives the expected path of some entries
instead of their manifest name, one "INDEX<TAB>PATH" per line, PATH "-" for an
entry that is not to be found as stored (skipped, or an existing file kept).  With --exact, ROOT must hold
nothing but the expected files and folders (and the folders above them).
--outside DIR (repeatable) with --since FILE checks only this: no file below DIR (three levels
deep, ROOT left out) that was written after FILE holds the content of an
entry (the change time counts: the module gives files their stored times).
"""
import argparse
import datetime
import hashlib
import os
import stat
import sys
import zoneinfo


def read_manifest(path):
    rows = []
    columns = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("#") or not line:
                continue
            fields = line.split("\t")
            if columns is None:
                columns = fields
                continue
            rows.append(dict(zip(columns, fields)))
    return rows


def decode_name(escaped, codepage):
    raw = bytearray()
    i = 0
    while i < len(escaped):
        if escaped.startswith("\\x", i):
            raw.append(int(escaped[i + 2:i + 4], 16))
            i += 4
        else:
            raw += escaped[i].encode("latin-1")
            i += 1
    return raw.decode(codepage)


def expected_mtime(row, zone):
    raw = int(row["mtime_raw"], 16)
    if row["level"] == "2":
        return raw
    date, time = raw >> 16, raw & 0xFFFF
    local = datetime.datetime((date >> 9) + 1980, (date >> 5) & 15, date & 31,
                              time >> 11, (time >> 5) & 63, (time & 31) * 2, tzinfo=zone)
    return int(local.timestamp())


def dos_attributes(path):
    """The hidden and system bits as Wine keeps them."""
    try:
        value = os.getxattr(path, "user.DOSATTRIB", follow_symlinks=False).decode()
    except OSError:
        return 0
    return int(value.split()[0].strip("\0"), 16) & 0x06


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("manifest")
    parser.add_argument("root")
    parser.add_argument("--tz", default="UTC")
    parser.add_argument("--codepage", default="cp1252")
    parser.add_argument("--map")
    parser.add_argument("--exact", action="store_true")
    parser.add_argument("--outside", action="append", default=[])
    parser.add_argument("--since")
    args = parser.parse_args()
    zone = zoneinfo.ZoneInfo(args.tz)

    rows = read_manifest(args.manifest)
    mapped = {}
    if args.map:
        with open(args.map, encoding="utf-8") as f:
            for line in f:
                if line.strip():
                    index, path = line.rstrip("\n").split("\t")
                    mapped[index] = path

    faults = []
    expected_paths = set()
    written = []  # (row, relative path) of every entry that must exist
    for row in rows:
        rel = mapped.get(row["idx"])
        if rel is None:
            rel = decode_name(row["name"], args.codepage).rstrip("/")
        if rel == "-":
            continue
        written.append((row, rel))
        parts = rel.split("/")
        for n in range(1, len(parts) + 1):
            expected_paths.add("/".join(parts[:n]))

    checked = 0
    if args.outside:
        written = []  # only the outside check
    for position, (row, rel) in enumerate(written):
        path = os.path.join(args.root, rel)
        try:
            info = os.lstat(path)
        except OSError:
            faults.append(f"missing: {rel}")
            continue
        attr = int(row["attr"], 16)
        if row["kind"] == "F":
            if not stat.S_ISREG(info.st_mode):
                faults.append(f"not a file: {rel}")
                continue
            with open(path, "rb") as f:
                digest = hashlib.sha256(f.read()).hexdigest()
            if digest != row["sha256"]:
                faults.append(f"content differs: {rel} ({info.st_size} bytes, {row['size']} expected)")
            read_only = info.st_mode & 0o222 == 0
            if read_only != bool(attr & 0x01):
                faults.append(f"read-only is {read_only} for {rel}, attribute {row['attr']}")
            check_time = True
        else:
            if not stat.S_ISDIR(info.st_mode):
                faults.append(f"not a folder: {rel}")
                continue
            # A later entry written into the folder changes its time.
            check_time = not any(other.startswith(rel + "/") for _, other in written[position + 1:])
        if dos_attributes(path) != attr & 0x06:
            faults.append(f"hidden/system bits {dos_attributes(path):#x} for {rel}, attribute {row['attr']}")
        if check_time:
            want = expected_mtime(row, zone)
            if int(info.st_mtime) != want:
                got = datetime.datetime.fromtimestamp(int(info.st_mtime), datetime.timezone.utc)
                wanted = datetime.datetime.fromtimestamp(want, datetime.timezone.utc)
                faults.append(f"time of {rel} is {got:%Y-%m-%d %H:%M:%S}Z, expected {wanted:%Y-%m-%d %H:%M:%S}Z")
        checked += 1

    if args.exact and not args.outside:
        for folder, dirs, files in os.walk(args.root):
            for name in dirs + files:
                rel = os.path.relpath(os.path.join(folder, name), args.root)
                if rel not in expected_paths:
                    faults.append(f"unexpected: {rel}")

    if args.outside:
        since = os.stat(args.since).st_mtime
        contents = {(int(r["size"]), r["sha256"]) for r in rows if r["kind"] == "F"}
        sizes = {size for size, _ in contents}
        root = os.path.realpath(args.root)
        for top in args.outside:
            top = os.path.realpath(top)
            for folder, dirs, files in os.walk(top):
                depth = folder[len(top):].count(os.sep)
                dirs[:] = [] if depth >= 3 else [d for d in dirs if os.path.join(folder, d) != root]
                for name in files:
                    path = os.path.join(folder, name)
                    try:
                        info = os.lstat(path)
                    except OSError:
                        continue
                    if not stat.S_ISREG(info.st_mode) or info.st_ctime < since or info.st_size not in sizes:
                        continue
                    with open(path, "rb") as f:
                        digest = hashlib.sha256(f.read()).hexdigest()
                    if (info.st_size, digest) in contents:
                        faults.append(f"written outside the destination: {path}")

    for fault in faults:
        print(f"check_tree: {fault}")
    if faults:
        return 1
    if args.outside:
        print("check_tree: nothing written outside")
    else:
        print(f"check_tree: {checked} entries as stored")
    return 0


if __name__ == "__main__":
    sys.exit(main())
