#!/usr/bin/env python3
"""Runs texatlas as a user would and compares what it writes with what the
library writes when driven directly.
Usage: test_tool.py TEXATLAS REFERENCE_HOST DEMO_DIR SCRATCH_DIR"""
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import (ARGS, SCRATCH, ToolTest, dds_size, entries, fresh, load_json, main, page_files,  # noqa: E402
                     pages, read, reference_build, run, write)

DEMO = ARGS[2]
TEXTURES = os.path.join(SCRATCH, "textures")
CONFIG = os.path.join(DEMO, "atlas.cfg")


def make_demo_textures():
    # Run by the system interpreter, which carries the image library.
    subprocess.run([sys.executable, os.path.join(DEMO, "make_textures.py"), TEXTURES], check=True, capture_output=True)


class BuildTest(ToolTest):
    """The demo configuration, built by the tool and by the library alone."""

    @classmethod
    def setUpClass(cls):
        cls.tool_dir = fresh("tool_build")
        cls.code, cls.out, cls.err = run("build", CONFIG, "-t", TEXTURES, "-o", "out", "-i", "atlas.txt",
                                         "--json", "atlas.json", "--preview", cwd=cls.tool_dir)
        cls.reference_dir = fresh("reference_build")
        cls.reference_code = reference_build(CONFIG, TEXTURES, "out", "atlas.txt", cls.reference_dir)

    def test_index_and_pages_match_the_library(self):
        self.assertEqual(self.code, 0, self.err)
        self.assertEqual(self.reference_code, 0)
        self.assertEqual(read(os.path.join(self.tool_dir, "atlas.txt")),
                         read(os.path.join(self.reference_dir, "atlas.txt")))
        built = pages(os.path.join(self.tool_dir, "out"))
        self.assertTrue(built)
        self.assertEqual(built, pages(os.path.join(self.reference_dir, "out")))
        self.assertIn("on %d pages, dropped 1" % len(built), self.out)

    def test_json_agrees_with_index_and_pages(self):
        layout = load_json(os.path.join(self.tool_dir, "atlas.json"))
        lines = entries(os.path.join(self.tool_dir, "atlas.txt"))
        self.assertEqual([t["name"] for t in layout["textures"]], [e.split("\t\t")[0] for e in lines])
        for page in layout["pages"]:
            self.assertEqual((page["width"], page["height"]),
                             dds_size(os.path.join(self.tool_dir, "out", page["file"])))
        for texture, entry in zip(layout["textures"], lines):
            page = layout["pages"][texture["page"]]
            u, v, w, h = (float(x) for x in entry.split(", ")[-4:])
            for key, fraction, side in (("x", u, "width"), ("width", w, "width"), ("y", v, "height"),
                                        ("height", h, "height")):
                self.assertAlmostEqual(texture[key], fraction * page[side], delta=0.01)
        # Bordered tiles are reported without their margin.
        grass = next(t for t in layout["textures"] if t["name"] == "terrain/grass.tga")
        self.assertEqual((grass["width"], grass["height"]), (64, 64))

    def test_preview_shows_every_page_and_cell(self):
        from PIL import Image
        layout = load_json(os.path.join(self.tool_dir, "atlas.json"))
        html = read(os.path.join(self.tool_dir, "out", "preview", "index.html"), "r")
        for page_number, page in enumerate(layout["pages"]):
            image = Image.open(os.path.join(self.tool_dir, "out", "preview", page["name"] + ".png"))
            self.assertEqual(image.size, (page["width"], page["height"]))  # 1:1; the browser magnifies
            for texture in (t for t in layout["textures"] if t["page"] == page_number):
                self.assertIn('data-cell="%d, %d, %d x %d"' % (texture["x"], texture["y"], texture["width"],
                                                               texture["height"]), html)
                self.assertIn(texture["name"], html)


