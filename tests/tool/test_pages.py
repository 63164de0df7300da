#!/usr/bin/env python3
"""texatlas's choices around the library: page limits that it fits, the pack
defaults, identical files placed once and groups built in parallel.
Usage: test_pages.py TEXATLAS REFERENCE_HOST SCRATCH_DIR"""
import os
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import (ToolTest, dds_size, entries, fresh, load_json as layout, main, names, pages, read,  # noqa: E402
                     run, snapshot, sprites, write)


class OwnOutputsTest(ToolTest):
    """pack never takes in what it wrote: packing a folder twice is up to date."""

    def test_packing_a_folder_twice_is_stable(self):
        work = fresh("own")
        sprites(work, 3, size=(16, 16))
        expected = ["s000.png", "s001.png", "s002.png"]
        extra = ["--preview", "--json", "out/atlas.json"]
        self.ok("pack", ".", *extra, cwd=work)
        self.assertEqual(names(os.path.join(work, "out", "atlas.txt")), expected)
        self.assertIn("up to date", run("pack", ".", *extra, cwd=work)[1])
        # Into the folder itself, beside the earlier output folder: neither run's files are sources.
        for _ in range(2):
            out, _ = self.ok("pack", ".", "-o", ".", "--save-config", "saved.cfg", cwd=work)
            self.assertEqual(names(os.path.join(work, "atlas.txt")), expected)
        self.assertIn("up to date", out)


class NamesTest(ToolTest):
    """Names relative to each folder given are ImageScan's; here, names that clash."""

    def test_two_sources_of_one_name_are_refused(self):
        work = fresh("names")
        sprites(os.path.join(work, "y"), 2, size=(8, 8))
        y = os.path.join(work, "y")
        self.fails(2, "pack", y, os.path.join(y, "s001.png"), "-o", "clash", cwd=work,
                   says=["two inputs give the name s001.png: %s/s001.png and %s/s001.png" % (y, y)])


class FitTest(ToolTest):
    """100 different 64 x 64 sprites: one 1024 x 512 page, not 2048 wide."""

    @classmethod
    def setUpClass(cls):
        cls.dir = fresh("fit")
        sprites(os.path.join(cls.dir, "sprites"), 100)
        cls.code, cls.out, cls.err = run("pack", "sprites", "-o", "packed", "--json", "packed.json",
                                         "--save-config", "saved.cfg", cwd=cls.dir)

    def test_fewest_pages_then_least_area_and_the_saved_limits_rebuild_the_same_pages(self):
        self.assertEqual(self.code, 0, self.err)
        self.assertEqual(list(pages(os.path.join(self.dir, "packed"))), ["atlas0.dds"])
        self.assertEqual(dds_size(os.path.join(self.dir, "packed", "atlas0.dds")), (1024, 512))
        group = layout(os.path.join(self.dir, "packed.json"))["groups"][0]
        self.assertTrue(group["fitted"])
        self.assertIn("1 page of up to 1024 x 512, page limits %d x %d (fitted" %
                      (group["pageWidthLimit"], group["pageHeightLimit"]), self.out)
        saved = read(os.path.join(self.dir, "saved.cfg"), "r")
        self.assertRegex(saved, r"group atlas width 1024 height \d+ format A8R8G8B8 miplevels 0 border 0")
        self.ok("build", "saved.cfg", "-t", "sprites", "-o", "built", "-i", "built/atlas.txt", "--force", cwd=self.dir)
        self.assertEqual(pages(os.path.join(self.dir, "packed")), pages(os.path.join(self.dir, "built")))
        self.assertEqual(entries(os.path.join(self.dir, "packed", "atlas.txt")),
                         entries(os.path.join(self.dir, "built", "atlas.txt")))

    def test_build_fits_only_when_asked(self):
        write(os.path.join(self.dir, "big.cfg"), "group g width 2048 height 2048 format A8R8G8B8\n" +
              "".join("sprites/s%03d.png\n" % i for i in range(100)))
        self.ok("build", "big.cfg", "-o", "asis", cwd=self.dir)
        width, height = dds_size(os.path.join(self.dir, "asis", "g0.dds"))
        self.assertGreater(width * height, 1024 * 512)
        self.ok("build", "big.cfg", "-o", "fitted", "--fit", cwd=self.dir)
        self.assertEqual(dds_size(os.path.join(self.dir, "fitted", "g0.dds")), (1024, 512))


class PackDefaultsTest(ToolTest):
    def setUp(self):
        self.dir = fresh("defaults")
        sprites(os.path.join(self.dir, "mixed", "rgba"), 3, size=(32, 32))
        sprites(os.path.join(self.dir, "mixed", "rgb"), 3, size=(16, 16), mode="RGB", ext="jpg")

    def pack(self, name, *extra):
        self.ok("pack", "mixed", "-o", name, "--json", name + ".json", *extra, cwd=self.dir)
        return layout(os.path.join(self.dir, name + ".json"))

    def test_one_format_unless_source_is_asked(self):
        self.assertEqual([p["format"] for p in self.pack("one")["pages"]], ["A8R8G8B8"])
        self.assertEqual(sorted(p["format"] for p in self.pack("split", "-f", "source")["pages"]),
                         ["A8R8G8B8", "X8R8G8B8"])

    def test_border_goes_around_every_texture(self):
        # Where a flagged texture's image stands in its cell is the library's; pack sets group and flags.
        self.assertIn((0, 0), [(t["x"], t["y"]) for t in self.pack("none")["textures"]])  # no gap by default
        cells = self.pack("b2", "-b", "2", "--save-config", "b2.cfg")["textures"]
        self.assertNotIn((0, 0), [(t["x"], t["y"]) for t in cells])
        lines = read(os.path.join(self.dir, "b2.cfg"), "r").splitlines()[11:]
        self.assertRegex(lines[0], r"^group atlas .* border 2$")
        self.assertEqual([l for l in lines[1:] if l and not l.endswith(" border")], [])


