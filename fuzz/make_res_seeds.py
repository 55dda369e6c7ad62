#!/usr/bin/env python3
"""Writes the seed corpora of the resource-block fuzz targets (tile, font) into fuzz/corpus/.

Tile seeds start with one byte that picks the block type (0 "TILE2", 1 "TILE", 2 "TILB2", 3 "TILB"),
font seeds with one that picks "FONT2" (0) or "FONT" (1).
Every seed is built here: small valid blocks of each layout plus a few damaged ones.
"""
import struct

from make_pix_seeds import LAYOUTS, save, record, stored_pixels



def tile_block(w, h, layout, key=-1, alpha=255, tileset=1, tilew=2, tileh=3, older=False):
    bpp, masks = LAYOUTS[layout]
    head = struct.pack("<iiiiii", w, h, -4, 9, tileset, tilew)
    body = head + record(bpp, masks, key, alpha) + stored_pixels(w, h, bpp, masks)
    return body if older else body + struct.pack("<i", tileh) + b"\0" * 60


def tile_seeds():
    for layout in LAYOUTS:
        key = 3 if layout in ("pal8", "rgb565") else -1
        save("tile", "v2_" + layout, b"\0" + tile_block(5, 3, layout, key))
    save("tile", "v2_alpha_tilb", b"\2" + tile_block(4, 4, "bgr24", alpha=100))
    save("tile", "v1_key0", b"\1" + tile_block(3, 2, "rgb565", key=0, older=True))
    save("tile", "v1_tilb", b"\3" + tile_block(4, 2, "xrgb32", key=0, older=True))
    save("tile", "v2_under_old_type", b"\1" + tile_block(3, 2, "rgb565"))
    save("tile", "v1_under_new_type", b"\0" + tile_block(3, 2, "rgb565", older=True))
    good = tile_block(5, 3, "xrgb32")
    save("tile", "cut", b"\0" + good[:-1])
    save("tile", "huge", b"\1" + struct.pack("<ii", 0x7FFF, 0x7FFF) + good[8:])
    save("tile", "negative", b"\0" + struct.pack("<ii", -5, 3) + good[8:])


def font_image(background, alpha_mask, glyphs=94, rows=4):
    """A saved font image: marks already replaced by the background, glyph i 1 + i % 4 columns wide."""
    columns = []
    for i in range(glyphs):
        columns.append(None)
        columns += [i] * (1 + i % 4)
    columns.append(None)
    pixels = b""
    for y in range(rows):
        for x, glyph in enumerate(columns):
            value = background if glyph is None or y == 0 else (((glyph + 1) << 16) | ((x * 40 + 10) & 255) << 8 | (y * 20 + 5))
            if glyph is not None and y > 0:
                value |= alpha_mask
            pixels += struct.pack("<I", value)
    return len(columns), pixels


def font_block(background=0, key=0, per_pixel=False, kerning=1, older=False, glyphs=94):
    mask = 0xFF000000 if per_pixel else 0
    width, pixels = font_image(background, mask, glyphs)
    body = struct.pack("<ii", width, 4) + record(32, (0xFF0000, 0xFF00, 0xFF, mask), key) + pixels
    return body if older else body + struct.pack("<i", kerning) + b"\0" * 128


def font_seeds():
    save("font", "black", b"\0" + font_block())
    save("font", "white_keyed", b"\0" + font_block(background=0xFFFFFF, key=0xFFFFFF, kerning=-2))
    save("font", "per_pixel", b"\0" + font_block(background=0x00FFFFFF, key=-1, per_pixel=True))
    save("font", "older", b"\1" + font_block(older=True))
    save("font", "current_under_old_type", b"\1" + font_block())
    save("font", "too_few_glyphs", b"\0" + font_block(glyphs=10))
    good = font_block()
    save("font", "cut", b"\0" + good[:-1])
    save("font", "eight_bit", b"\0" + good[:8] + struct.pack("<IBB", 0, 8, 1) + good[14:])
    save("font", "huge", b"\1" + struct.pack("<ii", 0x7FFF, 4) + good[8:])


if __name__ == "__main__":
    tile_seeds()
    font_seeds()
