#!/usr/bin/env python3
"""texatlas's checks before work, all-or-nothing output and rebuilds, messages and
command-line conventions, run as a user runs the tool.
Usage: test_safety.py TEXATLAS REFERENCE_HOST DEMO_DIR SCRATCH_DIR"""
import os
import shutil
import signal
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import (SCRATCH, TOOL, ToolTest, fresh, load_json, main, page_files, read, run, snapshot,  # noqa: E402
                     write)
from test_tool import CONFIG, TEXTURES, make_demo_textures  # noqa: E402


def copy_textures(work):
    textures = os.path.join(work, "textures")
    shutil.copytree(TEXTURES, textures)
    return textures


def truncate(path, size=200):
    write(path, read(path)[:size])


class CheckBeforeWorkTest(ToolTest):
    def setUp(self):
        self.dir = fresh("checks")

    def build(self, text, *extra):
        write(os.path.join(self.dir, "a.cfg"), text)
        return run("build", "a.cfg", "-t", TEXTURES, "-o", "out", *extra, cwd=self.dir)

    def test_each_mistake_is_named_with_file_and_line_and_nothing_is_built(self):
        mistakes = ("group g format DXT9\n"              # 1
                    "ui/cursor.png\n"                    # 2
                    "group h miplevel 2\n"               # 3
                    "group i width abc\n"                # 4
                    "group j border -3\n"                # 5
                    "group g\n"                          # 6
                    "my file.png\n"                      # 7
                    "ui/panel.png bordr\n"               # 8
                    "group k width 12px\n"               # 9
                    "group\n")                           # 10
        long_line = "group g\nui/cursor.png #%s\nui/panel.png\n"
        os.makedirs(os.path.join(self.dir, "taken.txt"))
        for text, extra, status, messages in (
                (mistakes, (), 2, ["texatlas: error: a.cfg:" + m for m in (
                    "1: unknown format 'DXT9'; known formats: R8G8B8, A8R8G8B8",
                    "3: unknown group setting 'miplevel' (did you mean 'miplevels'?)",
                    "4: width 'abc' is not a whole number",
                    "5: border -3 is negative",
                    "6: a second group 'g' (the first is on line 1)",
                    "7: 'my file.png': names cannot hold blanks",
                    "8: unknown texture flag 'bordr' (did you mean 'border'?)",
                    "9: width '12px': the reader takes the number and then 'px'",
                    "10: group line without a name")]),
                ("\ufeffgroup g\nui/cursor.png\n", (), 2, ["a.cfg:1: the file starts with a UTF-8 byte-order mark"]),
                (long_line % ("x" * 1020), (), 2, ["a.cfg:2: line of 1035 characters; the reader reads at most 1022"]),
                (long_line % ("x" * 1007), (), 0, []),  # exactly at the limit the reader reads on
                # What the library clamps and a repeated texture warn, but build.
                ("group g width 5000 height -2 miplevels 20 format a8r8g8b8 border 0\n"
                 "ui/cursor.png\nui/panel.png border\nui/cursor.png\n", (), 0,
                 ["a.cfg:1: width 5000 is over the largest page: 2048 is used", "a.cfg:1: height -2 is negative",
                  "a.cfg:1: miplevels 20: a page has at most 12 levels",
                  "texatlas: warning: a.cfg:4: ui/cursor.png is already in group g (line 2)",
                  "a.cfg:3: ui/panel.png is marked border, but group g has border 0"]),
                # An index or JSON file that cannot be written is refused before work.
                ("group g\nui/cursor.png\n", ("-i", "taken.txt"), 2, ["cannot write taken.txt: it is a directory"]),
                ("group g\nui/cursor.png\n", ("--json", "taken.txt"), 2, [])):
            shutil.rmtree(os.path.join(self.dir, "out"), ignore_errors=True)
            code, _, err = self.build(text, *extra)
            self.assertEqual(code, status, err)
            for message in messages:
                self.assertIn(message, err)
            if status:
                self.assertEqual(snapshot(os.path.join(self.dir, "out")), {}, extra)
        self.assertIn("DXT5", self.build(mistakes)[2].splitlines()[0])  # the known formats on the first line

    def test_pack_refuses_an_unknown_format_and_a_bad_name(self):
        # Page generation upper-cases the name, and CXV8U8 is no format: named once, not offered.
        for option, value, messages in (("-f", "bc1", ("texatlas: error: -f: unknown format 'bc1'; known formats:",
                                                       "DXT1")),
                                        ("-f", "CxV8U8", ("unknown format 'CxV8U8'",)),
                                        ("-n", "a/b", ("group name 'a/b'",))):
            _, err = self.fails(2, "pack", os.path.join(TEXTURES, "ui"), option, value, cwd=self.dir, says=messages)
            self.assertEqual(err.count(value), 1, err)

    def test_a_build_that_places_nothing_fails(self):
        write(os.path.join(self.dir, "a.cfg"), "group g\nui/cursor.png\nui/panel.png\n")
        self.fails(2, "build", "a.cfg", "-t", "wrong", "-o", "out", cwd=self.dir,
                   says=["texture directory wrong: no such directory"])
        os.makedirs(os.path.join(self.dir, "empty"))
        self.fails(1, "build", "a.cfg", "-t", "empty", "-o", "out", cwd=self.dir,
                   says=["Failed to load texture: ui/cursor.png: no such file",
                         "texatlas: error: no texture was placed; nothing was written"])
        self.assertFalse(os.path.exists(os.path.join(self.dir, "out", "a.txt")))

    def test_check_decodes_every_source_and_names_what_cannot_be_read(self):
        textures = copy_textures(self.dir)
        truncate(os.path.join(textures, "ui", "panel.png"))
        write(os.path.join(textures, "junk.png"), "not an image")
        write(os.path.join(self.dir, "a.cfg"), "group g width 64 height 64\nui/cursor.png\nui/panel.png\n"
                                               "missing.png\nui\njunk.png\nsmall/banner.png\n")
        out, err = self.fails(1, "check", "a.cfg", "-t", textures, cwd=self.dir, says=["a.cfg:" + m for m in (
            "3: ui/panel.png: the image data is truncated or corrupt", "4: missing.png: no such file",
            "5: ui: a directory", "6: junk.png: not an image in a format the image reader knows",
            "7: small/banner.png is 200 x 48 with its border; pages of group g are at most 64 x 64")])
        self.assertNotIn("cursor.png", err)
        self.assertIn("1 group, 6 textures, 0 errors, 4 unreadable sources", out)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "out")))
        # A clean configuration passes; a mistaken one exits 2 like build.
        self.ok("check", CONFIG, "-t", TEXTURES)
        write(os.path.join(self.dir, "b.cfg"), "group g format DXT9\n")
        self.assertEqual(run("check", "b.cfg", cwd=self.dir)[0], 2)


