#!/usr/bin/env python3
"""Turns a screen dump of `xwd -root` (TrueColor, 24 or 32 bits a pixel) into a PNG file,
so that a failed journey leaves a picture anyone can open. Usage: xwd_to_png.py IN OUT."""
import struct
import sys
import zlib


def convert(data: bytes) -> bytes:
    fields = struct.unpack(">25I", data[:100])
    header_size, width, height = fields[0], fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line, ncolors = fields[7], fields[11], fields[12], fields[19]
    if bits_per_pixel not in (24, 32):
        raise ValueError(f"{bits_per_pixel} bits a pixel: only 24 and 32 are read")
    size = bits_per_pixel // 8
    red_mask, green_mask, blue_mask = fields[14], fields[15], fields[16]
    start = header_size + 12 * ncolors
    order = "little" if byte_order == 0 else "big"
    shift = lambda mask: (mask & -mask).bit_length() - 1
    rows = []
    for y in range(height):
        line = data[start + y * bytes_per_line:start + y * bytes_per_line + size * width]
        row = bytearray(b"\0")
        for x in range(0, len(line), size):
            pixel = int.from_bytes(line[x:x + size], order)
            row += bytes(((pixel & m) >> shift(m)) & 0xFF for m in (red_mask, green_mask, blue_mask))
        rows.append(bytes(row))

    def chunk(kind: bytes, body: bytes) -> bytes:
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(b"".join(rows), 6)) + chunk(b"IEND", b""))


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        png = convert(f.read())
    with open(sys.argv[2], "wb") as f:
        f.write(png)
