#!/usr/bin/env python3
"""texatlas --extrude: at every level a bordered texture's image stands where
its index rectangle says and the rest of its cell repeats the nearest image
texel; everything else is the library's, byte for byte.
Usage: test_extrude.py TEXATLAS REFERENCE_HOST SCRATCH_DIR"""
import os
import random
import struct
import sys

from PIL import Image

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import ToolTest, entries, fresh, main, page_files, pages, read, run, write  # noqa: E402
BORDER = 2
PAGE = 64
# name: (size, bordered). Odd sizes, one texture too thin for the lower levels,
# one with fewer levels than the page, and textures without the flag between.
TEXTURES = {
    "a.png": ((16, 16), True), "b.png": ((12, 20), True), "c.png": ((7, 5), True), "d.png": ((32, 8), False),
    "e.png": ((4, 4), True), "f.png": ((1, 9), True), "g.png": ((24, 24), False), "h.png": ((30, 30), True),
    "i.png": ((20, 13), True),
}


def make_textures(directory, smooth=False):
    """Random texels with three alpha values; `smooth`: opaque gradients that
    block compression keeps close."""
    os.makedirs(directory)
    rng = random.Random(21)
    for number, (name, ((w, h), _)) in enumerate(TEXTURES.items()):
        image = Image.new("RGBA", (w, h))
        if smooth:
            image.putdata([(40 + 20 * number, 60 + 150 * x // w, 200 - 150 * y // h, 255)
                           for y in range(h) for x in range(w)])
        else:
            image.putdata([tuple(rng.randrange(256) for _ in range(3)) + (rng.choice((0, 128, 255)),)
                           for _ in range(w * h)])
        image.save(os.path.join(directory, name))


def write_config(path, page_format="A8R8G8B8"):
    with open(path, "w") as f:
        f.write("group g width %d height %d format %s miplevels 4 border %d\n" % (PAGE, PAGE, page_format, BORDER))
        for name, (_, bordered) in TEXTURES.items():
            f.write(name + (" border\n" if bordered else "\n"))


class Dds:
    """An uncompressed 32-bit DDS file, every level as rows of 4-byte texels."""

    def __init__(self, path):
        data = read(path)
        self.height, self.width, _, _, count = struct.unpack_from("<5I", data, 12)
        self.levels = []
        offset = 128
        for level in range(max(count, 1)):
            w, h = max(1, self.width >> level), max(1, self.height >> level)
            self.levels.append([[data[offset + (y * w + x) * 4:offset + (y * w + x) * 4 + 4] for x in range(w)]
                                for y in range(h)])
            offset += w * h * 4


def cell_at(cell, level):
    """The cell at `level`, from its halved corner to where the next cell
    starts; None where the library's halving leaves it empty."""
    x, y, w, h = cell
    halved = (x >> level, y >> level, w >> level, h >> level)
    if halved[2] == 0 or halved[3] == 0:
        return None
    return halved[0], halved[1], ((x + w) >> level) - halved[0], ((y + h) >> level) - halved[1]


def image_at(image, cell, level, size):
    """The index rectangle at `level`, each edge rounded (halves up), inside the cell,
    at most the source level's size; as (left, top, right, bottom)."""
    def edge(e):
        return e if level == 0 else (e + (1 << (level - 1))) >> level
    x, y, w, h = image
    cx, cy, cw, ch = cell
    left, top = max(edge(x), cx), max(edge(y), cy)
    # Sources load padded to powers of two.
    right = min(edge(x + w), cx + cw, left + max(1, (1 << (size[0] - 1).bit_length()) >> level))
    bottom = min(edge(y + h), cy + ch, top + max(1, (1 << (size[1] - 1).bit_length()) >> level))
    return left, top, right, bottom


class ExtrudeTest(ToolTest):
    @classmethod
    def setUpClass(cls):
        cls.dir = fresh("extrude")
        make_textures(os.path.join(cls.dir, "src"))
        write_config(os.path.join(cls.dir, "atlas.cfg"))
        cls.results = {}
        # Same relative names from two directories: the index files must be the same bytes.
        for name, extra in (("plain", ()), ("extruded", ("--extrude",))):
            work = os.path.join(cls.dir, name)
            os.makedirs(work)
            cls.results[name] = run("build", "../atlas.cfg", "-t", "../src", "-o", "out", *extra, cwd=work)
        cls.plain = os.path.join(cls.dir, "plain", "out")
        cls.extruded = os.path.join(cls.dir, "extruded", "out")

    def cells(self):
        """(page file, name, image, cell) of every texture on the pages; the
        image is the index rectangle at level 0 in texels."""
        result = []
        for line in entries(os.path.join(self.extruded, "atlas.txt")):
            name, rest = line.split("\t\t")
            page, _, u, v, w, h = rest.split(", ")
            image = tuple(round(float(n) * PAGE) for n in (u, v, w, h))
            margin = BORDER if TEXTURES[name][1] else 0
            cell = (image[0] - margin, image[1] - margin, image[2] + 2 * margin, image[3] + 2 * margin)
            result.append((page, name, image, cell))
        return result

    def test_builds_succeed_without_warnings_and_the_index_is_the_same(self):
        for name, (code, _, err) in self.results.items():
            self.assertEqual(code, 0, name + ": " + err)
            self.assertNotIn("extrude", err)
        self.assertEqual(read(os.path.join(self.plain, "atlas.txt")), read(os.path.join(self.extruded, "atlas.txt")))
        self.assertGreater(len(page_files(self.plain)), 1, "the textures must need several pages")
        self.assertEqual(page_files(self.plain), page_files(self.extruded))

    def test_margins_repeat_the_edge_and_lower_levels_stand_at_the_index_rectangle(self):
        plain = {page: Dds(os.path.join(self.plain, page)) for page in page_files(self.plain)}
        extruded = {page: Dds(os.path.join(self.extruded, page)) for page in page_files(self.extruded)}
        checked_levels = set()
        for page, name, image, cell in self.cells():
            if not TEXTURES[name][1]:
                continue
            source = Image.open(os.path.join(self.dir, "src", name)).convert("RGBA")
            for level in range(len(extruded[page].levels)):
                if not cell_at(cell, level):
                    break
                cx, cy, cw, ch = cell_at(cell, level)
                left, top, right, bottom = image_at(image, (cx, cy, cw, ch), level, TEXTURES[name][0])
                if left >= right or top >= bottom:
                    continue
                ours, library = extruded[page].levels[level], plain[page].levels[level]
                # The library's corner copy of the source level, moved to the rectangle.
                origin = (image[0], image[1]) if level == 0 else (cx, cy)
                for y in range(top, bottom):
                    for x in range(left, right):
                        expected = library[origin[1] + y - top][origin[0] + x - left]
                        self.assertEqual(ours[y][x], expected, "%s level %d at %d, %d" % (name, level, x, y))
                        if level == 0:
                            r, g, b, a = source.getpixel((x - left, y - top))
                            self.assertEqual(ours[y][x], bytes((b, g, r, a)), "%s at %d, %d" % (name, x, y))
                # Every other texel of the cell: the nearest image texel.
                for y in range(cy, cy + ch):
                    for x in range(cx, cx + cw):
                        nearest = ours[min(max(y, top), bottom - 1)][min(max(x, left), right - 1)]
                        self.assertEqual(ours[y][x], nearest, "%s level %d at %d, %d" % (name, level, x, y))
                checked_levels.add(level)
        self.assertTrue({0, 1, 2} <= checked_levels)

    def test_texels_outside_the_cells_are_the_librarys(self):
        for page in page_files(self.plain):
            ours, library = Dds(os.path.join(self.extruded, page)), Dds(os.path.join(self.plain, page))
            cells = [cell for p, _, _, cell in self.cells() if p == page]
            for level, (a, b) in enumerate(zip(ours.levels, library.levels)):
                inside = set()
                for cx, cy, cw, ch in filter(None, (cell_at(c, level) for c in cells)):
                    inside.update((x, y) for y in range(cy, cy + ch) for x in range(cx, cx + cw))
                for y, row in enumerate(a):
                    for x, texel in enumerate(row):
                        if (x, y) not in inside:
                            self.assertEqual(texel, b[y][x], "%s level %d at %d, %d" % (page, level, x, y))

    def test_a_dxt_page_is_extruded_before_compression(self):
        work = fresh("extrude_dxt")
        make_textures(os.path.join(work, "src"), smooth=True)
        for page_format in ("A8R8G8B8", "DXT5"):
            write_config(os.path.join(work, page_format + ".cfg"), page_format)
            for extra in ((), ("--extrude",)):
                out = page_format + ("-extruded" if extra else "")
                self.ok("build", page_format + ".cfg", "-t", "src", "-o", out, "-i", out + ".txt", *extra, cwd=work)

        def margin_error(directory, reference):
            """Mean difference over the colour of opaque margin texels at level 0."""
            total = count = 0
            for page in page_files(os.path.join(work, reference)):
                ours = Image.open(os.path.join(work, directory, page)).convert("RGBA")
                theirs = Image.open(os.path.join(work, reference, page)).convert("RGBA")
                for p, name, image, cell in self.cells():
                    if p != page or not TEXTURES[name][1]:
                        continue
                    for y in range(cell[1], cell[1] + cell[3]):
                        for x in range(cell[0], cell[0] + cell[2]):
                            inside = image[0] <= x < image[0] + image[2] and image[1] <= y < image[1] + image[3]
                            expected = theirs.getpixel((x, y))
                            if inside or expected[3] != 255:
                                continue
                            got = ours.getpixel((x, y))
                            total += sum(abs(got[c] - expected[c]) for c in range(3)) / 3
                            count += 1
            self.assertGreater(count, 100)
            return total / count

        self.assertLess(margin_error("DXT5-extruded", "A8R8G8B8-extruded"), 6)
        self.assertGreater(margin_error("DXT5", "A8R8G8B8-extruded"), 60)  # the empty margins

    def test_pages_of_packed_pair_formats_are_skipped_with_a_warning(self):
        for extra in ((), ("--extrude",)):
            out = "yuv-extruded" if extra else "yuv"
            _, err = self.ok("pack", "src", "-f", "UYVY", "-b", str(BORDER), "-m", "3", "-o", out, *extra, cwd=self.dir)
        self.assertIn("warning: --extrude: page atlas0: not extruded: its texels (UYVY) are not whole bytes", err)
        self.assertEqual(pages(os.path.join(self.dir, "yuv")), pages(os.path.join(self.dir, "yuv-extruded")))

    def test_groups_extruded_at_the_same_time_give_the_same_pages(self):
        text = read(os.path.join(self.dir, "atlas.cfg"), "r")
        write(os.path.join(self.dir, "two.cfg"), text + text.replace("group g ", "group h "))
        self.ok("build", "two.cfg", "-t", "src", "-o", "two", "-i", "two.txt", "-j", "2", "--extrude", cwd=self.dir)
        # Each group's pages, extruded side by side, are those of the group extruded alone.
        for page in page_files(self.extruded):
            for name in (page, page.replace("g", "h", 1)):
                self.assertEqual(read(os.path.join(self.dir, "two", name)), read(os.path.join(self.extruded, page)))


if __name__ == "__main__":
    main()
