#!/usr/bin/python3
"""Checks the hardening of the built module's image, read with pefile.

- It may be loaded at any address: DYNAMIC_BASE, base relocations in their
  own section, "relocations stripped" clear; its data is not executable
  (NX_COMPAT); it has no exception handlers (NO_SEH), and no code of it
  touches fs:[0], where a handler would be registered.
- Its static imports come from the system folder only: a load configuration
  whose DependentLoadFlags is LOAD_LIBRARY_SEARCH_SYSTEM32.
- Its import tables are read-only (the loader fills the address table in),
  and every import is named by the address table.
- Sections .text .bss .reloc .rsrc, the resources last, ending at the end of
  the file (the configuration block follows it); the headers in one
  file-alignment step; the checksum right.
- Its manifest asks for administrator rights, declares per-monitor (v2) DPI
  awareness beside the older dpiAware, and names every Windows from Vista to
  10 and 11 as supported.

    check_module_image.py MODULE              check the module
    check_module_image.py --self-test MODULE  damage copies of it: each check fails
"""
import struct
import sys

try:
    import pefile
except ImportError:
    print("SKIP: python3-pefile not installed (scripts/setup.sh)")
    sys.exit(77)

DYNAMIC_BASE = 0x0040
NX_COMPAT = 0x0100
NO_SEH = 0x0400
RELOCS_STRIPPED = 0x0001
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x0800
DEPENDENT_LOAD_FLAGS = 0x36  # a WORD in IMAGE_LOAD_CONFIG_DIRECTORY32
SE_HANDLER_TABLE = 0x40  # SEHandlerTable, then SEHandlerCount
SECTIONS = [".text", ".bss", ".reloc", ".rsrc"]
MEM_WRITE = 0x80000000
MANIFEST_PARTS = {
    "requireAdministrator": '<requestedExecutionLevel level="requireAdministrator"/>',
    "dpiAware": '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>',
    "dpiAwareness": '<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">'
                    'PerMonitorV2</dpiAwareness>',
}
SUPPORTED_OS = {  # the ids Microsoft publishes for each system
    "Vista": "e2011457-1546-43c5-a5fe-008deee3d3f0",
    "7": "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
    "8": "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38",
    "8.1": "1f676c76-80e1-4239-95bb-83d0f6d0da78",
    "10 and 11": "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a",
}


def manifest_of(pe):
    """The text of resource 24/1, or None."""
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    kinds = pe.DIRECTORY_ENTRY_RESOURCE.entries if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") else []
    for kind in kinds:
        for entry in kind.directory.entries if kind.id == 24 else []:
            for language in entry.directory.entries if entry.id == 1 else []:
                data = language.data.struct
                return pe.get_data(data.OffsetToData, data.Size).decode("utf-8", errors="replace")
    return None


def manifest_faults(pe):
    manifest = manifest_of(pe)
    if manifest is None:
        return ["no manifest (resource 24/1)"]
    found = [f"the manifest lacks {name}" for name, part in MANIFEST_PARTS.items() if part not in manifest]
    found += [f"the manifest lacks the supportedOS of Windows {name}" for name, guid in SUPPORTED_OS.items()
              if f'<supportedOS Id="{{{guid}}}"/>' not in manifest]
    return found

# Accesses to fs:[0] with an absolute 32-bit displacement: mov eax to/from,
# push, pop, and mov of any register (ModR/M with mod 00, r/m 101).
FS_ZERO = [bytes.fromhex(p) for p in ("64a100000000", "64a300000000", "64ff3500000000",
                                      "648f0500000000")]


def touches_fs_zero(code):
    if any(pattern in code for pattern in FS_ZERO):
        return True
    at = code.find(b"\x64")
    while at != -1:
        if code[at + 1:at + 2] in (b"\x89", b"\x8b") and at + 7 <= len(code):
            if code[at + 2] & 0xC7 == 0x05 and code[at + 3:at + 7] == bytes(4):
                return True
        at = code.find(b"\x64", at + 1)
    return False


