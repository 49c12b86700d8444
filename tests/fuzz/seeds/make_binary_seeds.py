#!/usr/bin/env python3
"""Writes the binary seeds of the tga and bsp fuzz targets (the text seeds are
written by hand). Run from anywhere; the files land beside this script."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    os.makedirs(os.path.join(HERE, target), exist_ok=True)
    with open(os.path.join(HERE, target, name), "wb") as f:
        f.write(bytes(data))


def tga(width, height, bpp, descriptor, pixels=None, image_id=b"", image_type=2):
    header = struct.pack("<BBBHHBHHHHBB", len(image_id), 0, image_type, 0, 0, 0, 0, 0,
                         width, height, bpp, descriptor)
    if pixels is None:
        pixels = bytes((i * 37 + 11) % 256 for i in range(width * height * bpp // 8))
    return header + image_id + pixels


write("tga", "bottom_first_24.tga", tga(3, 2, 24, 0x00))
write("tga", "top_first_32.tga", tga(2, 3, 32, 0x28))
write("tga", "mirrored_odd_width.tga", tga(3, 2, 24, 0x30))
write("tga", "image_id_and_footer.tga", tga(2, 2, 24, 0x20, image_id=b"hello") + b"TRUEVISION-XFILE.\0")
write("tga", "zero_width.tga", tga(0, 4, 32, 0x20))
write("tga", "run_length_type.tga", tga(2, 2, 24, 0x20, image_type=10))
write("tga", "sixteen_bits.tga", tga(2, 2, 16, 0x20))
write("tga", "truncated_pixels.tga", tga(4, 4, 32, 0x20)[:40])
write("tga", "huge_header.tga", tga(65535, 65535, 32, 0x20, pixels=b"\1\2\3\4"))


# The bsp target reads: a mode byte (odd: one cut, even: a whole tree), for a
# tree a weights byte, then triangles. A triangle is an op byte below 0xE0 and
# nine coordinates, or an op from 0xE0 that copies an earlier triangle (op & 3:
# same, rotated, flipped, nudged by a further byte) chosen by the next byte. A
# coordinate byte below 0xC0 is the grid value (b - 96) / 8; 0xC0-0xDF pick an
# awkward value (tolerances, tiny, huge, infinite, NaN); 0xE0-0xEF take a
# further byte as a small offset near the bands; from 0xF0, four raw float bytes.
def grid(v):
    return int(round(v * 8)) + 96


def tri(*corners):
    out = [0x00]
    for c in corners:
        out += [grid(x) for x in c]
    return out


quad = tri((0, 0, 0), (1, 0, 0), (1, 1, 0)) + tri((0, 0, 0), (1, 1, 0), (0, 1, 0))
crossing = tri((-1, 0, -1), (1, 0, -1), (0, 0, 1)) + tri((0, -1, 0), (0, 1, 0), (0, 0, 2))
cyclic = (tri((-2, -1, 0), (2, -1, 0.5), (2, -0.5, 0.5)) + tri((-1, -2, 0.5), (-1, 2, 0), (-0.5, 2, 0))
          + tri((1, 2, 0.25), (0.5, -2, 0.25), (1, -2, 0.75)))
write("bsp", "tree_quad.bin", [0x00, 0x00] + quad)
write("bsp", "tree_crossing.bin", [0x00, 0x11] + crossing)
write("bsp", "tree_cyclic.bin", [0x00, 0x00] + cyclic)
# Repeats: the same triangle, rotated, flipped and nudged by 0.0004.
write("bsp", "tree_repeats.bin", [0x00, 0x00] + crossing + [0xE0, 0, 0xE1, 1, 0xE2, 0, 0xE3, 1, 132])
# Awkward coordinates: a corner at the 0.01 band, one at FLT_MAX, one NaN.
write("bsp", "tree_awkward.bin", [0x00, 0x20] + crossing
      + [0x00, grid(0), grid(0), 0xC8, grid(1), grid(0), 0xD9, grid(0), grid(1), 0xDD])
write("bsp", "cut_one_corner_on.bin", [0x01] + tri((0, 0, 1), (1, 0, 0), (0, 1, -1))
      + tri((0, 0, 0), (1, 0, 0), (0, 1, 0)))
write("bsp", "cut_two_behind.bin", [0x01] + tri((0, 0, 1), (1, 0, -1), (0, 1, -1))
      + tri((0, 0, 0), (1, 0, 0), (0, 1, 0)))
# A corner just past the band below a plane whose other corners are far above.
write("bsp", "cut_near_end.bin", [0x01, 0x00, grid(0), grid(0), 0xE0, 106, grid(1), grid(0),
                                  grid(11.875), grid(0), grid(1), grid(11.875)]
      + tri((0, 0, 0), (1, 0, 0), (0, 1, 0)))
