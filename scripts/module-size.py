#!/usr/bin/env python3
"""Prints a PE image's sections (used bytes, raw bytes, slack to the next
file-alignment step) and its size: the module grows in 512-byte steps per
section.  usage: module-size.py [build/win32/sfx.exe]"""
import struct
import sys

path = sys.argv[1] if len(sys.argv) > 1 else "build/win32/sfx.exe"
data = open(path, "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
count, = struct.unpack_from("<H", data, pe + 6)
optional, = struct.unpack_from("<H", data, pe + 20)
table = pe + 24 + optional
for i in range(count):
    entry = table + 40 * i
    name = data[entry:entry + 8].rstrip(b"\0").decode()
    used, _, raw, _ = struct.unpack_from("<IIII", data, entry + 8)
    print(f"{name:6} used {used:#7x}  raw {raw:#7x}  slack {max(raw - used, 0):5}")
print(f"{path}: {len(data)} bytes")