def faults(data):
    """What is wrong with the image in DATA, as a list of texts."""
    try:
        pe = pefile.PE(data=data)
    except pefile.PEFormatError as error:
        return [f"not a PE image: {error}"]
    found = []
    optional = pe.OPTIONAL_HEADER
    flags = optional.DllCharacteristics
    for flag, name in ((DYNAMIC_BASE, "DYNAMIC_BASE"), (NX_COMPAT, "NX_COMPAT"), (NO_SEH, "NO_SEH")):
        if not flags & flag:
            found.append(f"DllCharacteristics {flags:#06x} lacks {name}")
    if pe.FILE_HEADER.Characteristics & RELOCS_STRIPPED:
        found.append("the file header says the relocations were stripped")

    names = [s.Name.rstrip(b"\0").decode(errors="replace") for s in pe.sections]
    if names != SECTIONS:
        found.append(f"sections {' '.join(names)}, not {' '.join(SECTIONS)}")
    by_name = dict(zip(names, pe.sections))
    last = max(pe.sections, key=lambda s: s.PointerToRawData + s.SizeOfRawData)
    if last is not pe.sections[-1] or last.VirtualAddress != max(s.VirtualAddress for s in pe.sections):
        found.append("the last section in the table is not last in the file and in memory")
    if last.PointerToRawData + last.SizeOfRawData != len(data):
        found.append(f"the last section ends at {last.PointerToRawData + last.SizeOfRawData:#x}, "
                     f"the file at {len(data):#x}")
    if optional.SizeOfHeaders != optional.FileAlignment:
        found.append(f"headers take {optional.SizeOfHeaders:#x} bytes, more than one step of "
                     f"{optional.FileAlignment:#x}")
    if optional.CheckSum != pe.generate_checksum():
        found.append(f"checksum {optional.CheckSum:#x}, the file gives {pe.generate_checksum():#x}")

    relocations = optional.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    reloc = by_name.get(".reloc")
    if relocations.Size == 0:
        found.append("no base relocations")
    elif reloc and (relocations.VirtualAddress, relocations.Size) != (reloc.VirtualAddress,
                                                                       reloc.Misc_VirtualSize):
        found.append("the base relocations are not the .reloc section")
    else:
        pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]])
        blocks = getattr(pe, "DIRECTORY_ENTRY_BASERELOC", [])
        types = {e.type for block in blocks for e in block.entries}
        if not blocks or not types <= {pefile.RELOCATION_TYPE["IMAGE_REL_BASED_HIGHLOW"],
                                       pefile.RELOCATION_TYPE["IMAGE_REL_BASED_ABSOLUTE"]}:
            found.append(f"base relocations unreadable or of types {sorted(types)}")

    config = optional.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]]
    if config.Size == 0:
        found.append("no load configuration")
    else:
        size = pe.get_dword_at_rva(config.VirtualAddress)
        if size != config.Size:
            found.append(f"the load configuration says {size} bytes, its directory {config.Size}")
        if size is None or size < DEPENDENT_LOAD_FLAGS + 2:
            found.append("the load configuration ends before DependentLoadFlags")
        else:
            load_flags = pe.get_word_at_rva(config.VirtualAddress + DEPENDENT_LOAD_FLAGS)
            if load_flags != LOAD_LIBRARY_SEARCH_SYSTEM32:
                found.append(f"DependentLoadFlags {load_flags:#x}, not LOAD_LIBRARY_SEARCH_SYSTEM32")
        if size and size >= SE_HANDLER_TABLE + 8 and pe.get_dword_at_rva(config.VirtualAddress + SE_HANDLER_TABLE):
            found.append("the load configuration has a SafeSEH table, which NO_SEH contradicts")

    text = by_name.get(".text")
    iat = optional.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IAT"]]
    holder = [s for s in pe.sections if s.VirtualAddress <= iat.VirtualAddress < s.VirtualAddress + s.Misc_VirtualSize]
    if not holder or holder[0].Characteristics & MEM_WRITE:
        found.append("the import address table is not in a read-only section")
    pe.parse_data_directories([pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"]])
    imports = getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])
    if not imports or any(not i.name for d in imports for i in d.imports):
        found.append("imports unreadable or without names")
    if text and touches_fs_zero(text.get_data()):
        found.append(".text reads or writes fs:[0] (registers an exception handler?)")
    return found + manifest_faults(pe)


def damaged(data):
    """(fault, copy) pairs: the module with one fault each, and a word of
    the text that must report it (every copy's checksum is wrong too)."""
    pe = pefile.PE(data=data)
    optional = pe.OPTIONAL_HEADER
    offset = optional.get_file_offset()
    directories = offset + 96
    config = optional.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG"]]
    text = pe.sections[0]

    def patch(at, fmt, value):
        copy = bytearray(data)
        struct.pack_into(fmt, copy, at, value)
        return bytes(copy)

    dll = offset + 70
    characteristics = pe.FILE_HEADER.get_file_offset() + 18
    load_flags = pe.get_offset_from_rva(config.VirtualAddress + DEPENDENT_LOAD_FLAGS)
    code_end = text.PointerToRawData + text.Misc_VirtualSize
    return [
        ("DYNAMIC_BASE", patch(dll, "<H", optional.DllCharacteristics & ~DYNAMIC_BASE)),
        ("NO_SEH", patch(dll, "<H", optional.DllCharacteristics & ~NO_SEH)),
        ("stripped", patch(characteristics, "<H", pe.FILE_HEADER.Characteristics | RELOCS_STRIPPED)),
        ("no base relocations", patch(directories + 5 * 8 + 4, "<I", 0)),
        ("no load configuration", patch(directories + 10 * 8 + 4, "<I", 0)),
        ("DependentLoadFlags", patch(load_flags, "<H", 0)),
        ("sections", patch(pe.sections[2].get_file_offset(), "8s", b".rdata")),
        ("read-only", patch(text.get_file_offset() + 36, "<I", text.Characteristics | MEM_WRITE)),
        ("ends at", data + bytes(optional.FileAlignment)),
        ("fs:[0]", data[:code_end - 7] + bytes.fromhex("64892500000000") + data[code_end:]),
        ("dpiAwareness", data.replace(b"PerMonitorV2", b"PerMonitorV1", 1)),
        ("10 and 11", data.replace(b"{8e0f7a12", b"{0e0f7a12", 1)),
    ]


def self_test(path):
    data = open(path, "rb").read()
    if faults(data):
        print(f"check_module_image: self-test needs a sound module: {faults(data)}")
        return 1
    missed = 0
    for word, copy in damaged(data):
        if not any(word in fault for fault in faults(copy)):
            print(f"check_module_image: self-test: no fault says \"{word}\": {faults(copy)}")
            missed += 1
    if not missed:
        print("check_module_image: self-test passed")
    return 1 if missed else 0


def main(argv):
    if len(argv) == 3 and argv[1] == "--self-test":
        return self_test(argv[2])
    if len(argv) != 2:
        print(__doc__)
        return 2
    found = faults(open(argv[1], "rb").read())
    for fault in found:
        print(f"check_module_image: {fault}")
    if not found:
        print(f"check_module_image: {argv[1]} is hardened")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
