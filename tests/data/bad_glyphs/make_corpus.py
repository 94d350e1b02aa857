#!/usr/bin/env python3
"""Writes the glyph-file corpus of this folder; expected.tsv lists what loading each gives."""
import struct

def header(version=2, frames=1, width=1, height=1, maps=0, junk=b"\0\0\0\0", tail=0):
    return junk + struct.pack("<BBHHBB", version, frames, width, height, maps, tail)

def pixels(frames, width, height, maps=False):
    body = b""
    for f in range(frames):
        body += bytes((f + i) & 0xFF for i in range(3 * width * height))
        if maps:
            body += bytes([0x80]) * (width * height)
    return body

files = {
    "empty.ani": b"",
    "short_header.ani": header()[:7],
    "version1.ani": header(version=1) + pixels(1, 1, 1),
    "version255.ani": header(version=255) + pixels(1, 1, 1),
    "too_many_frames.ani": header(frames=101) + pixels(101, 1, 1),
    "max_frames_255.ani": header(frames=255),
    "zero_width.ani": header(frames=1, width=0, height=8),
    "zero_height.ani": header(frames=1, width=8, height=0),
    "zero_size_no_frames.ani": header(frames=0, width=0, height=0),
    "too_large.ani": header(frames=1, width=800, height=601),
    "huge_dimensions.ani": header(frames=1, width=65535, height=65535),
    "truncated_header_frame.ani": header(frames=2, width=4, height=3) + pixels(1, 4, 3) + b"\1\2",
    "truncated_last_frame.ani": header(frames=3, width=2, height=2) + pixels(3, 2, 2)[:-1],
    "truncated_map.ani": header(frames=2, width=2, height=2, maps=1) + pixels(2, 2, 2, maps=True)[:-1],
    "no_body.ani": header(frames=55, width=10, height=12),
    "ok_no_frames.ani": header(frames=0, width=10, height=12) + b"trailing",
    "ok_area_limit.ani": header(frames=0, width=800, height=600),
    "ok_100_frames.ani": header(frames=100) + pixels(100, 1, 1),
    "ok_54_frames.ani": header(frames=54, width=2, height=3) + pixels(54, 2, 3),
    "ok_55_frames.ani": header(frames=55, width=2, height=3, junk=b"VRLX", tail=0xEE) + pixels(55, 2, 3) + b"extra",
}
for name, data in files.items():
    with open(name, "wb") as f:
        f.write(data)
