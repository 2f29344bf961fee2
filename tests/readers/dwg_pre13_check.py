#!/usr/bin/python3
"""Checks the structure of a DWG file of a release before R13 (AC1002 V2.5 ..
AC1009 R11/R12) against the format, independently of any writer:

  - the file header's section addresses: the entity section, the block
    section and every table lie inside the file, in order, without gaps;
    the locators of the tables kept among the header variables sit at the
    offsets AutoCAD's own files have them;
  - every entity record of the entity and block sections, walked by its
    size, ends exactly at its section's end; every BLOCK table row points at
    a BLOCK record;
  - R11 only, the checks the format carries: the header's CRC, the CRC of
    every entity and table record, the sentinels around each section and
    table, the auxiliary header with its CRC and its copy of the addresses.

LibreDWG reads these files without verifying their CRCs and sentinels, so a
damaged file is told apart here. Prints "ok" or every problem; exits 1 on one.

    dwg_pre13_check.py FILE.dwg"""
import struct
import sys

RELEASES = {b"AC1002": 0, b"AC1003": 1, b"AC1004": 2, b"AC1006": 3, b"AC1009": 4}
# Header variables before the entities, by release.
HEADER_VARS = {0: (104, 114), 1: (120, 122), 2: (129,), 3: (158, 160), 4: (204, 205)}
# Tables whose locators are header variables: name, offset, first release.
LATE_TABLES = [("UCS", 0x3EF, 3), ("VPORT", 0x500, 3), ("APPID", 0x512, 4),
               ("DIMSTYLE", 0x522, 4), ("VX", 0x69F, 4)]
TABLE_IDS = {"BLOCK": 1, "LAYER": 2, "STYLE": 3, "LTYPE": 5, "VIEW": 6, "UCS": 7,
             "VPORT": 8, "APPID": 9, "DIMSTYLE": 10, "VX": 11}
SENTINELS = {
    "ENTITIES": "C46E6854F86E3330633EC1852ADC9401",
    "BLOCK": "DBEFB3F0C73E6DA6C9B6245C4C6F32CB",
    "LAYER": "0EC4646FBB1DD38B0049C2EF18EA6FFB",
    "STYLE": "E23EC182439F617750ABC76696000618",
    "LTYPE": "AC901ACA1CBD951516164C14CE1888AF",
    "VIEW": "C13CAA5668F4B41E4B74F408424DBFA5",
    "UCS": "604AFA3D8490CC5BEFE7D6A57F1E61CD",
    "VPORT": "F6ED44612ADCE47B4EB92BBB6660638D",
    "APPID": "E125C25036686C0C3BD35D56C1791C3A",
    "DIMSTYLE": "B4183E42C99FFFE5B6E2CBB375C3C3B0",
    "VX": "E0CA367CCEE7586F2B7D745505F1447F",
    "BLOCK_ENTITIES": "722B7DEC3E8C886C7A720AFDC86C8426",
    "EXTRA_ENTITIES": "D5F9D3BB0AA969A6CD1C87C7EE804B17",
    "AUX": "298DD149A9731FEA99DE32F94D0AE019",
}
ENTITY_TYPES = set(range(1, 25))


def crc16(data, crc=0xC0C1):
    for b in data:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


