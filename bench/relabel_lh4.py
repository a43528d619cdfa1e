#!/usr/bin/env python3
"""relabel_lh4.py IN OUT: a level 2 archive (as jlha-utils writes them) whose -lh5-
members are relabelled -lh4-, the method of LhA for the Amiga.

-lh4- is the -lh5- format with a 4 KB window; lhasa decodes both with one decoder,
so the relabelled archive extracts to the same files there, while libarchive
refuses the method. No Debian package writes -lh4-, so the benchmark makes it so.
"""
import sys


def crc16(data):
    table = [0] * 256
    for i in range(256):
        crc = i
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
        table[i] = crc
    crc = 0
    for byte in data:
        crc = (crc >> 8) ^ table[(crc ^ byte) & 0xFF]
    return crc


data = bytearray(open(sys.argv[1], "rb").read())
at = 0
while at + 2 <= len(data) and data[at] | data[at + 1]:
    size = int.from_bytes(data[at:at + 2], "little")
    if data[at + 20] != 2:
        sys.exit("relabel_lh4.py: only level 2 headers")
    if data[at + 2:at + 7] == b"-lh5-":
        data[at + 2:at + 7] = b"-lh4-"
        # The header CRC (extension 0x00) covers the whole header, itself as zero.
        ext = at + 24
        while int.from_bytes(data[ext:ext + 2], "little"):
            if data[ext + 2] == 0:
                data[ext + 3:ext + 5] = b"\0\0"
                data[ext + 3:ext + 5] = crc16(data[at:at + size]).to_bytes(2, "little")
            ext += int.from_bytes(data[ext:ext + 2], "little")
    at += size + int.from_bytes(data[at + 7:at + 11], "little")
open(sys.argv[2], "wb").write(data)
