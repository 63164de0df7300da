#!/usr/bin/env python3
"""Makes the demo's source textures: small labelled images in the formats
the configuration mixes (PNG with and without alpha, JPEG, BMP, TGA, grey).
Usage: make_textures.py OUTPUT_DIR"""
import io
import os
import sys

from PIL import Image, ImageDraw

# name, size, mode, file format, base colour
TEXTURES = [
    # ui: one format for the whole group
    ("ui/button.png", (96, 32), "RGBA", "PNG", (40, 120, 220)),
    ("ui/button_pressed.png", (96, 32), "RGBA", "PNG", (20, 80, 170)),
    ("ui/icon_heart.png", (32, 32), "RGBA", "PNG", (220, 40, 60)),
    ("ui/icon_star.png", (32, 32), "RGBA", "PNG", (240, 200, 40)),
    ("ui/icon_coin.png", (24, 24), "RGBA", "PNG", (250, 170, 20)),
    ("ui/panel.png", (128, 96), "RGBA", "PNG", (70, 70, 90)),
    ("ui/cursor.png", (16, 16), "RGBA", "PNG", (255, 255, 255)),
    # props: no group format, so the pages follow the textures' formats
    ("props/crate.jpg", (64, 64), "RGB", "JPEG", (150, 100, 50)),
    ("props/barrel.jpg", (48, 64), "RGB", "JPEG", (120, 70, 40)),
    ("props/lamp.png", (32, 64), "RGBA", "PNG", (250, 230, 150)),
    ("props/flag.png", (64, 40), "RGBA", "PNG", (200, 30, 30)),
    ("props/sign.bmp", (64, 32), "RGB", "BMP", (90, 160, 90)),
    ("props/rug.bmp", (96, 48), "RGB", "BMP", (150, 40, 120)),
    ("props/shadow.png", (64, 32), "L", "PNG", (60, 60, 60)),
    # terrain: bordered tiles on DXT1 pages with mip levels
    ("terrain/grass.tga", (64, 64), "RGBA", "TGA", (60, 150, 50)),
    ("terrain/sand.tga", (64, 64), "RGBA", "TGA", (220, 200, 130)),
    ("terrain/rock.tga", (64, 64), "RGBA", "TGA", (120, 120, 120)),
    ("terrain/water.tga", (64, 64), "RGBA", "TGA", (40, 90, 200)),
    ("terrain/path.tga", (32, 64), "RGBA", "TGA", (160, 120, 80)),
    # small: 128 x 128 pages; the banner does not fit and is left out
    ("small/dot.png", (16, 16), "RGBA", "PNG", (255, 120, 0)),
    ("small/gem.png", (32, 32), "RGBA", "PNG", (60, 220, 200)),
    ("small/banner.png", (200, 48), "RGBA", "PNG", (180, 60, 200)),
]


def make(size, mode, colour, label):
    width, height = size
    image = Image.new("RGBA", size)
    pixels = image.load()
    for y in range(height):
        for x in range(width):
            shade = 0.6 + 0.4 * (x + y) / (width + height)
            # Diagonal stripes: unlike a checkerboard, they cannot be taken
            # for the preview's transparency pattern.
            stripe = 1.0 if ((x + y) // 6) % 2 else 0.85
            r, g, b = (min(255, int(c * shade * stripe)) for c in colour)
            pixels[x, y] = (r, g, b, 255)
    draw = ImageDraw.Draw(image)
    draw.rectangle([0, 0, width - 1, height - 1], outline=(255, 255, 255, 255))
    if width >= 24 and height >= 14:
        draw.text((3, 2), label[: max(1, (width - 6) // 6)], fill=(255, 255, 255, 255))
    if mode == "RGBA" and label.startswith("icon"):
        # Round icons: transparent corners show the alpha channel.
        mask = Image.new("L", size, 0)
        ImageDraw.Draw(mask).ellipse([0, 0, width - 1, height - 1], fill=255)
        image.putalpha(mask)
    return image.convert(mode)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    root = sys.argv[1]
    for name, size, mode, file_format, colour in TEXTURES:
        path = os.path.join(root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        label = os.path.splitext(os.path.basename(name))[0]
        data = io.BytesIO()
        make(size, mode, colour, label).save(data, file_format)
        # Unchanged files keep their time, so a second build is skipped.
        if not os.path.exists(path) or open(path, "rb").read() != data.getvalue():
            with open(path, "wb") as f:
                f.write(data.getvalue())
    print("made %d textures in %s" % (len(TEXTURES), root))


if __name__ == "__main__":
    main()
