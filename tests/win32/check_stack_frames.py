#!/usr/bin/env python3
"""Fails when the module moves its stack pointer down by a page or more at once.

The module is built without stack probes (they force every call's arguments
to be stored by `mov` instead of pushed, a tenth of the code).  Windows
commits a thread's stack one guard page at a time, so a frame must never
reach past the page below the last byte touched: every single allocation
must stay below 4096 bytes, with room for the pushes around it.

    check_stack_frames.py OBJDUMP MODULE   check the module
    check_stack_frames.py --self-test      show that the check can fail
"""
import re
import subprocess
import sys

LIMIT = 4096 - 64  # a page, less the saved registers and a call's pushes

# sub $N,%esp / add $-N,%esp / lea -N(%esp),%esp
PATTERNS = [
    (re.compile(r"\bsub\s+\$0x([0-9a-f]+),%esp"), 1),
    (re.compile(r"\badd\s+\$0x(f[0-9a-f]{7}),%esp"), -1),
    (re.compile(r"\blea\s+-0x([0-9a-f]+)\(%esp\),%esp"), 1),
]


def allocations(disassembly):
    """(line, bytes) for every downward move of %esp in objdump -d text."""
    found = []
    for line in disassembly.splitlines():
        for pattern, sign in PATTERNS:
            match = pattern.search(line)
            if not match:
                continue
            value = int(match.group(1), 16)
            size = value if sign > 0 else (1 << 32) - value
            if size < (1 << 31):  # `sub $0xffffff80` adds 128
                found.append((line.strip(), size))
    return found


def too_large(disassembly):
    return [(line, size) for line, size in allocations(disassembly) if size > LIMIT]


def self_test():
    sample = "\n".join([
        "  401000:\tsub    $0x20c,%esp",
        "  401010:\tsub    $0x1000,%esp",
        "  401020:\tadd    $0xffffe000,%esp",
        "  401030:\tsub    $0xffffff80,%esp",
        "  401040:\tlea    -0x2000(%esp),%esp",
    ])
    sizes = sorted(size for _, size in too_large(sample))
    if sizes != [0x1000, 0x2000, 0x2000]:
        print(f"check_stack_frames: self-test found {sizes}")
        return 1
    print("check_stack_frames: self-test passed")
    return 0


def main(argv):
    if argv[1:] == ["--self-test"]:
        return self_test()
    if len(argv) != 3:
        print(__doc__)
        return 2
    text = subprocess.run([argv[1], "-d", "--no-show-raw-insn", argv[2]], check=True,
                          capture_output=True, text=True).stdout
    frames = allocations(text)
    if not frames:
        print("check_stack_frames: no stack allocation found; is this the module?")
        return 1
    bad = too_large(text)
    for line, size in bad:
        print(f"check_stack_frames: {size} bytes at once: {line}")
    largest = max(size for _, size in frames)
    print(f"check_stack_frames: {len(frames)} allocations, the largest {largest} bytes (limit {LIMIT})")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
