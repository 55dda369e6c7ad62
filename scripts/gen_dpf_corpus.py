#!/usr/bin/env python3
# Writes the seed corpora of the archive fuzz targets: small version-4.0 archives (plain and protected
# with the harness's password) under fuzz/corpus/dpf/ and version-3.0 files under fuzz/corpus/dpf_v3/.
# The header key is read from Source/10_DPFFormat.cpp; UCL compression comes from the installed libucl.
import ctypes
import os
import re
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import gen_dpf_tables as tables  # noqa: E402

FUZZ_PASSWORD = b"fuzzing password"   # the password fuzz/fuzz_dpf.cpp sets
MARKER = bytes([0xB7, 0xAE, 0xCE]) + b"Block-Data" + bytes([0xCE, 0xAF, 0xB7])
WORDS = tables.pi_fraction_hex_words(tables.WORDS)


def header_key():
    source = open(os.path.join(ROOT, "Source", "10_DPFFormat.cpp")).read()
    mask = int(re.search(r"kHeaderKeyMask = (0x[0-9A-Fa-f]+)", source).group(1), 16)
    body = re.search(r"kMaskedHeaderKey\[16\] = \{([^}]*)\}", source).group(1)
    return bytes(int(v, 16) ^ mask for v in re.findall(r"0x[0-9A-Fa-f]+", body))


def encipher(cipher, data):
    out = bytearray()
    for i in range(0, len(data), 8):
        left, right = struct.unpack_from("<II", data, i)
        left, right = cipher.encipher(left, right)
        out += struct.pack("<II", left, right)
    return bytes(out)


def ucl_compress(data):
    ucl = ctypes.CDLL("libucl.so.1")
    capacity = len(data) + len(data) // 8 + 256
    out = ctypes.create_string_buffer(capacity)
    length = ctypes.c_uint(capacity)
    result = ucl.ucl_nrv2b_99_compress(data, len(data), out, ctypes.byref(length), None, 6, None, None)
    assert result == 0
    return out.raw[:length.value]


def pad8(data):
    return data + b"\0" * (-len(data) % 8)


def block(name, btype, mode, original, cipher=None, deleted=False):
    stored = ucl_compress(original) if mode == 0 else bytes(b ^ 0x9E for b in original) if mode == 2 else original
    if deleted:
        name, btype = b"?" + name[1:], b"DELETED"
    header = (name.ljust(32, b"\0") + btype.ljust(8, b"\0") + bytes([mode]) + b"\0" * 3 +
              struct.pack("<ii", len(original), len(stored)) + b"\0" * 12)
    data = pad8(stored)
    if cipher:
        header, data = encipher(cipher, header), encipher(cipher, data)
    return MARKER + header + data


def archive(blocks, protected=False):
    import zlib
    rest = b"".join(blocks)
    header = (b"(c) 2013 Yandorix Software".ljust(29, b"\0") + b"Mon Jan  1 10:00:00 2001".ljust(32, b"\0") +
              b"Mon Jan  1 10:00:00 2001".ljust(32, b"\0") + bytes([1 if protected else 0]) + b"\0\0" +
              struct.pack("<I", zlib.crc32(rest)) + bytes(i % 255 for i in range(410)) + b"\0\0")
    key_cipher = tables.Cipher(WORDS, header_key(), True)
    return b"DPFv4.0\0" + encipher(key_cipher, header) + rest


def v3_block(name, btype, mode, original, framed):
    stored = ucl_compress(original) if mode == 0 else bytes(b ^ 0x9E for b in original) if mode == 2 else original
    marker = b"\xb7BlockData\xb7" if framed else b".BlockData."
    return (marker + name.ljust(32, b"\0") + btype.ljust(5, b"\0") + bytes([mode]) +
            struct.pack("<ii", len(original), len(stored)) + stored)


def v3_archive(blocks):
    header = b"DPFv3.0\0" + b"(c) old times".ljust(29, b"\0") + b"Mon Jan  1 10:00:00 2001".ljust(32, b"\0")
    return header.ljust(256, b"\0") + b"".join(blocks)


def write(directory, name, data):
    os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, name), "wb") as out:
        out.write(data)


def main():
    text = b"<level name='one'>" + b"<tile id='7'/>" * 40 + b"</level>"
    pixels = bytes((x * 3 + y) & 255 for y in range(16) for x in range(16))
    password = tables.Cipher(WORDS, FUZZ_PASSWORD, True)
    v4 = os.path.join(ROOT, "fuzz", "corpus", "dpf")
    write(v4, "empty.dpf", archive([]))
    write(v4, "modes.dpf", archive([block(b"level", b"FILE", 0, text), block(b"pix", b"IMG", 1, pixels),
                                    block(b"snd", b"SND", 2, b"masked bytes"), block(b"none", b"T", 1, b"")]))
    write(v4, "deleted.dpf", archive([block(b"old", b"T", 1, b"gone", deleted=True),
                                      block(b"new", b"T", 0, text[:100])]))
    write(v4, "protected.dpf", archive([block(b"level", b"FILE", 0, text, password),
                                        block(b"pix", b"IMG", 2, pixels, password)], protected=True))
    write(v4, "tail.dpf", archive([block(b"a", b"T", 1, b"abc"), MARKER[:9]]))
    v3 = os.path.join(ROOT, "fuzz", "corpus", "dpf_v3")
    write(v3, "plain.dpf", v3_archive([v3_block(b"level", b"FILE", 0, text, False),
                                       v3_block(b"gone", b"DELE", 1, b"old", True),
                                       v3_block(b"pix", b"IMG", 2, pixels, True)]))
    write(v3, "empty.dpf", v3_archive([]))
    write(v3, "cut.dpf", v3_archive([v3_block(b"level", b"FILE", 1, text, False)])[:-20])


if __name__ == "__main__":
    main()
