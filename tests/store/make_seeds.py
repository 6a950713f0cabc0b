#!/usr/bin/env python3
"""Writes the seed corpus of best_file_fuzzer into seeds/ beside this script.

Each seed is the fuzzer's input: mode byte, entry-count byte, name length,
name, then a best file (valid ones and typical damage).
Run it again after changing the input layout and commit the result."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
ALL_MIDI = b"\x82\xb7\x82\xd7\x82\xc4\x82\xccMIDI\x83\x74\x83\x40\x83\x43\x83\x8b"


def record(name, entries, pad=2, count=None, length=None):
    body = name + b"\0" + b"".join(e + b"\0" for e in entries) + b"\0" * (pad + 1)
    real = 8 + len(body)
    return struct.pack("<II", real if length is None else length,
                       len(entries) if count is None else count) + body


def best_file(*records):
    return b"".join(records) + b"\0\0\0\0"


def seed(mode, entries, name, content):
    return bytes([mode, entries, len(name)]) + name + content


songs = [b"C:\\MIDI\\a.mid", b"C:\\MIDI\\\x83\x5c\\b.mid", b"C:\\MIDI\\sub/", b"C:\\MIDI\\sub\\c.lnk"]
valid = best_file(record(ALL_MIDI, songs, pad=5), record(b"Rock", songs[:1]), record(b"rock", []))
seeds = {
    "empty-file": seed(1, 1, b"Rock", b""),
    "end-marker-only": seed(1, 0, b"Rock", best_file()),
    "save-existing": seed(1, 2, b"Rock", valid),
    "save-new": seed(1, 1, b"Jazz", valid),
    "delete": seed(0, 0, ALL_MIDI, valid),
    "truncated": seed(1, 1, b"Rock", valid[:len(valid) // 2]),
    "short-length": seed(1, 0, b"Rock", best_file(record(b"A", []), record(b"B", [], length=11))),
    "length-past-end": seed(1, 0, b"A", best_file(record(b"A", songs, length=5000))),
    "count-mismatch": seed(1, 1, b"Z", best_file(record(b"A", songs, count=2), record(b"B", songs))),
    "huge-count": seed(0, 0, b"B", best_file(record(b"A", songs, count=0xFFFFFFFF), record(b"B", []))),
    "delete-absent-behind-damage": seed(0, 0, b"Z", best_file(record(b"A", songs), record(b"X", songs, count=9),
                                                              record(b"B", songs[:2]))),
    "no-terminator": seed(1, 0, b"A", best_file(record(b"A", songs, pad=-1), record(b"B", []))),
    "long-name": seed(1, 0, b"N" * 200, best_file(record(b"N" * 260, []), record(b"N" * 259, []))),
}

os.makedirs(os.path.join(HERE, "seeds"), exist_ok=True)
for label, data in seeds.items():
    with open(os.path.join(HERE, "seeds", label), "wb") as out:
        out.write(data)
