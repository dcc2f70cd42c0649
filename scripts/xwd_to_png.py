#!/usr/bin/python3
"""Writes a PNG of an X screen dump in XWD form, such as the framebuffer file Xvfb keeps with -fbdir.

    scripts/xwd_to_png.py SCREEN.xwd OUT.png

Only what Xvfb writes is read: a ZPixmap of 32 bits a pixel with 8-bit colour masks. Standard
library only, so the demo needs no image tools beside Xvfb.
"""
import struct
import sys
import zlib


def read_xwd(path):
    with open(path, "rb") as dump:
        data = dump.read()
    fields = struct.unpack(">25I", data[:100])
    header_size, version, pixmap_format = fields[0:3]
    width, height = fields[4:6]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    masks = fields[14:17]  # red, green, blue
    ncolors = fields[19]
    if version != 7 or pixmap_format != 2 or bits_per_pixel != 32:
        raise ValueError(f"{path}: not a 32-bit ZPixmap XWD dump")
    start = header_size + 12 * ncolors
    shifts = []
    for mask in masks:
        if mask not in (0xFF, 0xFF00, 0xFF0000, 0xFF000000):
            raise ValueError(f"{path}: unexpected colour mask {mask:#x}")
        shift = mask.bit_length() - 8
        # The byte of each colour within a pixel, depending on the pixel's byte order.
        shifts.append(shift // 8 if byte_order == 0 else 3 - shift // 8)
    rows = []
    for y in range(height):
        row = data[start + y * bytes_per_line:start + y * bytes_per_line + 4 * width]
        rgb = bytearray(3 * width)
        for channel, byte in enumerate(shifts):
            rgb[channel::3] = row[byte::4]
        rows.append(bytes(rgb))
    return width, height, rows


def write_png(path, width, height, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))

    raw = b"".join(b"\x00" + row for row in rows)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        out.write(chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    write_png(sys.argv[2], *read_xwd(sys.argv[1]))


if __name__ == "__main__":
    main()