class MessagesTest(ToolTest):
    def test_drops_and_unreadable_textures_come_with_reasons_in_messages_and_json(self):
        work = fresh("messages")
        write(os.path.join(work, "a.cfg"), "group s width 64 height 32 border 3\nsmall/banner.png\n"
                                           "small/gem.png border\nsmall/dot.png\nnothing.png\nsmall\n")
        _, err = self.ok("build", "a.cfg", "-t", TEXTURES, "--json", "a.json", cwd=work)
        self.assertIn("texatlas: warning: a.cfg:2: Texture size larger than maximum atlas size: small/banner.png: "
                      "200 x 48 with its border; pages of group s are at most 64 x 32", err)
        # 32 x 32 plus a border of 3 on each side.
        self.assertIn("small/gem.png: 38 x 38 with its border; pages of group s are at most 64 x 32", err)
        self.assertIn("texatlas: warning: a.cfg:5: Failed to load texture: nothing.png: no such file", err)
        self.assertIn("Failed to load texture: small: a directory", err)
        # The preview's lists of these are the browser test's and PackInfoPreviewTest's.
        layout = load_json(os.path.join(work, "a.json"))
        self.assertEqual([t["name"] for t in layout["dropped"]], ["small/banner.png", "small/gem.png"])
        self.assertEqual({t["name"]: t["reason"] for t in layout["unreadable"]},
                         {"nothing.png": "no such file", "small": "a directory, not an image file"})
        self.assertEqual(run("build", "a.cfg", "-t", TEXTURES, "--strict", "--force", cwd=work)[0], 1)


