#!/usr/bin/env python3
"""Generates src/output/dxerr_table.inc: DirectX 9 era result codes and their
macro names, read from the platform headers that MinGW-w64 ships
(Debian package mingw-w64-x86-64-dev or mingw-w64-common).

Usage: scripts/gen-dxerr.py [include-dir] > src/output/dxerr_table.inc

When several names share a value, the first one wins in this order:
definitions with a value of their own before aliases of another name, then
S_OK and S_FALSE, the DirectX families in the order of FAMILIES below, the
other COM codes, the Win32 codes (as HRESULT_FROM_WIN32 gives them), and
last the order within the header.
"""
import re
import sys

# (family, header, names taken from it)
FAMILIES = [
    ("COM", "winerror.h", r"^(S_OK|S_FALSE)$"),  # before every other name for 0 and 1
    ("Direct3D", "d3d9.h", r"^(D3DERR_\w+|D3DOK_\w+|D3D_OK|S_NOT_RESIDENT|S_RESIDENT_IN_SHARED_MEMORY|S_PRESENT_\w+)$"),
    ("D3DX", "d3dx9.h", r"^D3DXERR_\w+$"),
    ("D3DX", "d3dx9xof.h", r"^D3DXFERR_\w+$"),
    ("DirectSound", "dsound.h", r"^(DSERR_\w+|DS_OK|DS_NO_VIRTUALIZATION|DS_INCOMPLETE)$"),
    ("DirectMusic", "dmerror.h", r"^DMUS_[ES]_\w+$"),
    ("DirectPlay", "dplay8.h", r"^(DPNERR_\w+|DPNSUCCESS_\w+|DPN_OK)$"),
    ("DirectPlay", "dplay.h", r"^(DPERR_\w+|DP_OK)$"),
]

CAST = re.compile(r"\(\s*(?:unsigned\s+(?:long|int|__LONG32)|unsigned|long|int|__LONG32|HRESULT|SCODE|DWORD|LONG|ULONG)\s*\)")
INT_SUFFIX = re.compile(r"\b(0[xX][0-9a-fA-F]+|\d+)[uUlL]+\b")
DEFINE = re.compile(r"^\s*#\s*define\s+(\w+)(\(([^)]*)\))?\s*(.*)$")
ENUM_ITEM = re.compile(r"^\s*(\w+)\s*=\s*(.+?)\s*,?\s*$")


def strip_comments(text):
    text = re.sub(r"/\*.*?\*/", " ", text, flags=re.S)
    return re.sub(r"//[^\n]*", "", text)


def logical_lines(path):
    with open(path, encoding="latin-1") as f:
        text = strip_comments(f.read().replace("\\\n", " "))
    return text.splitlines()


class Macros:
    """Object-like and function-like macros, evaluated lazily as integers."""

    def __init__(self):
        self.bodies = {}
        self.functions = {}
        self.cache = {}

    def add(self, name, params, body):
        if params is None:
            self.bodies.setdefault(name, body)
        else:
            self.functions.setdefault(name, ([p.strip() for p in params.split(",") if p.strip()], body))

    def python(self, body):
        body = CAST.sub(" ", body)
        body = INT_SUFFIX.sub(r"\1", body)
        return body.replace("&&", " and ").replace("||", " or ")

    def value(self, name):
        if name not in self.cache:
            self.cache[name] = None  # guards against recursive definitions
            self.cache[name] = self.evaluate(self.bodies[name])
        if self.cache[name] is None:
            raise ValueError(name)
        return self.cache[name]

    def evaluate(self, body):
        return eval(self.python(body), Scope(self)) & 0xFFFFFFFF


class Scope(dict):
    """Names of an expression: macros, evaluated on first use."""

    def __init__(self, macros):
        super().__init__(__builtins__={})
        self.macros = macros

    def __missing__(self, name):
        m = self.macros
        if name == "__MSABI_LONG":  # from _mingw.h: just a long literal
            return lambda x: x
        if name in ("HRESULT_FROM_WIN32", "__HRESULT_FROM_WIN32"):
            return lambda x: x if x <= 0 else ((x & 0xFFFF) | (7 << 16) | 0x80000000)
        if name in m.functions:
            params, body = m.functions[name]
            return eval("lambda %s: %s" % (",".join(params), m.python(body)), self)
        if name in m.bodies:
            return m.value(name)
        raise KeyError(name)


def read_defines(path, macros):
    found = []
    for line in logical_lines(path):
        match = DEFINE.match(line)
        if not match:
            continue
        name, params, body = match.group(1), match.group(3), match.group(4).strip()
        macros.add(name, params, body)
        if params is None and body:
            found.append((name, body))
    return found


def read_enum_items(path, pattern):
    items = []
    for line in logical_lines(path):
        match = ENUM_ITEM.match(line)
        if match and re.match(pattern, match.group(1)):
            items.append((match.group(1), match.group(2)))
    return items


def is_alias(body):
    return re.fullmatch(r"\(?\s*[A-Za-z_]\w*\s*\)?", body) is not None


def main():
    include = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/mingw-w64/include"
    macros = Macros()
    winerror = read_defines(include + "/winerror.h", macros)

    candidates = []  # (family, name, body)
    for family, header, pattern in FAMILIES:
        path = include + "/" + header
        defines = read_defines(path, macros)
        entries = [(n, b) for n, b in defines if re.match(pattern, n)]
        entries += read_enum_items(path, pattern)
        for name, body in entries:
            macros.add(name, None, body)
            candidates.append((family, name, body))

    for name, body in winerror:
        if "_HRESULT_TYPEDEF_" in body or re.fullmatch(r"\(\(HRESULT\)\s*0x[0-9a-fA-F]+L?\)", body) \
                or body.startswith("HRESULT_FROM_WIN32("):
            candidates.append(("COM", name, body))
    for name, body in winerror:
        if not re.search(r"__MSABI_LONG|WSABASEERR", body) or re.search(r"(_FIRST|_LAST)$", name) \
                or name.startswith(("FACILITY_", "SEVERITY_")):
            continue
        code = macros.value(name)
        if 0 < code <= 0xFFFF:
            candidates.append(("Win32", name, "HRESULT_FROM_WIN32(%s)" % name))

    names = {}
    for aliases in (False, True):
        for family, name, body in candidates:
            if is_alias(body) != aliases:
                continue
            try:
                code = macros.evaluate(body)
            except (KeyError, ValueError, SyntaxError, TypeError, NameError) as error:
                sys.stderr.write("skipped %s (%s): %r\n" % (name, body, error))
                continue
            names.setdefault(code, (name, family))

    out = sys.stdout
    out.write("// Generated by scripts/gen-dxerr.py from the MinGW-w64 platform headers; do not edit.\n")
    out.write("// Result code and its macro name, sorted by code as an unsigned value.\n")
    for code in sorted(names):
        name, family = names[code]
        out.write('{0x%08Xu, "%s"},  // %s\n' % (code, name, family))


if __name__ == "__main__":
    main()
