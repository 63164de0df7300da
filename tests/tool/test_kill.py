#!/usr/bin/env python3
"""A build killed with SIGKILL at random moments (no handler runs), then run
again as it was, ends with what a build never interrupted writes, byte for
byte, and leaves nothing of the killed ones behind.
Usage: test_kill.py TEXATLAS SCRATCH_DIR
TEXATLAS_KILL_SEED picks other moments (the seed is printed on failure)."""
import os
import random
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import SCRATCH, TOOL, main, snapshot, sprites  # noqa: E402

SEED = int(os.environ.get("TEXATLAS_KILL_SEED", "18"))
KILLS = 5


class KillTest(unittest.TestCase):
    def test_builds_killed_at_random_end_as_a_clean_build(self):
        rng = random.Random(SEED)
        work = os.path.join(SCRATCH, "kill")
        shutil.rmtree(work, ignore_errors=True)
        sprites(os.path.join(work, "sprites"), 300, size=lambda _: (rng.randint(6, 40), rng.randint(6, 40)))
        # Pages of 128 x 128 in DXT5: several pages, each compressed and previewed.
        command = [TOOL, "pack", "sprites", "--width", "128", "--height", "128", "-f", "DXT5", "-o", "out",
                   "--json", "out/atlas.json", "--preview", "-q"]
        out = os.path.join(work, "out")
        started = time.monotonic()
        clean = subprocess.run(command, cwd=work, capture_output=True, text=True)
        duration = time.monotonic() - started
        self.assertEqual(clean.returncode, 0, clean.stderr)
        expected = snapshot(out)
        self.assertGreater(len([f for f in expected if f.endswith(".dds")]), 3)
        shutil.rmtree(out)

        killed = 0
        for kill in range(KILLS):
            # Each kill lands in its own share of a build's time, at random within it.
            moment = duration * (kill + rng.random()) / KILLS
            process = subprocess.Popen(command, cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(moment)
            process.kill()
            killed += process.wait() == -9
            # Files only ever appear complete under their final names.
            for name, data in snapshot(out).items() if os.path.isdir(out) else ():
                if not name.startswith(".texatlas-staging-"):
                    self.assertEqual(data, expected.get(name), "seed %d, kill %d at %.3f s: %s" %
                                     (SEED, kill, moment, name))
        self.assertGreater(killed, 0, "seed %d: every build ended before its kill" % SEED)

        again = subprocess.run(command, cwd=work, capture_output=True, text=True)
        self.assertEqual(again.returncode, 0, again.stderr)
        after = snapshot(out)
        self.assertEqual(sorted(after), sorted(expected), "seed %d" % SEED)  # no staging folder or stray file
        for name in expected:
            self.assertEqual(after[name], expected[name], "seed %d: %s" % (SEED, name))


if __name__ == "__main__":
    main()
