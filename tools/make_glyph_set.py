#!/usr/bin/env python3
"""Makes glyph2.ani, the saver's glyph set, from a TrueType font.

Frames 0-26 are 27 characters drawn bright (the glowing head of a stream), frames
27-53 the same characters in plain green, frame 54 the blank cell. The output is the
same byte for byte on every run: the font file, its size, the cell and the colours
are fixed below, and everything after FreeType's rasterisation is integer arithmetic.

FreeType hints what Pillow asks it to draw and Pillow has no switch for that, so each
character is rasterised at SUPERSAMPLE times the cell size, where hinting moves edges
by a small fraction of a final pixel, and box-filtered down here.

--scale 2 and 3 draw the same set from the same font at two and three times the cell size,
for screens with that many more pixels.

Usage: make_glyph_set.py [--font TTF] [--scale N] [--preview PNG] OUTPUT
       make_glyph_set.py --check FILE
"""

import argparse
import math
import os
import struct
import sys

CELL_W = 16
CELL_H = 20
SUPERSAMPLE = 8
FONT_FILE = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"
FONT_PX = 19  # pixel size at the final scale; caps come out about 14 px tall
INK_GAP_W = 3  # keeps a dark gap between neighbouring columns
INK_GAP_H = 4
SCALES = (1, 2, 3)

# (character, drawn mirrored): digits, Latin, Greek and Cyrillic shapes; mirroring a
# few makes the set read as a code rather than as text.
CHARACTERS = [
    ("0", False), ("1", False), ("2", False), ("3", True), ("4", False), ("5", False),
    ("7", False), ("8", False), ("9", True), ("Z", False), ("T", False), ("E", True),
    ("K", True), ("Ж", False), ("Ψ", False), ("Ξ", False), ("Σ", False), ("λ", False),
    ("Ω", False), ("Л", True), ("Ф", False), ("Ш", False), ("Ч", False), ("Я", False),
    (":", False), ("=", False), ("*", False),
]

# Colours as (red, green, blue) at full coverage, and the halo's strength (2 = the
# spread coverage doubled before it saturates).
NORMAL_INK = (38, 226, 74)
NORMAL_HALO = (0, 64, 18)
NORMAL_HALO_GAIN = 2
BRIGHT_INK = (188, 255, 196)
BRIGHT_HALO = (30, 210, 72)
BRIGHT_HALO_GAIN = 3

VERSION = 2
FRAME_COUNT = 2 * len(CHARACTERS) + 1
MAGIC = b"VXGS"  # not read by the saver; names the file for people


