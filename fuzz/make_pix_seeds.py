#!/usr/bin/env python3
"""Writes the seed corpora of the pixel fuzz targets (img, png, bmp, pixfmt) into fuzz/corpus/.

Every seed is built here from scratch: small valid files of each layout the readers know, plus a
few damaged ones, so the fuzzer starts from the interesting branches. Run it from anywhere.
"""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def save(corpus, name, data):
    path = os.path.join(HERE, "corpus", corpus)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


def colour(x, y):
    return ((x * 37 + y * 11) & 255, (x * 5 ^ y * 29) & 255, ((x + y) * 13) & 255, (x * 19 + y * 23) & 255)


# --- stored pixel-format record and IMG blocks -------------------------------------------------

def shifts_losses(mask):
    if not mask:
        return 0, 8
    shift = (mask & -mask).bit_length() - 1
    return shift, 8 - bin(mask).count("1")


def record(bpp, masks, key=-1, alpha=255):
    r, g, b, a = masks
    sl = [shifts_losses(m) for m in masks]
    return (struct.pack("<IBB", 0, bpp, (bpp + 7) // 8) + bytes(l for _, l in sl) + bytes(s for s, _ in sl)
            + b"\0\0" + struct.pack("<IIIIiB", r, g, b, a, key, alpha) + b"\0\0\0")


def pixel_value(bpp, masks, c):
    if bpp == 8:
        return (c[0] ^ c[2]) & 255
    value = 0
    for mask, component in zip(masks, c):
        if mask:
            shift, loss = shifts_losses(mask)
            value |= ((component >> loss) << shift) & mask
    return value


def stored_pixels(w, h, bpp, masks):
    size = (bpp + 7) // 8
    pitch = (w * size + 3) & ~3
    rows = b""
    for y in range(h):
        row = b"".join(pixel_value(bpp, masks, colour(x, y)).to_bytes(4, "little")[:size] for x in range(w))
        rows += row + b"\0" * (pitch - len(row))
    if bpp == 8:
        rows += b"".join(bytes(colour(i, 1)[:3]) + b"\0" for i in range(256))
    return rows


LAYOUTS = {
    "pal8": (8, (0, 0, 0, 0)),
    "rgb555": (15, (0x7C00, 0x3E0, 0x1F, 0)),
    "rgb565": (16, (0xF800, 0x7E0, 0x1F, 0)),
    "bgr24": (24, (0xFF, 0xFF00, 0xFF0000, 0)),
    "xrgb32": (32, (0xFF0000, 0xFF00, 0xFF, 0)),
    "argb32": (32, (0xFF0000, 0xFF00, 0xFF, 0xFF000000)),
}


def img_seeds():
    for name, (bpp, masks) in LAYOUTS.items():
        key = 3 if name in ("pal8", "rgb565") else -1
        alpha = 128 if name == "bgr24" else 255
        block = struct.pack("<ii", 5, 3) + record(bpp, masks, key, alpha) + stored_pixels(5, 3, bpp, masks)
        save("img", name, block)
    good = struct.pack("<ii", 5, 3) + record(32, LAYOUTS["xrgb32"][1]) + stored_pixels(5, 3, 32, LAYOUTS["xrgb32"][1])
    save("img", "short", good[:-1])
    save("img", "huge", struct.pack("<ii", 0x7FFF, 0x7FFF) + good[8:])


def pixfmt_seeds():
    for name, (bpp, masks) in LAYOUTS.items():
        save("pixfmt", name, struct.pack("<ii", 7, 2) + record(bpp, masks, 1 if bpp == 8 else -1))
    save("pixfmt", "badmask", struct.pack("<ii", 2, 2) + record(16, (0x1F800, 0x7E0, 0x1F, 0)))


# --- PNG ------------------------------------------------------------------------------------------

def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png(w, h, depth, ctype, raw, extra=(), interlace=0):
    head = struct.pack(">IIBBBBB", w, h, depth, ctype, 0, 0, interlace)
    body = b"".join(chunk(k, d) for k, d in extra)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", head) + body + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def rows(w, h, channels):
    return b"".join(b"\0" + b"".join(bytes(colour(x, y)[:channels]) for x in range(w)) for y in range(h))


def png_seeds():
    save("png", "rgb", png(5, 3, 8, 2, rows(5, 3, 3)))
    save("png", "rgba", png(4, 4, 8, 6, rows(4, 4, 4)))
    palette = b"".join(bytes(colour(i, 0)[:3]) for i in range(4))
    indices = b"".join(b"\0" + bytes((x + y) & 3 for x in range(6)) for y in range(2))
    save("png", "palette_key", png(6, 2, 8, 3, indices, [(b"PLTE", palette), (b"tRNS", b"\xff\x00")]))
    save("png", "palette_alpha", png(6, 2, 8, 3, indices, [(b"PLTE", palette), (b"tRNS", b"\x80\x00\xff")]))
    save("png", "grey4_key", png(3, 2, 4, 0, b"\0\x01\xf0\0\xa5\x00", [(b"tRNS", b"\0\x0a")]))
    rgb16 = b"".join(b"\0" + b"".join(bytes(c for v in colour(x, y)[:3] for c in (v, v ^ 0x5A)) for x in range(3))
                     for y in range(2))
    save("png", "rgb16_key", png(3, 2, 16, 2, rgb16, [(b"tRNS", b"\x12\x99\x34\x88\x56\x77")]))
    save("png", "grey_alpha", png(2, 2, 8, 4, rows(2, 2, 2)))
    one = b"\0" + bytes(colour(0, 0)[:3])
    save("png", "interlaced_1x1", png(1, 1, 8, 2, one, interlace=1))
    full = png(5, 3, 8, 2, rows(5, 3, 3))
    save("png", "truncated", full[:-20])


# --- BMP ------------------------------------------------------------------------------------------

def bmp(w, h, bits, compression, extra, data, used=0):
    offset = 14 + 40 + len(extra)
    return (b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset)
            + struct.pack("<IiiHHIIiiII", 40, w, h, 1, bits, compression, len(data), 2835, 2835, used, 0)
            + extra + data)


def bmp_seeds():
    pal = b"".join(bytes((c[2], c[1], c[0], 0)) for c in (colour(i, 2) for i in range(16)))
    save("bmp", "p8", bmp(3, 2, 8, 0, pal[:8], b"\1\0\1\0\0\1\0\0", 2))
    save("bmp", "p4", bmp(3, 1, 4, 0, pal, b"\x0f\x70\0\0", 16))
    save("bmp", "p1", bmp(9, 1, 1, 0, pal[:8], b"\xa0\x80\0\0", 2))
    save("bmp", "rgb24_topdown", bmp(2, -2, 24, 0, b"", b"\1\2\3\4\5\6\0\0\7\x08\x09\x0a\x0b\x0c\0\0"))
    save("bmp", "rgb32", bmp(2, 1, 32, 0, b"", b"\1\2\3\0\4\5\6\0"))
    masks = struct.pack("<III", 0xF800, 0x7E0, 0x1F)
    save("bmp", "b565", bmp(2, 1, 16, 3, masks, b"\x00\xf8\x1f\x00"))
    save("bmp", "toomanycolours", bmp(3, 1, 8, 0, pal, b"\0\0\0\0", 300))
    save("bmp", "short", bmp(3, 50, 8, 0, pal[:8], b"\0\0\0\0", 2))


if __name__ == "__main__":
    img_seeds()
    pixfmt_seeds()
    png_seeds()
    bmp_seeds()