class Checker:
    def __init__(self, data):
        self.d = data
        self.problems = []

    def fail(self, where, what):
        self.problems.append(f"{where}: {what}")

    def sentinel(self, at, name, end):
        want = bytes.fromhex(SENTINELS[name])
        if end:
            want = bytes(~b & 0xFF for b in want)
        if self.d[at:at + 16] != want:
            self.fail(f"0x{at:X}", f"{'end' if end else 'begin'} sentinel of {name} missing")

    def crc(self, start, end, what):
        if end + 2 > len(self.d):
            return self.fail(f"0x{start:X}", f"{what} runs past the end of the file")
        stored = struct.unpack_from("<H", self.d, end)[0]
        if crc16(self.d[start:end]) != stored:
            self.fail(f"0x{start:X}", f"{what}: CRC mismatch")

    def walk(self, start, end, what, r11):
        """Entity records from start to end; returns their (address, type)."""
        records = []
        at = start
        while at < end:
            if at + 4 > len(self.d):
                self.fail(f"0x{at:X}", f"{what} record runs past the end of the file")
                break
            kind = self.d[at] & 0x7F
            size = struct.unpack_from("<H", self.d, at + 2)[0]
            if kind not in ENTITY_TYPES:
                self.fail(f"0x{at:X}", f"{what}: unknown record type {self.d[at]}")
                break
            if size < 8 or at + size > end:
                self.fail(f"0x{at:X}", f"{what}: record size {size} leaves its section")
                break
            if r11:
                self.crc(at, at + size - 2, f"{what} record")
            records.append((at, self.d[at]))
            at += size
        return records

    def run(self):
        d = self.d
        if len(d) < 0x5E or d[:6] not in RELEASES:
            return self.fail("0x0", "not a DWG file of a release before R13")
        rel = RELEASES[d[:6]]
        r11 = rel == 4
        nvars = struct.unpack_from("<H", d, 0x11)[0]
        if nvars not in HEADER_VARS[rel]:
            self.fail("0x11", f"{nvars} header variables, not one of {HEADER_VARS[rel]}")
        es, ee, bs, bsize, xs, xsize = struct.unpack_from("<6I", d, 0x14)
        if bsize & 0xFF000000 != 0x40000000 or xsize & 0xFF000000 != 0x80000000:
            self.fail("0x20", "section size markers missing")
        bsize &= 0xFFFFFF
        xsize &= 0xFFFFFF
        gap = 16 if r11 else 0
        if r11:
            self.crc(0, es - 18, "header")
            self.sentinel(es - 16, "ENTITIES", False)
            self.sentinel(ee, "ENTITIES", True)
        self.walk(es, ee, "entity", r11)

        tables = []
        for i, name in enumerate(["BLOCK", "LAYER", "STYLE", "LTYPE", "VIEW"]):
            tables.append((name,) + struct.unpack_from("<HHHI", d, 0x2C + 10 * i))
        for name, offset, first in LATE_TABLES:
            if rel >= first:
                tables.append((name,) + struct.unpack_from("<HHHI", d, offset))
        at = ee + gap
        for name, size, count, _, address in tables:
            if address != at + gap:
                self.fail(name, f"table at 0x{address:X}, expected 0x{at + gap:X}")
                at = address - gap
            if r11:
                self.sentinel(address - 16, name, False)
                for k in range(count):
                    self.crc(address + k * size, address + (k + 1) * size - 2, f"{name} row {k}")
                self.sentinel(address + count * size, name, True)
            at = address + count * size + gap
        if bs != at + gap:
            self.fail("blocks", f"block section at 0x{bs:X}, expected 0x{at + gap:X}")
        if r11:
            self.sentinel(bs - 16, "BLOCK_ENTITIES", False)
            self.sentinel(bs + bsize, "BLOCK_ENTITIES", True)
        blocks = {a - bs for a, kind in self.walk(bs, bs + bsize, "block", r11) if kind == 12}
        name, size, count, _, address = tables[0]
        for k in range(count):
            offset = struct.unpack_from("<I", d, address + k * size + 33 + (2 if r11 else 0))[0]
            if offset & 0x3FFFFFFF not in blocks:
                self.fail(f"BLOCK row {k}", f"offset 0x{offset:X} is no BLOCK record")
        at = bs + bsize + gap
        if xs != at + gap:
            self.fail("extras", f"extra section at 0x{xs:X}, expected 0x{at + gap:X}")
        self.walk(xs, xs + xsize, "extra", r11)
        end = xs + xsize
        if r11:
            self.sentinel(xs - 16, "EXTRA_ENTITIES", False)
            self.sentinel(end, "EXTRA_ENTITIES", True)
            end = self.aux(end + 16, es, ee, bs, xs, tables)
        if end != len(d):
            self.fail(f"0x{end:X}", f"the file ends at 0x{len(d):X}")

    def aux(self, at, es, ee, bs, xs, tables):
        d = self.d
        self.sentinel(at, "AUX", False)
        body = at + 16
        nvars, size = struct.unpack_from("<HH", d, body)
        if struct.unpack_from("<4I", d, body + 4) != (es, ee, bs, xs):
            self.fail("aux header", "section addresses differ from the file header's")
        count = struct.unpack_from("<H", d, body + 30)[0]
        p = body + 32
        located = {t[0]: t for t in tables}
        for _ in range(count):
            ident, tsize, tcount, address = struct.unpack_from("<HHHI", d, p)
            name = next((n for n, i in TABLE_IDS.items() if i == ident), None)
            t = located.get(name)
            if not t or (t[1], t[2], t[4]) != (tsize, tcount, address):
                self.fail("aux header", f"table {ident} differs from its locator")
            p += 10
        if struct.unpack_from("<I", d, p)[0] != at:
            self.fail("aux header", "its own address is wrong")
        self.crc(body, body + size - 2, "aux header")
        self.sentinel(body + size, "AUX", True)
        return body + size + 16


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(sys.argv[1], "rb") as f:
        checker = Checker(f.read())
    try:
        checker.run()
    except struct.error as e:
        checker.fail("file", f"truncated ({e})")
    for p in checker.problems:
        print(f"{sys.argv[1]}: {p}", file=sys.stderr)
    if not checker.problems:
        print(f"{sys.argv[1]}: ok")
    return 1 if checker.problems else 0


if __name__ == "__main__":
    sys.exit(main())