class PackInfoPreviewTest(ToolTest):
    def test_pack_saves_a_configuration_that_builds_the_same_atlas(self):
        work = fresh("pack")
        props = os.path.join(TEXTURES, "props")
        _, err = self.ok("pack", props, "-n", "props", "--width", "128", "--height", "5000", "--border", "3",
                         "--no-fit", "-f", "source", "-m", "full", "--save-config", "props.cfg", "-o", "packed",
                         "-i", "packed.txt", cwd=work)
        self.assertIn("texatlas: warning: --height 5000 is over the largest page: 2048 is used", err)
        saved = read(os.path.join(work, "props.cfg"), "r")
        # A whole chain for the largest page the limits allow.
        self.assertIn("group props width 128 height 5000 miplevels 12 border 3", saved)
        self.assertIn("crate.jpg border", saved)
        self.ok("build", "props.cfg", "-t", props, "-o", "built", "-i", "built.txt", cwd=work)
        packed = read(os.path.join(work, "packed.txt"), "r").splitlines()
        self.assertEqual(len(packed), 14 + 7)
        self.assertEqual(packed[1:], read(os.path.join(work, "built.txt"), "r").splitlines()[1:])
        self.assertEqual(page_files(os.path.join(work, "packed")), page_files(os.path.join(work, "built")))

    def test_pack_leaves_out_what_a_configuration_cannot_name_and_what_it_cannot_read(self):
        work = fresh("unnameable")
        sources = os.path.join(work, "in")
        os.makedirs(sources)
        # The longest name a line holds with " border" after it, and one more.
        longest = "/".join(["d" * 251] * 4) + "/xxx.png"
        too_long = longest[:-4] + "x.png"
        self.assertEqual((len(longest), len(too_long)), (1015, 1016))
        for name in ("ok.png", "a b.png", "#c.png", longest, too_long, "../group"):
            os.makedirs(os.path.dirname(os.path.join(sources, name)), exist_ok=True)
            shutil.copy(os.path.join(TEXTURES, "ui", "panel.png"), os.path.join(sources, name))
        write(os.path.join(sources, "anim.gif"), "GIF89a")
        # A file given is named by its file name, so this one is "group".
        out, err = self.ok("pack", "in", "group", "--save-config", "saved.cfg", "-o", "packed", cwd=work)
        for message in ("in/a b.png: left out: a blank in its name", "in/#c.png: left out: a leading '#'",
                        "in/%s: left out: a name longer than a configuration line" % too_long,
                        "group: left out: the name 'group'", "in/anim.gif: left out: GIF files are not read"):
            self.assertIn(message, err)
        self.assertIn("placed 2 textures on 1 page", out)
        # What is saved must read back: the left-out names would not.
        self.assertEqual(run("check", "saved.cfg", "-t", "in", cwd=work)[0], 0)

    def test_info(self):
        work = fresh("info")
        write(os.path.join(work, "junk.png"), "this is not an image")
        out, _ = self.fails(2, "info", os.path.join(TEXTURES, "props", "crate.jpg"),
                            os.path.join(TEXTURES, "ui", "panel.png"), "junk.png", "absent.png", cwd=work,
                            says=["junk.png: cannot read: not an image", "absent.png: cannot read: no such file"])
        for message in ("crate.jpg: 64 x 64, X8R8G8B8, 1 mip level", "panel.png: 128 x 96, A8R8G8B8, 1 mip level"):
            self.assertIn(message, out)
        # A header that reads over pixels that do not is no image either.
        data = bytearray(read(os.path.join(TEXTURES, "ui", "panel.png")))
        data[60:] = bytes(len(data) - 60)
        write(os.path.join(work, "corrupt.png"), bytes(data))
        out, _ = self.fails(1, "info", "corrupt.png", cwd=work,
                            says=["corrupt.png: cannot read: the image data is truncated or corrupt"])
        self.assertEqual(out, "")

    def test_preview_command_on_an_existing_build(self):
        work = fresh("preview")
        self.ok("build", CONFIG, "-t", TEXTURES, "-o", "out", "-q", cwd=work)
        self.ok("preview", "out/atlas.txt", "-o", "pictures", cwd=work)
        pictures = sorted(os.listdir(os.path.join(work, "pictures")))
        self.assertEqual(pictures, sorted([p[:-4] + ".png" for p in page_files(os.path.join(work, "out"))]
                                          + ["index.html"]))
        # Read back from the index, the cells are the build's; the left-out lists are what it recorded.
        html = read(os.path.join(work, "pictures", "index.html"), "r")
        self.assertIn("<li><b>small/banner.png</b>: 200 x 48 with its border", html)
        self.ok("build", CONFIG, "-t", TEXTURES, "-o", "out", "-q", "--preview", cwd=work)
        self.assertEqual(html, read(os.path.join(work, "out", "preview", "index.html"), "r"))
        self.assertEqual(run("preview", "no/such/index.txt", cwd=work)[0], 2)


if __name__ == "__main__":
    os.makedirs(SCRATCH, exist_ok=True)
    make_demo_textures()
    main()
