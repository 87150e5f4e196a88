#!/usr/bin/env python3
"""Finishes sfx.exe after the link, with three things ld 2.40 does not do:

- The import lookup tables go.  Before binding they hold what the address
  table holds, the names to import, and the loader reads those from the
  address table when a descriptor's lookup table is 0 (as it has since the
  first linkers left them out).  The linker script puts them at the end of
  .text, so cutting them off shortens the section and moves no address:
  only the raw data behind it moves down.

- Data directory 10, the load configuration: ld 2.40 knows no
  _load_config_used.  Its address comes from the link map, its size from
  the structure's first field.
- The headers in one file-alignment step: ld writes a 64-byte DOS program
  and puts the PE headers at 0x80, where four section headers end past
  0x200.  At 0x40 they end at 0x1d8, and every section's raw data moves
  down by what the headers no longer take.  The DOS header itself holds the
  DOS program instead: `mov ax,4C01h; int 21h`, ending with code 1.

Then the checksum is computed again.  The image is rewritten only when all
of this succeeded.

    sfx-module-finish.py MAP IMAGE
"""
import os
import re
import shutil
import struct
import sys

LOAD_CONFIG_DIRECTORY = 10
NT_HEADERS_AT = 0x40
DOS_EXIT = bytes.fromhex("b8014ccd21")  # mov ax,4C01h; int 21h
DOS_CODE_AT = 0x28  # in e_res2; the DOS load module starts at 0x20


def fail(message):
    sys.exit(f"sfx-module-finish: {message}")


def symbol_address(link_map, name):
    """The address the link map gives a symbol (or assigns it), or None."""
    found = re.search(rf"^\s+0x([0-9a-fA-F]+)\s+{re.escape(name)}(\s*=.*)?$", link_map, re.MULTILINE)
    return int(found.group(1), 16) if found else None


