#!/usr/bin/env python3
"""Writes the seed corpora of the network fuzz targets (net_reader, net_payloads) into fuzz/corpus/.

Messages are encoded here from scratch (scrambling, CRC-32 check values, MT19937 tokens): sound ones
of every kind, and the broken ones the reader must refuse. Run it from anywhere.
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


class MT19937:
    def __init__(self, seed):
        self.state = [seed & 0xFFFFFFFF]
        for i in range(1, 624):
            prev = self.state[-1]
            self.state.append((1812433253 * (prev ^ (prev >> 30)) + i) & 0xFFFFFFFF)
        self.index = 624

    def next(self):
        if self.index >= 624:
            for i in range(624):
                y = (self.state[i] & 0x80000000) | (self.state[(i + 1) % 624] & 0x7FFFFFFF)
                self.state[i] = self.state[(i + 397) % 624] ^ (y >> 1) ^ (0x9908B0DF if y & 1 else 0)
            self.index = 0
        y = self.state[self.index]
        self.index += 1
        y ^= y >> 11
        y ^= (y << 7) & 0x9D2C5680
        y ^= (y << 15) & 0xEFC60000
        y ^= y >> 18
        return y


def scramble(data):
    out = bytearray(data)
    whole = len(out) // 4 * 4
    mask = (0x17, 0xC9, 0xE2, 0x5B)
    for i in range(len(out)):
        out[i] ^= mask[i % 4] if i < whole else 0x6E
    return bytes(out)


def header(kind, cmd, aux, size, check):
    return struct.pack("<BBhII", kind, cmd, aux, size, check)


def system(cmd, aux=0, payload=b"", size=None):
    return scramble(header(0x20, ord(cmd), aux, len(payload) if size is None else size, 0) + payload)


def user(cmd, payload, tokens, spoil_check=False):
    token = tokens.next() & 0xFFFF
    token = token - 0x10000 if token >= 0x8000 else token
    check = zlib.crc32(header(0x40, ord(cmd), token, len(payload), 0))
    if payload:
        check = (check + zlib.crc32(payload)) & 0xFFFFFFFF
    if spoil_check:
        check ^= 1
    return scramble(header(0x40, ord(cmd), token, len(payload), check) + payload)


def reader_seed(name, login_only, seed, stream, pieces=0):
    save("net_reader", name, bytes([(pieces << 1) | login_only, seed & 255, seed >> 8]) + stream)


def main():
    reader_seed("login", 1, 0, system("&", 0x1234, b"bob\0"))
    reader_seed("login_16_unterminated", 1, 0, system("&", 0x1234, b"a" * 16))
    reader_seed("login_wrapping_size", 1, 0, system("&", 0x1234, size=0xFFFFFFF8))
    reader_seed("not_a_login", 1, 0, system(".", size=0xFFFFFFFF))
    tokens = MT19937(1234)
    stream = user("H", b"hello", tokens) + system(".") + user("B", bytes(range(100)), tokens)
    stream += system("(", 0, b"ann\0") + system("0") + user("@", b"x" * 1000, tokens, spoil_check=True)
    stream += user("D", b"after a bad check", tokens)
    reader_seed("session", 0, 1234, stream, pieces=5)
    reader_seed("session_bytewise", 0, 1234, stream, pieces=0)
    tokens = MT19937(77)
    tokens.next()
    reader_seed("wrong_token", 0, 77, user("H", b"skipped one", tokens))
    reader_seed("oversize", 0, 0, scramble(header(0x40, ord("H"), 0, 0x400000 - 11, 0)))
    reader_seed("cut_payload", 0, 9, user("H", b"cut short here", MT19937(9))[:20], pieces=3)
    list_payload = b""
    for i in range(3):
        list_payload += (b"p%d" % i).ljust(16, b"\0") + struct.pack("<Iii", 0x7F000001 + i, i, i * 2)
    reader_seed("client_list", 0, 0, system(".", 0, list_payload), pieces=11)

    save("net_payloads", "name", b"bob\0")
    save("net_payloads", "name_unterminated", b"n" * 16)
    save("net_payloads", "name_empty", b"\0")
    save("net_payloads", "list_three", list_payload)
    ten = b"".join((b"q%d" % i).ljust(16, b"\0") + struct.pack("<Iii", i + 1, i, -i) for i in range(10))
    save("net_payloads", "list_ten_and_partial", ten.replace(b"q1".ljust(16, b"\0"), b"Z" * 16) + b"partial")


if __name__ == "__main__":
    main()
