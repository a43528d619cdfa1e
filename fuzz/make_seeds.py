#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora into fuzz/corpus/<target>/.

Run from anywhere: python3 fuzz/make_seeds.py. Every seed is small and made here
from scratch, except the LHA seeds, which are copies of committed test fixtures
(tests/data/lha, made with jlha-utils; see its README). Regression inputs that
the fuzzers found are kept beside the seeds under names starting with "found-";
this script leaves them alone.
"""
import pathlib
import shutil
import struct

FUZZ = pathlib.Path(__file__).resolve().parent
CORPUS = FUZZ / "corpus"
LHA_FIXTURES = FUZZ.parent / "tests" / "data" / "lha"


def write(target, name, data):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("cp932")
    (folder / name).write_bytes(data)


# --- info.txt: 21 fixed lines, then "disk,kind,file,subfolder" entries, CP932.
def package_info():
    fixed = ["ｺﾘﾑ", "NULL", "", "", "", "C:\\KORIMU", "2", "1", "NULL", "1",
             "main.bmp", "start.bmp", "dest.bmp", "confirm.bmp",
             "ｺﾘﾑを更新します。\t\t表示を確認してください。", "インストール先を選んでください。",
             "ﾍﾟﾙﾓﾝﾄ", "ｺﾘﾑ", "表計算", "ﾃﾞｼﾞﾀｲｻﾞ", "ﾃﾞｰﾀ"]
    entries = ["1,1,start,", "1,1,help,HELP\\", "1,0,master21.dat,MASTER\\21\\",
               "2,0,表示.exe,ソフト\\", "2,0,readme.txt,DOC\\"]
    write("package_info", "info-crlf.txt", "\r\n".join(fixed + entries) + "\r\n")
    write("package_info", "info-lf-blank-end.txt", "\n".join(fixed + entries) + "\n\n  \n")
    write("package_info", "info-short.txt", "ｺﾘﾑ\r\nNULL\r\n")
    odd = ["  3 ,x1,a,b,c,d", ",,,", "99999999999,-2147483649,ｆｕｌｌ.txt", "1,1"]
    write("package_info", "info-odd-entries.txt", "\r\n".join(fixed + odd) + "\x1a\x1aafter")
    write("package_info", "info-tabs.txt", "\r\n".join(fixed[:14] + ["\t" * 120, "a\t"] + fixed[16:]))


# --- profile: section NUL key NUL value NUL file bytes.
def profile():
    ini = ("; settings\r\n[Settings]\r\nPath = C:\\KORIMU \r\nName=\"ｺﾘﾑ\"\r\n\r\n"
           "[表示]\r\nサイズ=12\r\n[Settings]\r\nPath=second\r\n")
    write("profile", "edit-existing.ini", "Settings\0path\0D:\\NEW\0" + ini)
    write("profile", "add-key.ini", "表示\0色\0青\0" + ini)
    write("profile", "add-section.ini", "New\0Key\0'quoted'\0" + ini.rstrip("\r\n"))
    write("profile", "missing-file.ini", "Settings\0Path\0C:\\APP")
    write("profile", "lf-ctrlz.ini", " settings \0 name \0 v;not a comment \0[settings]\nname=old\n\x1a")
    utf8 = "\ufeff[設定]\r\nキー=値\r\n".encode("utf-8")
    write("profile", "utf8-bom.ini", "設定\0キー\0新しい値\0".encode("cp932") + utf8)
    write("profile", "dbcs-bracket.ini", "\u30bd\0=\0x\0[\u30bd]\r\n=y\r\n[\u30bd\r\n")


# --- system.reg in Wine's text format.
REG_HEADER = "WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n\n"


def registry():
    write("registry", "win32.reg", REG_HEADER + "#arch=win32\n\n"
          "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Pelmo] 981173106\n"
          "#time=1d9a0b0c0d0e0f0\n"
          "\"DisplayName\"=\"\\xff7a\\xff98\\xff91 \\x30da\\x30eb\\x30e2\"\n"
          "\"UninstallString\"=\"C:\\\\KORIMU\\\\UNINST.EXE -fC:\\\\KORIMU\\\\UNINST.LOG -a\"\n\n"
          "[Software\\\\Wine\\\\Drives] 981173106\n\"a:\"=\"floppy\"\n\"c:\"=\"hd\"\n\"d:\"=\"cdrom\"\n")
    write("registry", "win64.reg", REG_HEADER + "#arch=win64\n\n"
          "[Software\\\\Wow6432Node\\\\Pelmo] 1\n@=\"default\"\n\"Path\"=str(2):\"%SystemRoot%\\\\x\"\n\n"
          "[Software\\\\Pelmo\\\\Settings] 1\n\"Value\"=dword:0000002a\n"
          "\"Path\"=hex(2):43,00,3a,00,5c,00,\\\n  41,00,00,00\n"
          "\"Multi\"=str(7):\"a\\0b\\0\"\n")
    write("registry", "escapes.reg", "Software\\Pelmo\\Settings\n" + REG_HEADER +
          "[Software\\\\Pelmo\\\\Settings] 1\n\"Va\\\"lue\"=\"tab\\there\\x41\\101\\e\"\n"
          "\"Value\"=\"\\x3042\\x00a5\\x1\\xd800\"\n\"c:\"=hex(1):41,00,42,00,00,00\n"
          "[Key\\\\With\\]Bracket] 1\n\"Path\"=\"x\"\r\n\"cut\"=hex:01,02,\\")


# --- .bmp pictures: file header, information header, colour table, pixels.
def bmp(width, height, bits, colours=(), pixels=b"", header_size=40, clr_used=0,
        size_image=0, off_bits=None):
    table = b"".join(struct.pack("<BBBB", c & 0xFF, (c >> 8) & 0xFF, c >> 16, 0) for c in colours)
    info = struct.pack("<IiiHHIIiiII", header_size, width, height, 1, bits, 0, size_image,
                       2835, 2835, clr_used, 0).ljust(header_size, b"\0")
    if off_bits is None:
        off_bits = 14 + header_size + len(table)
    head = struct.pack("<HIHHI", 0x4D42, 14 + len(info) + len(table) + len(pixels), 0, 0, off_bits)
    return head + info + table + pixels


def dib_file():
    write("dib_file", "mono-8x8.bmp", bmp(8, 8, 1, (0x000000, 0xFFFFFF), bytes([0xAA, 0, 0, 0] * 8)))
    write("dib_file", "4bit-3x2.bmp", bmp(3, 2, 4, [i * 0x111111 for i in range(16)], b"\x01\x20\0\0\x34\x50\0\0"))
    write("dib_file", "8bit-clrused3.bmp", bmp(2, 2, 8, (0xFF0000, 0x00FF00, 0x0000FF), b"\0\1\0\0\2\0\0\0", clr_used=3))
    write("dib_file", "24bit-top-down.bmp", bmp(2, -2, 24, (), b"\xff\0\0\0\xff\0\0\0\0\0\xff\xff\xff\xff\0\0"))
    write("dib_file", "32bit-offbits0.bmp", bmp(1, 1, 32, (), b"\x10\x20\x30\0", off_bits=0))
    write("dib_file", "16bit-v5-header.bmp", bmp(2, 1, 16, (), b"\x1f\0\xe0\x03", header_size=124, size_image=4))


# --- archives: the committed LHA fixtures, one per method and header level. The
# stored seeds lh0-h0.lzh and lh0-h2.lzh stay as committed (jlha-utils 0.1.6,
# `lha cz0` and `lha cz2` of the same members). Archives of other archivers
# (tests/data/lha-peers) and hostile ones made here reach the second reader, lhasa.
PEERS = LHA_FIXTURES.parent / "lha-peers"


def crc16(data):
    crc = 0
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def level0(name, data, method=b"-pm0-", packed=None):
    body = (method + struct.pack("<IIIBB", len(data) if packed is None else packed, len(data), 0x2A432C63, 0x20, 0)
            + bytes([len(name)]) + name + struct.pack("<H", crc16(data)))
    return bytes([len(body), sum(body) & 0xFF]) + body + data


def lha_archive():
    folder = CORPUS / "lha_archive"
    folder.mkdir(parents=True, exist_ok=True)
    for name in ("lh5-h1.lzh", "lh6-h2.lzh", "lh7-h0.lzh"):
        shutil.copyfile(LHA_FIXTURES / name, folder / name)
    for name in ("lharc113__lh1.lzh", "lha_x68k_213__h1_subdir.lzh", "lh2_222__eas.lzh", "unlha32__h2_lhx.lzh"):
        shutil.copyfile(PEERS / name, folder / ("peer-" + name))
    write("lha_archive", "lhasa-lh1-truncated.lzh", (PEERS / "lharc113__lh1.lzh").read_bytes()[:3000])
    # -pm0- is stored data to lhasa and unknown to libarchive; -lh9- is unknown to both.
    write("lha_archive", "lhasa-unknown-method.lzh",
          level0("\x83\x5c\x83\x41.TXT".encode("latin-1"), b"stored") + level0(b"B.TXT", b"x", b"-lh9-") + b"\0")
    write("lha_archive", "lhasa-packed-beyond-end.lzh", level0(b"A.TXT", b"data", packed=0x7FFFFFF0))
    # A level 3 header that claims 1 MB, and a level 1 header whose extension
    # chain runs on to the end of the file.
    write("lha_archive", "lhasa-oversized-header.lzh",
          b"\x04\x00-pm0-" + bytes(8) + bytes(4) + b"\x20\x03" + bytes(3) + struct.pack("<I", 0xFFFFF) + bytes(64))
    base = (b"-pm0-" + struct.pack("<IIIBB", 0x10000, 0, 0x2A432C63, 0x20, 1) + b"\x05C.TXT"
            + struct.pack("<H", crc16(b"")) + b"M" + struct.pack("<H", 0x100))
    extension = b"\x40" + bytes(253) + struct.pack("<H", 0x100)
    write("lha_archive", "lhasa-endless-extensions.lzh",
          bytes([len(base), sum(base) & 0xFF]) + base + extension * 16)


# --- UninstallString values as uninstallers write them, CP932.
def uninstall_string():
    write("uninstall_string", "plain.txt", "C:\\KORIMU\\UNINST.EXE -fC:\\KORIMU\\UNINST.LOG -a")
    write("uninstall_string", "quoted.txt", "\"C:\\Program Files\\UNINST.EXE\" -f\"C:\\Program Files\\Pelmo\\LOG.DAT\" -c1")
    write("uninstall_string", "trail-5c.txt", "A.EXE -fD:\\表示\\ソフト\\LOG.DAT")
    write("uninstall_string", "no-switch.txt", "C:\\KORIMU\\UNINST.EXE /S")
    write("uninstall_string", "bare.txt", "X -fLOG.DAT -f -fD:")


if __name__ == "__main__":
    package_info()
    profile()
    registry()
    dib_file()
    lha_archive()
    uninstall_string()
