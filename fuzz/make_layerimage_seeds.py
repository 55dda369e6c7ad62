#!/usr/bin/env python3
"""Writes the seed corpus of the layer-image fuzz target into fuzz/corpus/layerimage/.

Each seed: byte 0 depth (bits 0-2: 8, 15, 16, 24, 32 XRGB, 32 ARGB per-pixel, 32 ABGR without alpha,
16 ARGB4444 per-pixel), target (bits 3-4), no picture (bit 5), run-length key (bit 6), surface alpha
(bit 7); tile width and height as signed bytes holding twice the size; columns - 1 and rows - 1;
a shape byte (bits 0-1 = 3: one pixel wider, bits 2-3 = 3: one pixel taller, bit 5: negative id,
bit 6: no key, bit 7: tiles wider than 1024); the accuracy as a signed byte; the key as little-endian
int32; then bytes that fill the pixel rows over and over.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus", "layerimage")

XRGB, ARGB, ARGB4444 = 4, 5, 7
NO_KEY = 0x40


def seed(name, depth, tile_w, tile_h, columns, rows, accuracy, key, fill, shape=0, target=0, flags=0):
    head = bytes([depth | target << 3 | flags, (tile_w * 2) & 0xFF, (tile_h * 2) & 0xFF, columns - 1, rows - 1,
                  shape, accuracy & 0xFF]) + struct.pack("<i", key)
    os.makedirs(OUT, exist_ok=True)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(head + fill)


def main():
    half = bytes((i * 37 + 11) & 0xFF for i in range(32 * 4))
    seed("two_equal_halves", XRGB, 32, 32, 2, 1, 100, 0, half, shape=NO_KEY)
    seed("indexed_key", 0, 8, 8, 3, 2, 100, 5, bytes([5] * 64 + [1, 2, 3, 4] * 16))
    seed("rgb565_accuracy90", 2, 10, 10, 4, 3, 90, 0xF81F, bytes((i * 13) & 0xFF for i in range(150)))
    seed("rgb555", 1, 4, 4, 5, 5, 100, 0x7C00, bytes([0, 0x7C] * 8 + [1, 2] * 8))
    seed("rgb24_refused", 3, 8, 8, 2, 2, 100, -1, b"\x01\x02\x03", shape=NO_KEY)
    seed("argb_transparent", ARGB, 8, 8, 3, 1, 100, -1, bytes([9, 9, 9, 0] * 8 + [1, 2, 3, 255] * 8))
    seed("abgr_without_alpha", 6, 6, 6, 2, 2, 75, 0, bytes(range(48)))
    seed("argb4444", ARGB4444, 4, 4, 4, 4, 100, -1, bytes([0x23, 0x01, 0x23, 0xF1] * 4), shape=NO_KEY)
    seed("wide_tiles", XRGB, 20, 2, 2, 2, 100, -1, bytes(range(256)), shape=NO_KEY | 0x80)
    seed("width_not_multiple", XRGB, 8, 8, 2, 2, 100, -1, b"\x10", shape=NO_KEY | 3)
    seed("height_not_multiple", XRGB, 8, 8, 2, 2, 100, -1, b"\x10", shape=NO_KEY | 12)
    seed("layer_with_map", XRGB, 8, 8, 2, 2, 100, -1, b"\x10\x20", shape=NO_KEY, target=1)
    seed("id_outside", XRGB, 8, 8, 2, 2, 100, -1, b"\x10\x20", shape=NO_KEY | 0x20, target=2)
    seed("closed_engine", XRGB, 8, 8, 2, 2, 100, -1, b"\x10\x20", shape=NO_KEY, target=3)
    seed("no_picture", XRGB, 8, 8, 2, 2, 100, -1, b"", shape=NO_KEY, flags=0x20)
    seed("zero_tile", XRGB, 0, 8, 2, 2, 100, -1, b"\x10", shape=NO_KEY)
    seed("rle_key_alpha", XRGB, 8, 8, 3, 3, 100, 0x00FF00FF, bytes([0xFF, 0, 0xFF, 0] * 64 + [7] * 64),
         flags=0xC0)
    seed("low_accuracy", 0, 6, 6, 6, 6, -50, -1, bytes((i * 5) & 0xFF for i in range(97)), shape=NO_KEY)
    seed("only_key", XRGB, 4, 4, 3, 3, 100, 0x01010101, b"\x01")


if __name__ == "__main__":
    main()