class StagingTest(ToolTest):
    def setUp(self):
        self.dir = fresh("staging")
        self.textures = copy_textures(self.dir)

    def build(self, config=CONFIG, *extra):
        return run("build", config, "-t", self.textures, "-o", "out", "--json", "out/atlas.json", "--preview",
                   *extra, cwd=self.dir)

    def test_a_failure_halfway_leaves_the_previous_output_byte_identical(self):
        self.assertEqual(self.build()[0], 0)
        out = os.path.join(self.dir, "out")
        before = snapshot(out)
        # The last group's source: the pages of the groups before it are composed first.
        # Under --strict a source that cannot be used fails the build.
        truncate(os.path.join(self.textures, "small", "gem.png"))
        code, stdout, err = self.build(CONFIG, "--strict")
        self.assertEqual(code, 1)
        self.assertIn("page 1 of", stdout)  # earlier pages had been written when it failed
        self.assertIn("Could not load texture: %s/small/gem.png: the image data is truncated" % self.textures, err)
        self.assertIn("texatlas: error: build failed; the previous output is untouched", err)
        self.assertEqual(snapshot(out), before)
        # Nothing failed partway before the first build either: no output at all.
        self.fails(1, "build", CONFIG, "-t", self.textures, "-o", "other", "--strict", cwd=self.dir,
                   says=["nothing was written"])
        self.assertEqual(os.listdir(os.path.join(self.dir, "other")), [])

    def test_a_full_disk_names_the_final_file_and_the_reason(self):
        full = os.path.join(self.dir, "full")
        os.makedirs(full)
        # A file system of its own to fill: root only, so skipped elsewhere.
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=96k", "tmpfs", full],
                          stderr=subprocess.DEVNULL).returncode:
            self.skipTest("cannot mount a small tmpfs here")
        try:
            code, _, err = run("build", CONFIG, "-t", self.textures, "-o", full, cwd=self.dir)
            self.assertEqual(code, 1, err)
            self.assertRegex(err, r"texatlas: error: cannot write %s/\w+\.(dds|txt): No space left on device; "
                                  r"nothing was written" % full)
            self.assertEqual(os.listdir(full), [])
        finally:
            subprocess.run(["umount", full])

    def test_pages_and_previews_a_rebuild_no_longer_makes_are_removed(self):
        config = os.path.join(self.dir, "a.cfg")
        # 32 x 32 pages: the two icons of 32 x 32 fill one each, the 24 x 24 coin leaves no room for the cursor.
        write(config, "group g width 32 height 32 format A8R8G8B8\n" + "".join(
            "ui/%s.png\n" % n for n in ("icon_heart", "icon_star", "icon_coin", "cursor")))
        self.assertEqual(self.build(config)[0], 0)
        out = os.path.join(self.dir, "out")
        self.assertEqual(page_files(out), ["g0.dds", "g1.dds", "g2.dds", "g3.dds"])
        write(config, "group g format A8R8G8B8\nui/cursor.png\n")
        self.assertEqual(self.build(config)[0], 0)
        self.assertEqual(page_files(out), ["g0.dds"])
        self.assertEqual(sorted(os.listdir(os.path.join(out, "preview"))), ["g0.png", "index.html"])
        # A build without previews takes the old ones away as well.
        self.ok("build", config, "-t", self.textures, "-o", "out", cwd=self.dir)
        self.assertFalse(os.path.exists(os.path.join(out, "preview")))
        self.assertFalse(os.path.exists(os.path.join(out, "atlas.json")))

    def test_an_interrupted_build_leaves_the_previous_output(self):
        self.assertEqual(self.build()[0], 0)
        out = os.path.join(self.dir, "out")
        before = snapshot(out)
        # A large DXT5 page takes long enough to be interrupted while composing.
        big = os.path.join(self.dir, "big.cfg")
        write(big, "group big format DXT5\n" + "".join("big/%d.png\n" % i for i in range(4)))
        from PIL import Image
        os.makedirs(os.path.join(self.textures, "big"))
        for i in range(4):
            Image.effect_noise((1024, 1024), 60 + i).convert("RGBA").save(
                os.path.join(self.textures, "big", "%d.png" % i))
        process = subprocess.Popen([TOOL, "build", big, "-t", self.textures, "-o", "out", "-i", "out/atlas.txt",
                                    "--json", "out/atlas.json", "--preview"], cwd=self.dir,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        staging = None
        while process.poll() is None and staging is None:
            staging = next((n for n in os.listdir(out) if n.startswith(".texatlas-staging-")), None)
        process.send_signal(signal.SIGINT)
        _, err = process.communicate(timeout=60)
        self.assertIsNotNone(staging)
        self.assertNotEqual(process.returncode, 0)
        self.assertIn("interrupted; the previous output is untouched", err)
        self.assertEqual({k: v for k, v in snapshot(out).items() if not k.startswith(".texatlas-staging-")}, before)
        # The next run clears what the interrupted one left, also when it has nothing to build.
        code, stdout, _ = self.build()
        self.assertEqual(code, 0)
        self.assertIn("up to date", stdout)
        self.assertFalse([n for n in os.listdir(out) if n.startswith(".texatlas")])

    def test_sources_that_do_not_decode_are_left_out_each_named_and_the_rest_built(self):
        truncate(os.path.join(self.textures, "small", "gem.png"))
        truncate(os.path.join(self.textures, "ui", "panel.png"))
        code, stdout, err = self.build()
        self.assertEqual(code, 0, err)
        # Each named with the configuration line that names it.
        for line, name in ((39, "small/gem.png"), (8, "ui/panel.png")):
            self.assertIn("texatlas: warning: %s:%d: %s: left out: the image data is truncated or corrupt"
                          % (CONFIG, line, name), err)
        self.assertNotIn("error", err)
        self.assertIn("2 unreadable", stdout)
        names = [t["name"] for t in load_json(os.path.join(self.dir, "out", "atlas.json"))["textures"]]
        self.assertNotIn("ui/panel.png", names)
        self.assertIn("ui/icon_heart.png", names)
        # Up to date, it still says what it leaves out.
        code, stdout, err = self.build()
        self.assertIn("up to date", stdout)
        self.assertIn("texatlas: warning: ui/panel.png: left out by the last build: the image data is truncated", err)

    def test_unchanged_input_is_skipped_and_a_change_a_lost_output_a_new_option_or_force_rebuild(self):
        self.assertEqual(self.build()[0], 0)
        out = os.path.join(self.dir, "out")
        first = {f: read(os.path.join(out, f)) for f in page_files(out) + ["atlas.txt"]}
        times = {f: os.stat(os.path.join(out, f)).st_mtime_ns for f in first}
        code, stdout, _ = self.build()
        self.assertEqual(code, 0)
        self.assertIn("up to date", stdout)
        self.assertEqual(times, {f: os.stat(os.path.join(out, f)).st_mtime_ns for f in first})
        self.assertNotIn("up to date", self.build(CONFIG, "--force")[1])
        self.assertEqual(first, {f: read(os.path.join(out, f)) for f in first})
        os.utime(os.path.join(self.textures, "ui", "cursor.png"), ns=(0, 10**9))
        self.assertNotIn("up to date", self.build()[1])
        for output in ("ui0.dds", "preview/terrain0.png", "atlas.json"):
            os.remove(os.path.join(out, output))
            self.assertNotIn("up to date", self.build()[1], output)
            self.assertTrue(os.path.exists(os.path.join(out, output)), output)
        # A changed option rebuilds once; --extrude is one of them.
        for options in (("--sort", "longest"), ("--sort", "longest", "--extrude")):
            self.assertNotIn("up to date", self.build(CONFIG, *options)[1], options)
            self.assertIn("up to date", self.build(CONFIG, *options)[1], options)

    def test_a_dry_run_creates_nothing(self):
        stdout, _ = self.ok("build", CONFIG, "-t", self.textures, "-o", "dry/out", "--dry-run", cwd=self.dir)
        self.assertIn("dry run: no page or index file written", stdout)
        self.assertFalse(os.path.exists(os.path.join(self.dir, "dry")))


class ConventionsTest(ToolTest):
    def test_usage_help_and_version(self):
        for args, patterns in ((["help"], [r"\n  %s " % c for c in ("build", "pack", "check", "preview", "info")]),
                               (["help", "build"], ["-o,--output DIR", "-i,--index FILE", "--extrude"]),
                               (["pack", "--help"], ["--width N", "-f,--format FORMAT", "DXT5", "--extrude"]),
                               (["--version"], [r"^texatlas \d+\.\d+"]), (["-V"], [r"^texatlas \d+\.\d+"])):
            code, out, _ = run(*args)
            self.assertEqual(code, 0, args)
            for pattern in patterns:
                self.assertRegex(out, pattern, args)

    def test_bad_usage_exits_with_2(self):
        work, empty = fresh("errors"), fresh("empty")
        for args, message in ((["build"], ""), (["build", "x.cfg", "--no-such-option"], ""),
                              (["build", "x.cfg", "--sort", "size"], ""), (["unknown-command"], ""),
                              (["help", "nope"], ""), ([], "Usage: texatlas"),
                              (["build", "missing.cfg"], "cannot read configuration file missing.cfg"),
                              (["pack", empty], "no image files")):
            code, _, err = run(*args, cwd=work)
            self.assertEqual(code, 2, args)
            self.assertTrue(err.startswith("texatlas: error: ") or not args, (args, err))
            self.assertIn(message, err, args)

    def test_unwritable_output(self):
        work = fresh("unwritable")
        shutil.copy(os.path.join(TEXTURES, "small", "gem.png"), work)
        write(os.path.join(work, "a.cfg"), "group g\ngem.png\n")
        write(os.path.join(work, "blocker"), "a file, not a directory")
        self.fails(2, "build", "a.cfg", "-o", "blocker/out", cwd=work, says=["cannot create directory blocker/out"])
        # A page that cannot replace what is in its place.
        os.makedirs(os.path.join(work, "out", "g0.dds"))
        self.fails(1, "build", "a.cfg", cwd=work, says=["cannot replace out/g0.dds: it is a directory"])
        self.assertFalse(os.path.exists(os.path.join(work, "out", "a.txt")))

    def test_the_last_of_a_repeated_option_wins(self):
        work = fresh("repeated")
        self.ok("build", CONFIG, "-t", TEXTURES, "-o", "first", "-o", "second", "-q", "--quiet", cwd=work)
        self.assertFalse(os.path.exists(os.path.join(work, "first")))
        self.assertTrue(page_files(os.path.join(work, "second")))


if __name__ == "__main__":
    os.makedirs(SCRATCH, exist_ok=True)
    make_demo_textures()
    main()
