"""What the tool's Python tests share: texatlas run as a user runs it and
what it wrote read back. Each script takes TEXATLAS first and its scratch
folder last."""
import json
import os
import shutil
import struct
import subprocess
import sys
import unittest

ARGS = [os.path.abspath(a) for a in sys.argv[1:]]
TOOL, SCRATCH = ARGS[0], ARGS[-1]


def run(*args, cwd=SCRATCH, env=None):
    result = subprocess.run([TOOL, *args], cwd=cwd, capture_output=True, text=True, timeout=120,
                            env=env and dict(os.environ, **env))
    return result.returncode, result.stdout, result.stderr


def read(path, mode="rb"):
    with open(path, mode) as f:
        return f.read()


def write(path, data):
    """Text or bytes, into a folder made as needed."""
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb" if isinstance(data, bytes) else "w") as f:
        f.write(data)


def load_json(path):
    return json.loads(read(path, "r"))


def fresh(name):
    path = os.path.join(SCRATCH, name)
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)
    return path


def reference_build(config, textures, out, index, cwd):
    """The library's own build by reference_host, which makes no directories."""
    os.makedirs(os.path.join(cwd, out))
    return subprocess.run([ARGS[1], config, textures, out, index, "0"], cwd=cwd, capture_output=True).returncode


def dds_size(path):
    height, width = struct.unpack_from("<II", read(path), 12)
    return width, height


def page_files(directory):
    return sorted(f for f in os.listdir(directory) if f.endswith(".dds"))


def pages(directory):
    return {f: read(os.path.join(directory, f)) for f in page_files(directory)}


def snapshot(directory):
    """Every file under `directory` with its bytes."""
    files = {}
    for root, _, names in os.walk(directory):
        for name in names:
            path = os.path.join(root, name)
            files[os.path.relpath(path, directory)] = read(path)
    return files


def entries(index):
    """The index file's texture lines, after its header."""
    return read(index, "r").splitlines()[14:]


def names(index):
    return sorted(line.split("\t\t")[0] for line in entries(index))


def sprites(directory, count, size=(64, 64), same=False, mode="RGBA", ext="png"):
    """`count` images s000.png on, each of its own colour unless `same`;
    `size` may be a function of the image's number."""
    from PIL import Image
    os.makedirs(directory, exist_ok=True)
    for i in range(count):
        colour = (200, 30, 30) if same else (i % 256, (7 * i) % 256, 255 - i % 256)
        Image.new(mode, size(i) if callable(size) else size, colour + ((255,) if mode == "RGBA" else ())).save(
            os.path.join(directory, "s%03d.%s" % (i, ext)))


class ToolTest(unittest.TestCase):
    def ok(self, *args, cwd=SCRATCH, env=None):
        """Runs the tool, which must succeed; its output and messages."""
        code, out, err = run(*args, cwd=cwd, env=env)
        self.assertEqual(code, 0, err)
        return out, err

    def fails(self, status, *args, cwd=SCRATCH, says=()):
        """Runs the tool, which must exit with `status` and say each of `says`."""
        code, out, err = run(*args, cwd=cwd)
        self.assertEqual(code, status, err)
        for message in says:
            self.assertIn(message, err)
        return out, err


def main():
    os.makedirs(SCRATCH, exist_ok=True)
    unittest.main(argv=sys.argv[:1], verbosity=2)