class DuplicateTest(ToolTest):
    def test_identical_files_share_one_place(self):
        work = fresh("dedup")
        sprites(os.path.join(work, "set"), 5, size=(32, 32))
        for i in range(3):  # s005-s007 copy s001; s008 is a copy with another name of a copy
            shutil.copy(os.path.join(work, "set", "s001.png"), os.path.join(work, "set", "s%03d.png" % (5 + i)))
        out, _ = self.ok("pack", "set", "-o", "out", "--json", "out.json", cwd=work)
        self.assertIn("3 duplicates placed once", out)
        lines = entries(os.path.join(work, "out", "atlas.txt"))
        names = [l.split("\t\t")[0] for l in lines]
        first = names.index("s001.png")
        self.assertEqual(names[first + 1:first + 4], ["s005.png", "s006.png", "s007.png"])
        self.assertEqual({l.split("\t\t")[1] for l in lines[first:first + 4]}, {lines[first].split("\t\t")[1]})
        placed = layout(os.path.join(work, "out.json"))
        copies = [t for t in placed["textures"] if t.get("duplicateOf") == "s001.png"]
        self.assertEqual([t["name"] for t in copies], ["s005.png", "s006.png", "s007.png"])
        self.assertEqual(placed["groups"][0]["duplicates"], 3)
        self.assertIn("fill  62.5%", out)  # 5 distinct 32 x 32 images on 128 x 64: a shared place counts once
        self.ok("pack", "set", "-o", "all", "--json", "all.json", "--no-dedup", cwd=work)
        self.assertEqual(len({(t["x"], t["y"]) for t in layout(os.path.join(work, "all.json"))["textures"]}), 8)


class ParallelTest(ToolTest):
    """Four groups, one of them with a missing file and one too large: -j 4
    writes what -j 1 writes, and says the same on stderr."""

    def test_output_does_not_depend_on_jobs(self):
        work = fresh("parallel")
        for group, count in (("a", 40), ("b", 12), ("c", 25), ("d", 7)):
            sprites(os.path.join(work, "textures", group), count, size=(24 + count, 16 + count))
        sprites(os.path.join(work, "textures", "big"), 1, size=(300, 20))
        config = "".join("group %s width 256 height 256 format %s\n" % (g, f) +
                         "".join("%s/s%03d.png\n" % (g, i) for i in range(n))
                         for g, n, f in (("a", 40, "DXT5"), ("b", 12, "A8R8G8B8"), ("c", 25, "DXT1"),
                                         ("d", 7, "R5G6B5")))
        config += "group e width 256 height 256\nbig/s000.png\nmissing.png\nd/s003.png\n"
        write(os.path.join(work, "atlas.cfg"), config)
        results = {}
        for jobs in ("1", "4"):
            os.makedirs(os.path.join(work, "j" + jobs))
            out, err = self.ok("build", "../atlas.cfg", "-t", "../textures", "-o", "out", "--json", "out/a.json",
                               "-j", jobs, cwd=os.path.join(work, "j" + jobs))
            results[jobs] = (snapshot(os.path.join(work, "j" + jobs, "out")), err)
            progress = [l for l in out.splitlines() if l.startswith("page ")]
            self.assertIn("page 3 of 3: a2.dds", "\n".join(progress))
            self.assertEqual(len(progress), len([f for f in results[jobs][0] if f.endswith(".dds")]))
        self.assertEqual(results["1"], results["4"])
        files = results["1"][0]
        self.assertEqual(len([f for f in files if f.endswith(".dds")]), 7)
        self.assertIn("atlas.txt.manifest", files)
        self.assertLess(results["1"][1].index("missing.png"), results["1"][1].index("big/s000.png"))

    def test_one_group_does_not_depend_on_threads(self):
        """One group, so the layer decodes its sources ahead on the threads
        left over, with identical files, a truncated one (the group is built
        again without it) and one too large: every count writes the same, and
        so does a build with decoding ahead off."""
        work = fresh("parallel-one")
        sources = []
        for size in (40, 56, 72):
            sprites(os.path.join(work, "textures", str(size)), 30, size=(size, size - 8))
            sources += ["%d/s%03d.png" % (size, i) for i in range(30)]
        sprites(os.path.join(work, "textures", "same"), 4, size=(40, 32), same=True)
        sprites(os.path.join(work, "textures", "big"), 1, size=(600, 20))
        whole = read(os.path.join(work, "textures", "40", "s007.png"))
        write(os.path.join(work, "textures", "cut.png"), whole[:len(whole) // 2])
        sources[20:20] = ["same/s%03d.png" % i for i in range(4)] + ["cut.png", "big/s000.png"]
        write(os.path.join(work, "one.cfg"), "group one width 512 height 512 format DXT5\n" +
              "".join(n + "\n" for n in sources))
        results = {}
        for jobs, ahead in (("1", "1"), ("2", "1"), ("3", "1"), ("7", "1"), ("2", "0")):
            out_dir = os.path.join(work, "j%s-%s" % (jobs, ahead))
            _, err = self.ok("build", "one.cfg", "-t", "textures", "-o", out_dir, "-i", out_dir + "/one.txt",
                             "-j", jobs, cwd=work, env={"TEXATLAS_DECODE_AHEAD": ahead})
            self.assertIn("cut.png: left out", err)
            results[jobs, ahead] = (pages(out_dir), entries(out_dir + "/one.txt"), err)
        self.assertGreater(len(results["1", "1"][0]), 1)
        for key, result in results.items():
            self.assertEqual(result, results["1", "1"], key)


if __name__ == "__main__":
    main()
