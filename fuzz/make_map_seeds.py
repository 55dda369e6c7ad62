#!/usr/bin/env python3
"""Writes the seed corpora of the tile engine's map fuzz targets (mapdata, base64, inflate) into
fuzz/corpus/.

mapdata seeds: one form byte (bit 0 TMX, bits 1-2 encoding csv/base64/other/none, bit 3 compression,
bit 7 gzip, bit 6 with bits 4-5 an attribute left out), four little-endian int32 (width, height, cell
width, cell height), then the element's text. inflate seeds: the expected size - 1 as two
little-endian bytes, then the compressed data. base64 seeds: plain text.
"""
import base64
import gzip
import struct
import zlib

from make_pix_seeds import save



def cells(w, h):
    return [((c * 3 + r * 5) % 9) | (0x80000000 if (c + r) % 4 == 0 else 0) for r in range(h) for c in range(w)]


def cell_bytes(values):
    return b"".join(struct.pack("<I", v) for v in values)


def csv(values, w):
    rows = [",".join(str(v) for v in values[i:i + w]) for i in range(0, len(values), w)]
    return (", ".join(rows) + " ").encode()


def mapdata(form, w, h, cw, ch, text):
    return bytes([form]) + struct.pack("<iiii", w, h, cw, ch) + text


def mapdata_seeds():
    values = cells(4, 3)
    raw = cell_bytes(values)
    save("mapdata", "level_csv", mapdata(0, 4, 3, 16, 16, csv(values, 4)))
    save("mapdata", "level_short", mapdata(0, 4, 3, 16, 16, csv(values[:-1], 4)))
    save("mapdata", "level_octal_hex", mapdata(0, 2, 2, 8, 8, b"010,0x10,0XfF,-1"))
    save("mapdata", "level_zero_cell", mapdata(0, 2, 1, 0, 8, b"1,2"))
    save("mapdata", "level_huge", mapdata(0, 65535, 65535, 8, 8, b"1,2,3"))
    save("mapdata", "level_missing_height", mapdata(0x40 | 0x10, 2, 1, 8, 8, b"1,2"))
    save("mapdata", "tmx_csv", mapdata(1, 4, 3, 16, 16, csv(values, 4)))
    save("mapdata", "tmx_base64", mapdata(1 | 2, 4, 3, 16, 16, base64.b64encode(raw)))
    save("mapdata", "tmx_base64_short", mapdata(1 | 2, 4, 3, 16, 16, base64.b64encode(raw[:-4])))
    save("mapdata", "tmx_zlib", mapdata(1 | 2 | 8, 4, 3, 16, 16, base64.b64encode(zlib.compress(raw))))
    gz = gzip.compress(raw, mtime=0)
    save("mapdata", "tmx_gzip", mapdata(1 | 2 | 8 | 0x80, 4, 3, 16, 16, base64.b64encode(gz)))
    save("mapdata", "tmx_zlib_trailing", mapdata(1 | 2 | 8, 4, 3, 16, 16, base64.b64encode(zlib.compress(raw) + b"xx")))
    save("mapdata", "tmx_other_encoding", mapdata(1 | 4, 4, 3, 16, 16, b"00"))
    save("mapdata", "tmx_big_tiles", mapdata(1, 256, 256, 1, 1, b"1," * 200))


def base64_seeds():
    save("base64", "padded", b"AQAAAA==")
    save("base64", "newline_first", b"\nAQAAAA==")
    save("base64", "all_bytes", base64.b64encode(bytes(range(256))))
    save("base64", "tail_three", b"TWE")
    save("base64", "stops_inside", b"TWFu TWFu")


def inflate_seeds():
    raw = cell_bytes(cells(8, 8))
    size = struct.pack("<H", len(raw) - 1)
    save("inflate", "zlib", size + zlib.compress(raw))
    save("inflate", "gzip", size + gzip.compress(raw, mtime=0))
    save("inflate", "trailing", size + zlib.compress(raw) + b"\0")
    save("inflate", "truncated", size + zlib.compress(raw)[:-6])
    save("inflate", "larger_than_expected", struct.pack("<H", 15) + zlib.compress(raw))
    save("inflate", "bomb", struct.pack("<H", 99) + zlib.compress(b"\0" * 200000))
    save("inflate", "garbage", size + b"not compressed at all")


if __name__ == "__main__":
    mapdata_seeds()
    base64_seeds()
    inflate_seeds()