def checksum(image, field):
    """The PE checksum (CheckSumMappedFile) with the field itself as zero."""
    data = image[:field] + b"\0\0\0\0" + image[field + 4:]
    if len(data) % 2:
        data += b"\0"
    total = sum(struct.unpack_from(f"<{len(data) // 2}H", data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total + len(image)


def drop_lookup_tables(link_map, image):
    """The image without its import lookup tables (see above)."""
    nt, = struct.unpack_from("<I", image, 0x3C)
    section_count, optional_size = struct.unpack_from("<H12xH", image, nt + 6)
    optional = nt + 24
    image_base, = struct.unpack_from("<I", image, optional + 28)
    file_alignment, = struct.unpack_from("<I", image, optional + 36)
    table = optional + optional_size
    sections = [struct.unpack_from("<8sIIII", image, table + 40 * i) for i in range(section_count)]
    start = symbol_address(link_map, "__lookup_tables_start__")
    end = symbol_address(link_map, "__lookup_tables_end__")
    if start is None or end is None:
        fail("the link map does not say where the import lookup tables are")
    start -= image_base
    end -= image_base
    holder = [i for i, s in enumerate(sections) if s[2] <= start and end == s[2] + s[1]]
    if not holder:
        fail("the import lookup tables do not end a section")
    index = holder[0]
    _, virtual_size, section_rva, raw_size, raw_offset = sections[index]

    def offset_of(rva):
        return raw_offset + rva - section_rva

    out = bytearray(image)
    import_rva, = struct.unpack_from("<I", image, optional + 96 + 8 * 1)
    descriptor = offset_of(import_rva)
    while any(struct.unpack_from("<5I", image, descriptor)):
        lookup, _, _, _, address_table = struct.unpack_from("<5I", image, descriptor)
        if not start <= lookup < end:
            fail(f"an import lookup table at RVA {lookup:#x} lies outside the cut")
        # Entry by entry the same as the address table, to its terminator.
        i = 0
        while True:
            entry, = struct.unpack_from("<I", image, offset_of(lookup) + 4 * i)
            if entry != struct.unpack_from("<I", image, offset_of(address_table) + 4 * i)[0]:
                fail(f"the address table at RVA {address_table:#x} differs from its lookup table")
            if entry == 0:
                break
            i += 1
        struct.pack_into("<I", out, descriptor, 0)
        descriptor += 20

    # No base relocation may point into what goes.
    reloc_rva, reloc_size = struct.unpack_from("<II", image, optional + 96 + 8 * 5)
    reloc_section = [s for s in sections if s[2] <= reloc_rva < s[2] + s[1]]
    if reloc_size and reloc_section:
        at = reloc_section[0][4] + reloc_rva - reloc_section[0][2]
        stop = at + reloc_size
        while at < stop:
            page, block = struct.unpack_from("<II", image, at)
            for k in range((block - 8) // 2):
                entry, = struct.unpack_from("<H", image, at + 8 + 2 * k)
                if entry >> 12 and start <= page + (entry & 0xFFF) < end:
                    fail("a base relocation points into the import lookup tables")
            at += block

    new_virtual_size = start - section_rva
    new_raw_size = -(-new_virtual_size // file_alignment) * file_alignment
    out[offset_of(start):raw_offset + raw_size] = bytes(raw_offset + raw_size - offset_of(start))
    struct.pack_into("<I", out, table + 40 * index + 8, new_virtual_size)
    struct.pack_into("<I", out, table + 40 * index + 16, new_raw_size)
    cut = raw_size - new_raw_size
    if cut:
        del out[raw_offset + new_raw_size:raw_offset + raw_size]
        for i, s in enumerate(sections):
            if s[3] and s[4] > raw_offset:
                struct.pack_into("<I", out, table + 40 * i + 20, s[4] - cut)
        # SizeOfCode: .text is the code section.
        size_of_code, = struct.unpack_from("<I", out, optional + 4)
        struct.pack_into("<I", out, optional + 4, size_of_code - cut)
    return bytes(out)


def finish(link_map, image):
    if image[:2] != b"MZ":
        fail("not a PE image")
    nt, = struct.unpack_from("<I", image, 0x3C)
    if nt < NT_HEADERS_AT or image[nt:nt + 4] != b"PE\0\0":
        fail("no PE signature")
    section_count, optional_size = struct.unpack_from("<H12xH", image, nt + 6)
    optional = nt + 24
    if struct.unpack_from("<H", image, optional)[0] != 0x10B:
        fail("not a PE32 image")
    image_base, = struct.unpack_from("<I", image, optional + 28)
    file_alignment, = struct.unpack_from("<I", image, optional + 36)
    headers_size, = struct.unpack_from("<I", image, optional + 60)
    checksum_field = optional + 64
    directory_count, = struct.unpack_from("<I", image, optional + 92)
    if directory_count <= LOAD_CONFIG_DIRECTORY:
        fail("no room for the load configuration's directory")
    headers_end = optional + optional_size + 40 * section_count
    sections = [struct.unpack_from("<8sIIII", image, optional + optional_size + 40 * i)
                for i in range(section_count)]

    # The load configuration: its RVA, and its own size as the directory's.
    address = symbol_address(link_map, "_load_config_used")
    if address is None:
        fail("the link map names no _load_config_used")
    rva = address - image_base
    holder = [s for s in sections if s[2] <= rva and rva + 4 <= s[2] + min(s[1], s[3])]
    if not holder:
        fail(f"_load_config_used at RVA {rva:#x} lies in no section's raw data")
    _, virtual_size, start, raw_size, raw_offset = holder[0]
    size, = struct.unpack_from("<I", image, raw_offset + rva - start)
    if size < 0x38 or rva + size > start + min(virtual_size, raw_size):
        fail(f"the load configuration's size {size:#x} is not that of a structure in its section")
    directory = optional + 96 + 8 * LOAD_CONFIG_DIRECTORY
    present = struct.unpack_from("<II", image, directory)
    if present not in ((0, 0), (rva, size)):
        fail(f"the load configuration's directory already says {present}")

    # The headers at 0x40, then the raw data moved down.
    new_headers_end = NT_HEADERS_AT + headers_end - nt
    new_headers_size = -(-new_headers_end // file_alignment) * file_alignment
    shift = headers_size - new_headers_size
    if shift < 0 or any(s[4] < headers_size for s in sections if s[3]):
        fail("sections overlap the headers")
    out = bytearray(image[:0x40])
    struct.pack_into("<HH", out, 0x02, 0x40, 1)  # e_cblp, e_cp: a DOS file of 64 bytes
    struct.pack_into("<H", out, 0x08, 2)  # e_cparhdr: 32 of them header
    struct.pack_into("<HH", out, 0x14, DOS_CODE_AT - 0x20, 0)  # e_ip, e_cs
    out[0x1C:0x3C] = bytes(0x20)  # e_res, e_oemid, e_oeminfo, e_res2
    out[DOS_CODE_AT:DOS_CODE_AT + len(DOS_EXIT)] = DOS_EXIT
    struct.pack_into("<I", out, 0x3C, NT_HEADERS_AT)
    out += image[nt:headers_end]
    out += bytes(new_headers_size - len(out))
    delta = NT_HEADERS_AT - nt
    struct.pack_into("<I", out, optional + delta + 60, new_headers_size)
    struct.pack_into("<II", out, directory + delta, rva, size)
    for i, (_, _, _, raw_size, raw_offset) in enumerate(sections):
        if raw_size:
            struct.pack_into("<I", out, optional + delta + optional_size + 40 * i + 20, raw_offset - shift)
    out += image[headers_size:]
    struct.pack_into("<I", out, checksum_field + delta, checksum(bytes(out), checksum_field + delta))
    return bytes(out)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    map_path, image_path = sys.argv[1:]
    with open(map_path, encoding="utf-8", errors="replace") as file:
        link_map = file.read()
    with open(image_path, "rb") as file:
        image = file.read()
    finished = finish(link_map, drop_lookup_tables(link_map, image))
    temporary = image_path + ".finishing"
    with open(temporary, "wb") as file:
        file.write(finished)
    # Keep the linker's mode: the end-to-end tests take only an executable module.
    shutil.copymode(image_path, temporary)
    os.replace(temporary, image_path)


if __name__ == "__main__":
    main()
