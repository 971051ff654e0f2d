#!/usr/bin/python3
"""Cabinet (MS-CAB) helper for the test machine's package set.

  cabtool.py write OUT --time "YYYY-MM-DD HH:MM:SS" [--attributes HEX] --file NAME SOURCE ...
      writes a cabinet with one uncompressed folder; stored names are taken
      byte for byte (no normalisation), so unsafe names survive.
  cabtool.py set-attributes CAB NAME HEX
      sets the stored attributes of one file (they are not covered by any
      checksum, so the cabinet stays valid).
  cabtool.py corrupt IN OUT
      copies a cabinet and damages the payload of its first data block,
      leaving every header intact.
  cabtool.py dump CAB
      lists name, size, stored date and time, attributes (hex), one per line.
"""
import argparse
import datetime
import struct
import sys

HEADER = struct.Struct("<4sIIIIIBBHHHHH")  # CFHEADER without reserve fields
FOLDER = struct.Struct("<IHH")  # CFFOLDER
FILE = struct.Struct("<IIHHHH")  # CFFILE before its name
DATA = struct.Struct("<IHH")  # CFDATA before its payload
BLOCK = 32768  # largest uncompressed CFDATA payload
ATTRIBUTE_ARCHIVE = 0x20


def checksum(data, seed=0):
    """The CFDATA checksum: XOR of little-endian 32-bit words, the tail
    bytes folded in with the first one highest."""
    csum = seed
    whole = len(data) // 4 * 4
    for (word,) in struct.iter_unpack("<I", data[:whole]):
        csum ^= word
    tail = 0
    for byte in data[whole:]:
        tail = (tail << 8) | byte
    return (csum ^ tail) & 0xFFFFFFFF


def data_block(payload):
    head = struct.pack("<HH", len(payload), len(payload))
    return struct.pack("<I", checksum(head, checksum(payload))) + head + payload


def dos_date_time(text):
    t = datetime.datetime.strptime(text, "%Y-%m-%d %H:%M:%S")
    date = ((t.year - 1980) << 9) | (t.month << 5) | t.day
    time = (t.hour << 11) | (t.minute << 5) | (t.second // 2)
    return date, time


def write(out, files, stamp, attributes):
    date, time = dos_date_time(stamp)
    contents = [open(source, "rb").read() for _, source in files]
    names = [name.encode("latin-1") for name, _ in files]
    entries = b""
    offset = 0
    for name, content in zip(names, contents):
        entries += FILE.pack(len(content), offset, 0, date, time, attributes) + name + b"\0"
        offset += len(content)
    payload = b"".join(contents)
    blocks = [payload[i:i + BLOCK] for i in range(0, len(payload), BLOCK)] or [b""]
    coff_files = HEADER.size + FOLDER.size
    coff_data = coff_files + len(entries)
    body = b"".join(data_block(b) for b in blocks)
    total = coff_data + len(body)
    header = HEADER.pack(b"MSCF", 0, total, 0, coff_files, 0, 3, 1, 1, len(files), 0, 0x1C07, 0)
    folder = FOLDER.pack(coff_data, len(blocks), 0)
    with open(out, "wb") as f:
        f.write(header + folder + entries + body)


def read_entries(cab):
    (sig, _, _, _, coff_files, _, _, _, folders, count, flags, _, _) = HEADER.unpack_from(cab, 0)
    if sig != b"MSCF" or flags & 0x4:
        raise SystemExit("not a plain cabinet (or one with reserved fields)")
    offset = coff_files
    for _ in range(count):
        size, _, _, date, time, attributes = FILE.unpack_from(cab, offset)
        end = cab.index(b"\0", offset + FILE.size)
        yield offset, cab[offset + FILE.size:end].decode("latin-1"), size, date, time, attributes
        offset = end + 1


def set_attributes(path, name, value):
    cab = bytearray(open(path, "rb").read())
    for offset, stored, *_ in read_entries(bytes(cab)):
        if stored == name:
            struct.pack_into("<H", cab, offset + 14, value)
            open(path, "wb").write(cab)
            return
    raise SystemExit(f"{path}: no file {name!r}")


def corrupt(source, out):
    cab = bytearray(open(source, "rb").read())
    coff_data, blocks, _ = FOLDER.unpack_from(cab, HEADER.size)
    if blocks == 0:
        raise SystemExit(f"{source}: no data block")
    _, size, _ = DATA.unpack_from(cab, coff_data)
    start = coff_data + DATA.size
    for i in range(start + size // 4, start + size * 3 // 4):
        cab[i] ^= 0x5A
    open(out, "wb").write(cab)


def dump(path):
    cab = open(path, "rb").read()
    for _, name, size, date, time, attributes in read_entries(cab):
        stamp = "%04d-%02d-%02d %02d:%02d:%02d" % (
            (date >> 9) + 1980, (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2)
        print(f"{name}\t{size}\t{stamp}\t0x{attributes:02x}")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    sub = parser.add_subparsers(dest="command", required=True)
    w = sub.add_parser("write")
    w.add_argument("out")
    w.add_argument("--time", required=True)
    w.add_argument("--attributes", default=hex(ATTRIBUTE_ARCHIVE))
    w.add_argument("--file", nargs=2, action="append", metavar=("NAME", "SOURCE"), required=True)
    s = sub.add_parser("set-attributes")
    s.add_argument("cab")
    s.add_argument("name")
    s.add_argument("value")
    c = sub.add_parser("corrupt")
    c.add_argument("source")
    c.add_argument("out")
    d = sub.add_parser("dump")
    d.add_argument("cab")
    args = parser.parse_args()
    if args.command == "write":
        write(args.out, args.file, args.time, int(args.attributes, 16))
    elif args.command == "set-attributes":
        set_attributes(args.cab, args.name, int(args.value, 16))
    elif args.command == "corrupt":
        corrupt(args.source, args.out)
    else:
        dump(args.cab)


if __name__ == "__main__":
    sys.exit(main())
