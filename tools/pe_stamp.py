#!/usr/bin/env python3
"""Gives PE images a time stamp taken from their own content, then their checksum.

    pe_stamp.py IMAGE...

The linker writes the time of the link into the PE header, so two builds of
the same sources would differ there and in the checksum that covers it. Here
the time stamp becomes the first four bytes of the SHA-256 of the image, read
with its time stamp and checksum at zero: the same sources and tools give the
same file, and a different file almost surely another stamp, which is what a
debugger matches a crash dump's module to (with the image's size). The
checksum is computed last, over the whole file, as the linker computes it.
Running it twice changes nothing.
"""

import hashlib
import struct
import sys


def pe_checksum(data: bytes) -> int:
    """The PE checksum of data, whose own checksum field must be zero."""
    total = 0
    for (word,) in struct.iter_unpack("<H", data + b"\0" * (len(data) % 2)):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def stamp(path: str) -> None:
    with open(path, "rb") as f:
        data = bytearray(f.read())
    pe = struct.unpack_from("<I", data, 0x3C)[0] if len(data) >= 0x40 else 0
    if data[:2] != b"MZ" or data[pe:pe + 4] != b"PE\0\0" or len(data) < pe + 24 + 68:
        sys.exit(f"pe_stamp: {path} is not a PE image")
    time_stamp = pe + 8  # in the file header
    checksum = pe + 24 + 64  # in the optional header, PE32 and PE32+ alike
    struct.pack_into("<I", data, time_stamp, 0)
    struct.pack_into("<I", data, checksum, 0)
    struct.pack_into("<I", data, time_stamp, int.from_bytes(hashlib.sha256(data).digest()[:4], "little"))
    struct.pack_into("<I", data, checksum, pe_checksum(bytes(data)))
    with open(path, "r+b") as f:
        f.write(data)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit("usage: pe_stamp.py IMAGE...")
    for image in sys.argv[1:]:
        stamp(image)