def rasterise(font, char, mirrored, scale):
    """Coverage 0-255 of one character, a cell of the scale, rows top-down, ink centred."""
    from PIL import Image, ImageDraw

    cell_w, cell_h = CELL_W * scale, CELL_H * scale
    sw, sh = cell_w * SUPERSAMPLE, cell_h * SUPERSAMPLE
    left, top, right, bottom = font.getbbox(char)
    ink_w, ink_h = right - left, bottom - top
    if ink_w <= 0 or ink_h <= 0:
        raise ValueError("character %r has no ink in the font" % char)
    if ink_w > (CELL_W - INK_GAP_W) * scale * SUPERSAMPLE or ink_h > (CELL_H - INK_GAP_H) * scale * SUPERSAMPLE:
        raise ValueError("character %r is %dx%d, larger than the ink box" % (char, ink_w, ink_h))
    # Whole final pixels for the offset keep every glyph on the same pixel phase.
    ox = (cell_w - (ink_w + SUPERSAMPLE - 1) // SUPERSAMPLE) // 2 * SUPERSAMPLE
    oy = (cell_h - (ink_h + SUPERSAMPLE - 1) // SUPERSAMPLE) // 2 * SUPERSAMPLE
    canvas = Image.new("L", (sw, sh), 0)
    ImageDraw.Draw(canvas).text((ox - left, oy - top), char, font=font, fill=255)
    hi = canvas.tobytes()
    if mirrored:
        hi = b"".join(hi[y * sw:(y + 1) * sw][::-1] for y in range(sh))

    area = SUPERSAMPLE * SUPERSAMPLE
    cover = []
    for y in range(cell_h):
        for x in range(cell_w):
            total = 0
            for sy in range(y * SUPERSAMPLE, (y + 1) * SUPERSAMPLE):
                row = sy * sw + x * SUPERSAMPLE
                total += sum(hi[row:row + SUPERSAMPLE])
            cover.append((total + area // 2) // area)
    return cover


def lift(cover):
    """Brightens anti-aliased edges (about gamma 1.5) so thin strokes stay legible."""
    return [(c + math.isqrt(c * 255) + 1) // 2 for c in cover]


def halo(cover, gain, scale):
    """A soft binomial spread of the coverage times gain, 0-255, kept inside the cell: 5x5 at
    scale 1, as wide again per scale. Rows, then columns: the same integer sums as in 2-D."""
    cell_w, cell_h = CELL_W * scale, CELL_H * scale
    reach = 2 * scale
    k = [math.comb(2 * reach, i) for i in range(2 * reach + 1)]
    rows = []
    for y in range(cell_h):
        line = cover[y * cell_w:(y + 1) * cell_w]
        rows.append([sum(k[dx + reach] * line[x + dx] for dx in range(-reach, reach + 1) if 0 <= x + dx < cell_w)
                     for x in range(cell_w)])
    shift = 4 * reach
    out = []
    for y in range(cell_h):
        near = [(k[dy + reach], rows[y + dy]) for dy in range(-reach, reach + 1) if 0 <= y + dy < cell_h]
        for x in range(cell_w):
            total = sum(w * row[x] for w, row in near)
            out.append(min(255, (total * gain + (1 << (shift - 1))) >> shift))
    return out


def colour(cover, ink, glow_colour, gain, scale):
    """Ink over its halo over black: (r, g, b) per pixel."""
    spread = halo(cover, gain, scale)
    pixels = []
    for c, g in zip(lift(cover), spread):
        rest = 255 - c
        pixels.append(tuple((i * c + h * g * rest // 255 + 127) // 255 for i, h in zip(ink, glow_colour)))
    return pixels


def ink(font, char, scale):
    """The character as drawn at the origin, for comparing shapes."""
    from PIL import Image, ImageDraw

    canvas = Image.new("L", (CELL_W * scale * SUPERSAMPLE * 2, CELL_H * scale * SUPERSAMPLE * 2), 0)
    ImageDraw.Draw(canvas).text((0, 0), char, font=font, fill=255)
    return canvas.tobytes()


def build_frames(font_path, scale):
    from PIL import ImageFont

    font = ImageFont.truetype(font_path, FONT_PX * scale * SUPERSAMPLE)
    # A code point the font lacks draws its placeholder box; none of ours may.
    missing = ink(font, "\ue000", scale)
    covers = []
    for char, mirrored in CHARACTERS:
        if ink(font, char, scale) == missing:
            raise ValueError("font %s has no glyph for %r" % (font_path, char))
        covers.append(rasterise(font, char, mirrored, scale))
    bright = [colour(c, BRIGHT_INK, BRIGHT_HALO, BRIGHT_HALO_GAIN, scale) for c in covers]
    normal = [colour(c, NORMAL_INK, NORMAL_HALO, NORMAL_HALO_GAIN, scale) for c in covers]
    blank = [(0, 0, 0)] * (CELL_W * CELL_H * scale * scale)
    return bright + normal + [blank]


def encode(frames, scale):
    """The animation file: 12-byte header, then per frame its rows bottom-up, BGR."""
    cell_w, cell_h = CELL_W * scale, CELL_H * scale
    out = bytearray(MAGIC)
    out += struct.pack("<BBHHBB", VERSION, len(frames), cell_w, cell_h, 0, 0)
    for frame in frames:
        for y in range(cell_h - 1, -1, -1):
            for r, g, b in frame[y * cell_w:(y + 1) * cell_w]:
                out += bytes((b, g, r))
    return bytes(out)


def check(data):
    """Problems that would keep a file from serving as the saver's glyph set."""
    problems = []
    if len(data) < 12:
        return ["file is %d bytes, shorter than the 12-byte header" % len(data)]
    version, count, w, h, maps, _ = struct.unpack_from("<BBHHBB", data, 4)
    if version != 2:
        problems.append("version %d, not 2" % version)
    if not 55 <= count <= 100:
        problems.append("%d frames, not 55-100" % count)
    if w < 1 or h < 1 or w * h > 480000:
        problems.append("cell %dx%d out of range" % (w, h))
    record = (4 if maps else 3) * w * h
    if len(data) < 12 + count * record:
        problems.append("%d bytes, %d frames of %dx%d need %d" % (len(data), count, w, h, 12 + count * record))
    return problems


def write_preview(frames, path, scale, enlarge=4):
    """A sheet of every frame as the display shows it (5-6-5), enlarged, for eyes."""
    from PIL import Image

    cell_w, cell_h = CELL_W * scale, CELL_H * scale
    cols = len(CHARACTERS)
    sheet = Image.new("RGB", (cols * cell_w, 3 * cell_h), (0, 0, 0))
    for i, frame in enumerate(frames):
        fx, fy = (i % cols) * cell_w, (i // cols) * cell_h
        for y in range(cell_h):
            for x in range(cell_w):
                r, g, b = frame[y * cell_w + x]
                r, g, b = r >> 3, g >> 2, b >> 3
                sheet.putpixel((fx + x, fy + y), ((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2)))
    sheet.resize((sheet.width * enlarge, sheet.height * enlarge), Image.NEAREST).save(path)


def main(argv):
    parser = argparse.ArgumentParser(description="Make the saver's glyph set (glyph2.ani).")
    parser.add_argument("output", nargs="?", help="file to write")
    parser.add_argument("--font", default=FONT_FILE, help="TrueType font (default: %(default)s)")
    parser.add_argument("--scale", type=int, choices=SCALES, default=1, help="cell size multiple (default: 1)")
    parser.add_argument("--preview", help="also write an enlarged PNG sheet of all frames")
    parser.add_argument("--check", metavar="FILE", help="only check FILE's header and size")
    args = parser.parse_args(argv)

    if args.check:
        with open(args.check, "rb") as f:
            problems = check(f.read())
        for p in problems:
            print("%s: %s" % (args.check, p), file=sys.stderr)
        return 1 if problems else 0
    if not args.output:
        parser.error("an output file is needed")
    if not os.path.isfile(args.font):
        print("make_glyph_set: font %s not found (Debian package fonts-dejavu-core)" % args.font, file=sys.stderr)
        return 1
    try:
        frames = build_frames(args.font, args.scale)
    except ImportError:
        print("make_glyph_set: Pillow is missing (Debian package python3-pil)", file=sys.stderr)
        return 1
    except ValueError as e:
        print("make_glyph_set: %s" % e, file=sys.stderr)
        return 1
    data = encode(frames, args.scale)
    assert not check(data), check(data)
    # Written beside the target and renamed, so a failed run never leaves half a file.
    tmp = args.output + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, args.output)
    if args.preview:
        write_preview(frames, args.preview, args.scale)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
