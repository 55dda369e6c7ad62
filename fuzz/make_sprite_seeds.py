#!/usr/bin/env python3
"""Writes the seed corpus of the sprite block fuzz target into fuzz/corpus/sprite/.

Valid "SPR2" blocks in several pixel layouts, an old "SPR" block, and a few damaged ones, all built
here from the stored-record helpers of the pixel seeds. Run it from anywhere.
"""
import struct

from make_pix_seeds import LAYOUTS, record, save, stored_pixels

FRAME = 4


def head(anims, columns, x=-3, y=5):
    return struct.pack("<iiiiii", FRAME, FRAME, x, y, anims, columns * FRAME)


def new_entries(counts, kind=2):
    out = b""
    for row, count in enumerate(counts):
        start, end = (1, count) if count > 1 else (0, count)
        out += struct.pack("<HHHHIHHhh", kind, 0x8000 + row, count, start, 0, start, end, 1, -1) + b"\0" * 44
        out += b"".join(struct.pack("<I", 40 + 10 * f) + b"\0" * 12 for f in range(count))
    return out


def old_entries(counts):
    out = b""
    for row, count in enumerate(counts):
        out += struct.pack("<HHHHI", 4, 0x4000 + row, count, 0, 0xDEADBEEF)
        out += b"".join(struct.pack("<I", 100 + f) for f in range(count))
    return out


def sprite_seeds():
    counts = (3, 4)
    for name, (bpp, masks) in LAYOUTS.items():
        key = 1 if name in ("pal8", "rgb565") else -1
        pixels = stored_pixels(4 * FRAME, 2 * FRAME, bpp, masks)
        save("sprite", "spr2_" + name, head(2, 4) + new_entries(counts) + record(bpp, masks, key, 200) + pixels)
    bpp, masks = LAYOUTS["rgb565"]
    pixels = stored_pixels(3 * FRAME, 2 * FRAME, bpp, masks)
    old = head(2, 3) + old_entries((2, 3)) + record(bpp, masks, 0) + pixels
    save("sprite", "spr_old_rgb565", old)
    good = head(2, 4) + new_entries(counts, 8) + record(bpp, masks) + stored_pixels(4 * FRAME, 2 * FRAME, bpp, masks)
    save("sprite", "spr2_short", good[:-1])
    save("sprite", "spr2_many_anims", good[:16] + struct.pack("<i", 0x7FFFFFFF) + good[20:])
    save("sprite", "spr2_far", head(1, 4, 40000, -70000) + new_entries((4,), 4)
         + record(bpp, masks) + stored_pixels(4 * FRAME, FRAME, bpp, masks))


if __name__ == "__main__":
    sprite_seeds()
