#!/usr/bin/python3
"""Writes pcx_reference.txt: for every PCX file of the shared corpus that Pillow decodes
completely, its size and the FNV-1a 64-bit hash of its palette indices (one byte per pixel,
row after row). corpus_test.cpp checks the project's decoder against these lines.

Left out: multi-plane files whose lines are padded (header bytes-per-line above what the
width needs). Pillow 9 unpacks their planes at the unpadded stride, so its indices are wrong
there (rose.pcx comes out as a single colour).

Needs Debian's python3-pil. Usage (from the repository root):
    tests/loaders/make_pcx_reference.py [corpus/pcx dir]
"""
import os
import struct
import sys

from PIL import Image


def fnv1a64(data):
    value = 0xCBF29CE484222325
    for byte in data:
        value = ((value ^ byte) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return value


def indices(image):
    if image.mode == "1":  # Pillow gives 0 and 255 for one-bit images
        return bytes(1 if v else 0 for v in image.getdata())
    if image.mode in ("P", "L"):
        return image.tobytes()
    return None


def main():
    corpus = sys.argv[1] if len(sys.argv) > 1 else "../shared/corpus/pcx"
    out_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "pcx_reference.txt")
    lines = ["# file width height fnv1a64-of-indices (made by make_pcx_reference.py with Pillow)"]
    for name in sorted(os.listdir(corpus)):
        with open(os.path.join(corpus, name), "rb") as f:
            header = f.read(128)
        if len(header) == 128 and header[65] > 1:
            xmin, xmax = struct.unpack("<h", header[4:6])[0], struct.unpack("<h", header[8:10])[0]
            needed = (xmax - xmin + 1 + 7) // 8
            if struct.unpack("<H", header[66:68])[0] > needed:
                continue
        try:
            image = Image.open(os.path.join(corpus, name))
            image.load()
        except Exception:  # truncated or a layout Pillow does not read
            continue
        data = indices(image)
        if data is None:  # true colour
            continue
        lines.append("%s %d %d %016x" % (name, image.width, image.height, fnv1a64(data)))
    with open(out_path, "w") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
