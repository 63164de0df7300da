#!/usr/bin/python3
"""Writes small seed images of every file type and pixel layout the layer
reads into the given directory. DDS, HDR and PFM are built by hand so that
their headers are exactly what the readers expect."""
import os
import struct
import sys

from PIL import Image


def pillow_seeds(out):
    def gradient(mode, size):
        image = Image.new("RGBA", size)
        w, h = size
        image.putdata([(x * 255 // max(1, w - 1), y * 255 // max(1, h - 1), 128, (x + y) * 20 % 256)
                       for y in range(h) for x in range(w)])
        if mode == "I;16":
            return image.convert("L").convert("I").convert(mode)
        return image.convert(mode) if mode != "RGBA" else image

    seeds = [
        ("rgb.png", "RGB", (5, 3), {}), ("rgba.png", "RGBA", (4, 4), {}), ("grey.png", "L", (3, 5), {}),
        ("grey_alpha.png", "LA", (2, 2), {}), ("indexed.png", "P", (6, 2), {}), ("grey16.png", "I;16", (2, 3), {}),
        ("one.png", "1", (9, 1), {}),
        ("rgb.jpg", "RGB", (8, 8), {"quality": 50}), ("grey.jpg", "L", (5, 7), {}),
        ("progressive.jpg", "RGB", (16, 8), {"progressive": True}),
        ("rgb.bmp", "RGB", (3, 3), {}), ("rgba.bmp", "RGBA", (2, 2), {}), ("indexed.bmp", "P", (5, 2), {}),
        ("one.bmp", "1", (7, 3), {}), ("grey.bmp", "L", (4, 2), {}),
        ("rgb.tga", "RGB", (3, 2), {}), ("rgba.tga", "RGBA", (2, 3), {}), ("grey.tga", "L", (3, 3), {}),
        ("indexed.tga", "P", (4, 2), {}), ("rle.tga", "RGBA", (6, 2), {"compression": "tga_rle"}),
        ("rgb.ppm", "RGB", (3, 2), {}), ("grey.pgm", "L", (2, 2), {}),
    ]
    for name, mode, size, options in seeds:
        gradient(mode, size).save(os.path.join(out, name), **options)
    # 48-bit PNG, which Pillow cannot write: a hand-made one with zlib.
    import zlib
    w, h = 2, 2
    raw = b"".join(b"\0" + bytes(range(y * 12, y * 12 + 6 * w)) for y in range(h))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 16, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")
    open(os.path.join(out, "rgb48.png"), "wb").write(png)


DDPF_ALPHAPIXELS, DDPF_FOURCC, DDPF_RGB, DDPF_LUMINANCE = 0x1, 0x4, 0x40, 0x20000


def dds(width, height, levels, pixelformat, level_size, cubemap=False):
    flags = 0x1007 | (0x20000 if levels > 1 else 0)
    caps = 0x1000 | (0x400008 if levels > 1 else 0)
    header = struct.pack("<4s7I44x", b"DDS ", 124, flags, height, width, 0, 0, levels if levels > 1 else 0)
    header += pixelformat + struct.pack("<4I4x", caps, 0xFE00 if cubemap else 0, 0, 0)
    assert len(header) == 128
    data = b""
    for i in range(levels):
        n = level_size(max(1, width >> i), max(1, height >> i))
        data += bytes((j * 7 + i) & 0xff for j in range(n))
    return header + data


def rgb_format(flags, bits, r, g, b, a):
    return struct.pack("<2I4s5I", 32, flags, b"\0\0\0\0", bits, r, g, b, a)


def fourcc_format(code):
    return struct.pack("<2I4s5I", 32, DDPF_FOURCC, code, 0, 0, 0, 0, 0)


def blocks(bytes_per_block):
    return lambda w, h: ((w + 3) // 4) * ((h + 3) // 4) * bytes_per_block


def dds_seeds(out):
    argb = rgb_format(DDPF_RGB | DDPF_ALPHAPIXELS, 32, 0xff0000, 0xff00, 0xff, 0xff000000)
    seeds = {
        "a8r8g8b8_mips.dds": dds(8, 4, 4, argb, lambda w, h: w * h * 4),
        "x8r8g8b8.dds": dds(3, 5, 1, rgb_format(DDPF_RGB, 32, 0xff0000, 0xff00, 0xff, 0), lambda w, h: w * h * 4),
        "r8g8b8.dds": dds(5, 2, 1, rgb_format(DDPF_RGB, 24, 0xff0000, 0xff00, 0xff, 0), lambda w, h: w * h * 3),
        "r5g6b5.dds": dds(4, 4, 3, rgb_format(DDPF_RGB, 16, 0xf800, 0x7e0, 0x1f, 0), lambda w, h: w * h * 2),
        "a1r5g5b5.dds": dds(2, 2, 1, rgb_format(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0x7c00, 0x3e0, 0x1f, 0x8000),
                            lambda w, h: w * h * 2),
        "a4r4g4b4.dds": dds(2, 2, 1, rgb_format(DDPF_RGB | DDPF_ALPHAPIXELS, 16, 0xf00, 0xf0, 0xf, 0xf000),
                            lambda w, h: w * h * 2),
        "l8.dds": dds(4, 2, 2, rgb_format(DDPF_LUMINANCE, 8, 0xff, 0, 0, 0), lambda w, h: w * h),
        "a8l8.dds": dds(2, 2, 1, rgb_format(DDPF_LUMINANCE | DDPF_ALPHAPIXELS, 16, 0xff, 0, 0, 0xff00),
                        lambda w, h: w * h * 2),
        "a8.dds": dds(2, 2, 1, rgb_format(0x2, 8, 0, 0, 0, 0xff), lambda w, h: w * h),
        "dxt1_mips.dds": dds(8, 8, 4, fourcc_format(b"DXT1"), blocks(8)),
        "dxt3.dds": dds(4, 8, 1, fourcc_format(b"DXT3"), blocks(16)),
        "dxt5_mips.dds": dds(16, 4, 5, fourcc_format(b"DXT5"), blocks(16)),
        "dxt5_odd.dds": dds(5, 3, 1, fourcc_format(b"DXT5"), blocks(16)),
        "a16b16g16r16.dds": dds(2, 2, 1, struct.pack("<2II5I", 32, DDPF_FOURCC, 36, 0, 0, 0, 0, 0),
                                lambda w, h: w * h * 8),
        "a32b32g32r32f.dds": dds(2, 1, 1, struct.pack("<2II5I", 32, DDPF_FOURCC, 116, 0, 0, 0, 0, 0),
                                 lambda w, h: w * h * 16),
    }
    for name, data in seeds.items():
        open(os.path.join(out, name), "wb").write(data)


def float_seeds(out):
    hdr = b"#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 2 +X 3\n" + bytes([128, 64, 32, 129] * 6)
    open(os.path.join(out, "flat.hdr"), "wb").write(hdr)
    pfm = b"PF\n2 2\n-1.0\n" + struct.pack("<12f", *[i / 12 for i in range(12)])
    open(os.path.join(out, "colour.pfm"), "wb").write(pfm)
    pfm_grey = b"Pf\n3 1\n1.0\n" + struct.pack(">3f", 0.25, 0.5, 1.0)
    open(os.path.join(out, "grey.pfm"), "wb").write(pfm_grey)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    pillow_seeds(out)
    dds_seeds(out)
    float_seeds(out)


if __name__ == "__main__":
    main()
