#!/usr/bin/env python3
"""Writes the seed corpora of the resource-block fuzz targets (tile, font) into fuzz/corpus/.

Tile seeds start with one byte that picks the block type (0 "TILE2", 1 "TILE", 2 "TILB2", 3 "TILB").
Every seed is built here: small valid blocks of each layout plus a few damaged ones.
"""
import os
import struct

from make_pix_seeds import LAYOUTS, record, stored_pixels

HERE = os.path.dirname(os.path.abspath(__file__))


def save(corpus, name, data):
    path = os.path.join(HERE, "corpus", corpus)
    os.makedirs(path, exist_ok=True)
    with open(os.path.join(path, name), "wb") as f:
        f.write(data)


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


if __name__ == "__main__":
    tile_seeds()
