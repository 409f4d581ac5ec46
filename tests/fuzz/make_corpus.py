#!/usr/bin/env python3
"""Writes the fuzz target's seed corpus (tests/fuzz/corpus). Each input is eight bytes of a key
(little-endian int64) followed by the bytes of a data file, which the target also reads as a
schema file. Re-run after changing the inputs below; the corpus is committed."""
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus")

SCHEMA = [(1, b"Plato", 0, 250, 0), (2, b"Ingredientes", 0, 8000, 0), (3, b"Preparaci\xf3n", 0, 32000, 0),
          (4, b"Imagen", 0, 32767, 0), (5, b"Categoria", 0, 50, 0), (6, b"extensi\xf3n", 0, 259, 0)]


def name_field(name):
    return (name[:14] + b"\0" * 15)[:15]


def record(name, byte, key, flag, raw_name=None):
    field = raw_name if raw_name is not None else name_field(name)
    return struct.pack("<iB15shhqhi", 1, byte, field, 0, 50, key, 0, flag)


def value(name, key, data):
    return b"".join(record(name, b, key, 1 if i == len(data) - 1 else 0) for i, b in enumerate(data))


def recipe(key, dish, category, picture=None):
    out = value(b"Plato", key, dish) + value(b"Ingredientes", key, b"sal\r\naceite")
    out += value(b"Preparaci\xf3n", key, b"a\r\nb")
    if picture is not None:
        out += value(b"Imagen", key, picture)
    out += value(b"Categoria", key, category)
    if picture is not None:
        out += value(b"extensi\xf3n", key, b"jpg")
    return out


def schema():
    return b"".join(struct.pack("<i15shhh", a0, name_field(n), a1, m, a2) for a0, n, a1, m, a2 in SCHEMA)


def key(k):
    return struct.pack("<q", k)


def main():
    rng = random.Random(20240601)
    seeds = {
        "empty": b"",
        "key-only": key(1),
        "two-recipes": key(2) + recipe(1, b"Gazpacho", b"Sopas") + recipe(2, b"Paella", b"Arroz"),
        "five-records-and-tail": key(1) + value(b"Plato", 1, b"Sopa") + value(b"Categoria", 4, b"S") + b"\xee" * 20,
        "interleaved-keys": key(2) + record(b"Plato", 97, 1, 0) + record(b"Plato", 120, 2, 0)
        + record(b"Plato", 98, 1, 1) + record(b"Plato", 121, 2, 1) + record(b"Categoria", 67, 2, 1)
        + record(b"Plato", 122, 2, 1),
        "interrupted-run": key(1) + value(b"Plato", 1, b"Tortilla")[:-38] + recipe(2, b"Flan", b"Flanes"),
        "odd-names": key(1) + record(b"", 65, 1, 1, raw_name=b"ABCDEFGHIJKLMNO")
        + record(b"", 66, 1, 1, raw_name=b"Plato\0leftover!") + value(b"ABCDEFGHIJKLMN", 1, b"xy"),
        "picture-with-zeros": key(1) + recipe(1, b"Pan", b"Bolleria", picture=b"\x89PNG\0\0\0\rIHDR\0\0" + bytes(40)),
        "schema-150": key(0) + schema(),
        "schema-149": key(0) + schema()[:-1],
        "odd-last-flags": key(3) + record(b"Imagen", 1, 3, 2) + record(b"Imagen", 2, 3, -1)
        + record(b"Imagen", 3, 3, 256) + record(b"Imagen", 4, 3, 1),
        "keys-backwards-and-huge": key(-1) + recipe(5, b"A", b"Caza") + recipe(3, b"B", b"Aves")
        + recipe(2**63 - 1, b"C", b"Setas") + recipe(-1, b"D", b"Pastas") + recipe(3, b"E", b"Arroz"),
        "noise": key(7) + bytes(rng.randrange(256) for _ in range(38 * 20 + 11)),
    }
    os.makedirs(OUT, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
