#!/usr/bin/env python3
"""Writes the PNG and BMP fixtures of the image tests, and a resource script
that embeds some of them, into the folder given on the command line."""
import os
import struct
import sys
import zlib

ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def png(width, height, bit_depth, color_type, rows, extra=b"", interlace=0):
    """rows: list of bytes, each one packed row without the filter byte."""
    ihdr = struct.pack(">IIBBBBB", width, height, bit_depth, color_type, 0, 0, interlace)
    if interlace:
        raw = rows  # already the concatenated filtered pass data
    else:
        raw = b"".join(b"\x00" + r for r in rows)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")


def interlaced_rgb(width, height, pixel):
    data = b""
    for x0, y0, dx, dy in ADAM7:
        xs = range(x0, width, dx)
        for y in range(y0, height, dy):
            if not xs:
                continue
            data += b"\x00" + b"".join(bytes(pixel(x, y)) for x in xs)
    return data


def bmp32(width, height, pixels_bgra, claimed_height=None, size_image=0):
    """A 32-bpp BMP file; claimed_height overrides the header's height field."""
    h = height if claimed_height is None else claimed_height
    info = struct.pack("<IiiHHIIiiII", 40, width, h, 1, 32, 0, size_image, 2835, 2835, 0, 0)
    bits = b"".join(bytes(p) for p in pixels_bgra)
    head = struct.pack("<2sIHHI", b"BM", 14 + len(info) + len(bits), 0, 0, 14 + len(info))
    return head + info + bits


def ico(sizes):
    """An icon file with one 32-bpp image per size, each filled with its own colour."""
    images = []
    for n in sizes:
        header = struct.pack("<IiiHHIIiiII", 40, n, n * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        pixels = bytes((n, 0, 0, 255)) * (n * n)
        mask_row = ((n + 31) // 32) * 4
        images.append(header + pixels + b"\x00" * (mask_row * n))
    out = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(images)


def main(out):
    os.makedirs(out, exist_ok=True)
    files = {}
    plte = chunk(b"PLTE", bytes([255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255]))
    trns = chunk(b"tRNS", bytes([255, 128, 0]))
    files["palette_trns.png"] = png(2, 2, 8, 3, [bytes([0, 1]), bytes([2, 3])], plte + trns)
    bkgd = chunk(b"bKGD", struct.pack(">HHH", 0, 255, 0))
    files["rgba_bkgd.png"] = png(2, 1, 8, 6, [bytes([255, 0, 0, 255, 0, 0, 255, 0])], bkgd)
    files["rgba.png"] = png(2, 1, 8, 6, [bytes([10, 20, 30, 40, 200, 100, 50, 255])])
    files["grey16.png"] = png(3, 1, 16, 0, [struct.pack(">HHH", 0x0000, 0x8080, 0xFFFF)])
    files["grey1.png"] = png(9, 1, 1, 0, [bytes([0b10100000, 0b10000000])])
    files["interlaced.png"] = png(8, 8, 8, 2, interlaced_rgb(8, 8, lambda x, y: (x * 32, y * 32, (x + y) * 16)), interlace=1)
    good = png(16, 16, 8, 2, [b"".join(bytes((x * 16, y * 16, 7)) for x in range(16)) for y in range(16)])
    files["rgb16.png"] = good
    files["bad_signature.png"] = b"\x88" + good[1:]
    idat = good.index(b"IDAT")
    files["truncated.png"] = good[: idat + 20]
    # A header that claims a gigabyte of pixels over a few bytes of data.
    files["huge_claim.png"] = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 16000, 16000, 8, 6, 0, 0, 0))
                               + chunk(b"IDAT", zlib.compress(b"\x00" * 64)) + chunk(b"IEND", b""))
    files["bad_crc.png"] = good[:-5] + bytes([good[-5] ^ 0xFF]) + good[-4:]
    files["tiny9.bin"] = good[:9]
    files["two_sizes.ico"] = ico([16, 32])

    px = [(b, g, r, a) for (b, g, r, a) in [(255, 0, 0, 255), (0, 255, 0, 128), (0, 0, 255, 0), (9, 9, 9, 255)]]
    files["alpha32.bmp"] = bmp32(2, 2, px)
    files["alpha32_topdown.bmp"] = bmp32(2, 2, px, claimed_height=-2)
    files["alpha32_short.bmp"] = bmp32(2, 2, px, claimed_height=64)
    files["alpha32_huge_negative.bmp"] = bmp32(2, 2, px, claimed_height=-0x7FFFFFF0)
    files["alpha32_wide.bmp"] = bmp32(2, 2, px, claimed_height=2)[:18] + struct.pack("<i", 0x40000000) + bmp32(2, 2, px)[22:]
    for name, data in files.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)

    def rc_path(name):
        return os.path.join(out, name).replace("\\", "/")

    with open(os.path.join(out, "ImageFixtures.rc"), "w") as rc:
        rc.write('IDP_PALETTE PNG "%s"\n' % rc_path("palette_trns.png"))
        rc.write('IDP_TINY PNG "%s"\n' % rc_path("tiny9.bin"))
        rc.write('IDP_NOTPNG PNG "%s"\n' % rc_path("bad_signature.png"))
        rc.write('IDI_TWO_SIZES ICON "%s"\n' % rc_path("two_sizes.ico"))
        for res, name in [("IDB_ALPHA", "alpha32.bmp"), ("IDB_TOPDOWN", "alpha32_topdown.bmp"), ("IDB_SHORT", "alpha32_short.bmp"),
                          ("IDB_HUGENEG", "alpha32_huge_negative.bmp"), ("IDB_WIDE", "alpha32_wide.bmp")]:
            rc.write('%s BITMAP "%s"\n' % (res, rc_path(name)))


if __name__ == "__main__":
    main(sys.argv[1])
