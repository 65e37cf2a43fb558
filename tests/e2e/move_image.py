#!/usr/bin/python3
"""Writes a copy of a relocatable 32-bit PE exe moved to another image base.

Windows loads such an exe at a new base at every start, but Wine loads it at
its preferred base. A copy whose preferred base is another one, with its base
relocations applied, is what a moved load leaves in memory: the tests run the
program at an address it was not linked for.

    move_image.py IN.exe OUT.exe 0x10000000
"""
import struct
import sys


def fail(message):
    sys.stderr.write("move_image.py: %s\n" % message)
    sys.exit(2)


def main(argv):
    if len(argv) != 4:
        fail("usage: move_image.py IN.exe OUT.exe NEW_BASE")
    source, target, base_text = argv[1:]
    try:
        new_base = int(base_text, 0)
    except ValueError:
        fail("%r is not a number" % base_text)
    if new_base <= 0 or new_base % 0x10000 or new_base > 0x7FFF0000:
        fail("the new base must be a multiple of 64 KiB below 2 GiB")
    with open(source, "rb") as f:
        image = bytearray(f.read())

    def u16(at):
        return struct.unpack_from("<H", image, at)[0]

    def u32(at):
        return struct.unpack_from("<I", image, at)[0]

    pe = u32(0x3C)
    if image[pe:pe + 4] != b"PE\0\0" or u16(pe + 24) != 0x10B:
        fail("%s is not a 32-bit PE image" % source)
    sections = u16(pe + 6)
    optional = pe + 24
    old_base = u32(optional + 28)
    reloc_rva, reloc_size = struct.unpack_from("<II", image, optional + 96 + 5 * 8)
    if reloc_size == 0:
        fail("%s has no base relocations" % source)
    table = optional + u16(pe + 20)
    spans = []
    for i in range(sections):
        at = table + 40 * i
        virtual_size, rva, raw_size, raw = struct.unpack_from("<IIII", image, at + 8)
        spans.append((rva, max(virtual_size, raw_size), raw, raw_size))

    def file_offset(rva):
        for start, size, raw, raw_size in spans:
            if start <= rva < start + size:
                if rva - start + 4 > raw_size:
                    fail("relocation at RVA %#x lies outside the file" % rva)
                return raw + rva - start
        fail("RVA %#x lies in no section" % rva)

    delta = (new_base - old_base) & 0xFFFFFFFF
    at, end = file_offset(reloc_rva), file_offset(reloc_rva) + reloc_size
    while at + 8 <= end:
        page, block = struct.unpack_from("<II", image, at)
        if block < 8:
            break
        for k in range(at + 8, at + block, 2):
            entry = u16(k)
            kind, offset = entry >> 12, entry & 0xFFF
            if kind == 0:  # padding
                continue
            if kind != 3:  # only HIGHLOW is used in a 32-bit image
                fail("relocation type %d is not supported" % kind)
            where = file_offset(page + offset)
            struct.pack_into("<I", image, where, (u32(where) + delta) & 0xFFFFFFFF)
        at += block
    struct.pack_into("<I", image, optional + 28, new_base)
    with open(target, "wb") as f:
        f.write(image)


if __name__ == "__main__":
    main(sys.argv)
