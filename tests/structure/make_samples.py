#!/usr/bin/env python3
"""Makes one sample file (or more) for each of quirn's own format descriptions.

    make_samples.py OUTDIR

Small files are written here byte by byte; disk and file system images come
from the system's own tools (sfdisk, mkfs.ext4, mkfs.vfat), archives from
gzip, tar and Python's zipfile. Prints nothing on success.
"""
import gzip as _unused  # noqa: F401  (the gzip sample comes from the gzip program)
import io
import os
import sqlite3
import struct
import subprocess
import sys
import wave
import zipfile
import zlib


def png(path):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))
    width, height = 4, 3
    rows = b"".join(b"\0" + bytes((x * 60, y * 80, 200)) * 1 + bytes(3 * (width - 1))
                    for y in range(height) for x in range(1))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        f.write(chunk(b"gAMA", struct.pack(">I", 45455)))
        f.write(chunk(b"pHYs", struct.pack(">IIB", 2835, 2835, 1)))
        f.write(chunk(b"tIME", struct.pack(">HBBBBB", 2024, 5, 17, 12, 30, 45)))
        f.write(chunk(b"tEXt", b"Comment\0made for quirn's tests"))
        f.write(chunk(b"IDAT", zlib.compress(rows)))
        f.write(chunk(b"IEND", b""))


def gif(path):
    out = bytearray(b"GIF89a")
    out += struct.pack("<HHBBB", 2, 2, 0b10010001, 0, 0)       # 4-colour global table
    out += bytes([0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255])
    out += b"\x21\xf9\x04\x04\x0a\x00\x00\x00"                 # graphic control
    out += b"\x21\xfe\x0bquirn tests\x00"                      # comment
    out += b"\x2c" + struct.pack("<HHHHB", 0, 0, 2, 2, 0)
    out += b"\x02\x03\x44\x34\x05\x00"                         # LZW data, one sub-block
    out += b"\x3b"
    open(path, "wb").write(out)


def bmp(path):
    width, height = 3, 2
    stride = (width * 3 + 3) & ~3
    pixels = b"".join(bytes((x * 80, y * 120, 40)) * 1 for y in range(height) for x in range(width))
    rows = b"".join(pixels[y * width * 3:(y + 1) * width * 3].ljust(stride, b"\0") for y in range(height))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    offset = 14 + len(info)
    header = b"BM" + struct.pack("<IHHI", offset + len(rows), 0, 0, offset)
    open(path, "wb").write(header + info + rows)


def jpeg(path):
    def segment(marker, data):
        return bytes((0xff, marker)) + struct.pack(">H", len(data) + 2) + data
    out = bytearray(b"\xff\xd8")
    out += segment(0xe0, b"JFIF\0" + struct.pack(">BBBHHBB", 1, 1, 1, 72, 72, 0, 0))
    out += segment(0xfe, b"quirn tests")
    out += segment(0xdb, bytes([0x00]) + bytes([1] * 64))
    out += segment(0xc0, struct.pack(">BHHB", 8, 8, 8, 1) + bytes([1, 0x11, 0]))
    # One code of one bit in each table: category 0 for DC, end of block for AC.
    out += segment(0xc4, bytes([0x00, 1] + [0] * 15 + [0]))
    out += segment(0xc4, bytes([0x10, 1] + [0] * 15 + [0]))
    out += segment(0xda, bytes([1, 1, 0x00, 0, 63, 0]))
    out += b"\x3f"                                              # DC 0, end of block, padding
    out += b"\xff\xd9"
    open(path, "wb").write(out)


def gzip_sample(directory):
    text = os.path.join(directory, "gzip-input.txt")
    with open(text, "w") as f:
        for i in range(200):
            f.write(f"line {i}: the quick brown fox jumps over the lazy dog\n")
    with open(os.path.join(directory, "sample.txt.gz"), "wb") as out:
        subprocess.run(["gzip", "-c", "-9", text], stdout=out, check=True)
    os.remove(text)


def zip_sample(path):
    with zipfile.ZipFile(path, "w") as z:
        z.writestr("readme.txt", "quirn's zip sample\n" * 20, compress_type=zipfile.ZIP_DEFLATED)
        z.writestr("data/empty", b"")
        z.writestr("data/numbers.bin", bytes(range(256)), compress_type=zipfile.ZIP_STORED)


def zip64_sample(path):
    """An archive written the way large ones are: every size and offset in
    the ZIP64 extra fields, and the ZIP64 end records before the classic one."""
    names = [("one.txt", b"first entry\n"), ("two.txt", b"second entry, a little longer\n")]
    out = bytearray()
    central = bytearray()
    for name, data in names:
        offset = len(out)
        crc = zlib.crc32(data)
        local_extra = struct.pack("<HHQQ", 1, 16, len(data), len(data))
        out += struct.pack("<IHHHHHIIIHH", 0x04034b50, 45, 0, 0, 0, 0x21, crc,
                           0xffffffff, 0xffffffff, len(name), len(local_extra))
        out += name.encode() + local_extra + data
        extra = struct.pack("<HHQQQ", 1, 24, len(data), len(data), offset)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014b50, 45, 45, 0, 0, 0, 0x21, crc,
                               0xffffffff, 0xffffffff, len(name), len(extra), 0, 0, 0, 0,
                               0xffffffff)
        central += name.encode() + extra
    cd_offset = len(out)
    out += central
    record_offset = len(out)
    out += struct.pack("<IQHHIIQQQQ", 0x06064b50, 44, 45, 45, 0, 0, len(names), len(names),
                       len(central), cd_offset)
    out += struct.pack("<IIQI", 0x07064b50, 0, record_offset, 1)
    out += struct.pack("<IHHHHIIH", 0x06054b50, 0, 0, 0xffff, 0xffff, 0xffffffff, 0xffffffff, 0)
    open(path, "wb").write(out)
    with zipfile.ZipFile(path) as z:          # the archive must be a real one
        assert z.read("two.txt") == names[1][1]


