#!/usr/bin/env python3
"""Writes the seed corpus of the button block fuzz target into fuzz/corpus/button/.

Each seed is one option byte (bit 0: load as a master) followed by a "BUT" block: sound descriptions of
every kind, and descriptions that must be refused (wrong size, kind, key, range, value or colour).
Run it from anywhere.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def desc(kind, key=0, color=0, x=0, y=0, rng=0, value=0, callback=0):
    return struct.pack("<IHBxIHHHxxi", callback, key, kind, color, x, y, rng, value)


def save(name, master, block):
    folder = os.path.join(HERE, "corpus", "button")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(bytes([master]) + block)


def main():
    save("push", 0, desc(1, key=13, color=0xFFFF00, x=10, y=20))
    save("icon_master", 1, desc(2))
    save("complex", 0, desc(4, key=321, callback=0xDEADBEEF))
    save("slider", 0, desc(8, rng=10, value=10, x=5, y=5))
    save("bar_master", 1, desc(16, rng=255, value=0))
    save("check", 0, desc(32, color=0x123456))
    save("input_margins", 0, desc(64, rng=3, value=-0x80000000))
    save("short", 0, desc(1)[:23])
    save("long", 0, desc(1) + b"\0")
    save("kind3", 0, desc(3))
    save("key322", 0, desc(1, key=322))
    save("range256", 0, desc(8, rng=256))
    save("value_above", 0, desc(16, rng=4, value=5))
    save("value_negative", 1, desc(8, rng=4, value=-1))
    save("white", 0, desc(1, color=0xFFFFFFFF))


if __name__ == "__main__":
    main()