def tar_sample(directory):
    tree = os.path.join(directory, "tar-input")
    os.makedirs(os.path.join(tree, "docs"), exist_ok=True)
    open(os.path.join(tree, "hello.txt"), "w").write("hello from quirn\n" * 40)
    open(os.path.join(tree, "docs", "empty"), "w").close()
    if not os.path.lexists(os.path.join(tree, "link")):
        os.symlink("hello.txt", os.path.join(tree, "link"))
    subprocess.run(["tar", "--format=ustar", "--owner=0", "--group=0", "--sort=name",
                    "-cf", os.path.join(directory, "sample.tar"), "-C", tree, "."], check=True)


def disk_image(path, size, layout):
    with open(path, "wb") as f:
        f.truncate(size)
    subprocess.run(["sfdisk", "--quiet", "--no-reread", "--no-tell-kernel", path],
                   input=layout.encode(), check=True, stdout=subprocess.DEVNULL)


def mbr_sample(path):
    disk_image(path, 8 << 20, "label: dos\nlabel-id: 0x51c0ffee\n"
               "start=2048, size=4096, type=83, bootable\nstart=6144, type=c\n")


def gpt_sample(path, size=16 << 20):
    disk_image(path, size, "label: gpt\nlabel-id: 2D2C1A5E-3B4F-4C6D-8E9F-0A1B2C3D4E5F\n"
               "start=2048, size=8192, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B, name=\"EFI system\"\n"
               "type=0FC63DAF-8483-4772-8E79-3D69D8477DE4, name=\"root\"\n")


def ext4_sample(path):
    with open(path, "wb") as f:
        f.truncate(64 << 20)
    subprocess.run(["mkfs.ext4", "-q", "-F", "-O", "64bit", "-L", "quirn-ext4",
                    "-U", "6f1e0c2a-1b2c-4d5e-8f90-a1b2c3d4e5f6", "-E", "nodiscard", path], check=True)


def ext2_sample(path):
    with open(path, "wb") as f:
        f.truncate(4 << 20)
    subprocess.run(["mkfs.ext2", "-q", "-F", "-b", "1024", "-L", "quirn-ext2",
                    "-U", "0a1b2c3d-4e5f-4a6b-8c7d-9e0f1a2b3c4d", path], check=True)


def fat_sample(path, kibibytes, bits):
    if os.path.exists(path):
        os.remove(path)
    subprocess.run(["mkfs.vfat", "-F", str(bits), "-n", "QUIRNTEST", "-i", "51c0ffee", "-C",
                    path, str(kibibytes)], check=True, stdout=subprocess.DEVNULL)


def wav_sample(path):
    buffer = io.BytesIO()
    with wave.open(buffer, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(8000)
        w.writeframes(b"".join(struct.pack("<hh", i * 300 - 30000, 30000 - i * 300) for i in range(101)))
    data = buffer.getvalue()
    # A LIST INFO chunk after the samples (its item padded inside it), then
    # a chunk of odd length with its pad byte.
    name = b"quirn\0"
    info = b"INFO" + b"INAM" + struct.pack("<I", len(name) + 1) + name + b"\0" + b"\0"
    data += b"LIST" + struct.pack("<I", len(info)) + info
    data += b"note" + struct.pack("<I", 5) + b"odd!\n" + b"\0"
    data = data[:4] + struct.pack("<I", len(data) - 8) + data[8:]
    open(path, "wb").write(data)


def pcap_sample(path, packets=20):
    with open(path, "wb") as f:
        f.write(struct.pack("<IHHiIII", 0xa1b2c3d4, 2, 4, 0, 0, 65535, 1))
        payload = bytes(range(46))
        frame_ip = bytes.fromhex("ffffffffffff" "020000000001" "0800") + payload
        frame_arp = bytes.fromhex("ffffffffffff" "020000000002" "0806") + payload[:28]
        for i in range(packets):
            frame = frame_ip if i % 3 else frame_arp
            f.write(struct.pack("<IIII", 1700000000 + i, i * 1000, len(frame), len(frame) + i % 2))
            f.write(frame)


def sqlite_sample(path):
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("create table files (name text, size integer)")
    db.execute("create table notes (id integer primary key, body text)")
    db.execute("create index files_by_size on files (size)")
    db.executemany("insert into files values (?, ?)", [(f"file{i}", i * 100) for i in range(50)])
    db.commit()
    db.close()


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    at = lambda name: os.path.join(out, name)  # noqa: E731
    png(at("sample.png"))
    gif(at("sample.gif"))
    bmp(at("sample.bmp"))
    jpeg(at("sample.jpg"))
    gzip_sample(out)
    zip_sample(at("sample.zip"))
    zip64_sample(at("zip64.zip"))
    tar_sample(out)
    mbr_sample(at("mbr.img"))
    gpt_sample(at("gpt.img"))
    ext4_sample(at("ext4.img"))
    ext2_sample(at("ext2.img"))
    fat_sample(at("fat12.img"), 1440, 12)
    fat_sample(at("fat32.img"), 40000, 32)
    wav_sample(at("sample.wav"))
    pcap_sample(at("sample.pcap"))
    sqlite_sample(at("sample.sqlite"))


if __name__ == "__main__":
    main()
