#!/usr/bin/env python3
"""Writes the desktop icons of Tailpeek into desktop/icons/: a scalable SVG and
PNGs of 16, 32, 48, 64, 128 and 256 pixels, all drawn after the 16 x 16 picture
in tools/make-icon.py (a page with a folded corner and lines of text).

Every picture pixel becomes an N/16-wide square, so each size stays crisp.
With --check nothing is written: the exit status is 1 when the files in
desktop/icons/ differ from what this script would write (the PNGs are compared
by their pixels, not their bytes, so a different zlib does not matter).
"""
import ast
import os
import struct
import sys
import zlib

APP_ID = "io.github.tailpeek.Tailpeek"
SIZES = (16, 32, 48, 64, 128, 256)
COLOURS = {"#": (0x00, 0x00, 0x00, 0xFF), ".": (0xFF, 0xFF, 0xFF, 0xFF), " ": (0, 0, 0, 0)}

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
OUT = os.path.join(ROOT, "desktop", "icons")


def load_picture():
    """PICTURE from make-icon.py, read without running that script (it writes the .ico)."""
    with open(os.path.join(HERE, "make-icon.py"), encoding="utf-8") as f:
        tree = ast.parse(f.read())
    for node in tree.body:
        if isinstance(node, ast.Assign) and any(getattr(t, "id", None) == "PICTURE" for t in node.targets):
            picture = ast.literal_eval(node.value)
            break
    else:
        raise SystemExit("make-icon.py has no PICTURE")
    if len(picture) != 16 or any(len(row) != 16 or set(row) - set(COLOURS) for row in picture):
        raise SystemExit("PICTURE is not 16 rows of 16 of '#', '.' and ' '")
    return picture


def svg_text(picture):
    """One path per colour; each horizontal run of a row is a 1-unit-high rectangle."""
    paths = {}
    for y, row in enumerate(picture):
        x = 0
        while x < 16:
            ch = row[x]
            end = x
            while end < 16 and row[end] == ch:
                end += 1
            if ch != " ":
                paths.setdefault(ch, []).append("M%d %dh%dv1h-%dz" % (x, y, end - x, end - x))
            x = end
    lines = [
        '<?xml version="1.0" encoding="UTF-8"?>',
        '<!-- Tailpeek: a page with a folded corner and lines of text.',
        '     Written by tools/make-desktop-icons.py from the 16 x 16 picture. -->',
        '<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16" viewBox="0 0 16 16"'
        ' shape-rendering="crispEdges">',
    ]
    for ch, name in ((".", "paper"), ("#", "ink")):
        r, g, b, _ = COLOURS[ch]
        lines.append('  <path id="%s" fill="#%02x%02x%02x" d="%s"/>' % (name, r, g, b, "".join(paths[ch])))
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def pixels(picture, size):
    """RGBA rows, top first, of the picture scaled to size x size by whole pixels."""
    scale = size // 16
    rows = []
    for line in picture:
        row = b"".join(bytes(COLOURS[ch]) * scale for ch in line)
        rows.extend([row] * scale)
    return rows


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def png_bytes(rows):
    size = len(rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)   # 8-bit RGBA
    raw = b"".join(b"\0" + row for row in rows)                   # filter 0 on every row
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")


def png_rows(data):
    """The RGBA rows of a PNG as png_bytes writes it; None for anything else."""
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return None
    pos, header, idat = 8, None, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    if header is None or header[2:] != (8, 6, 0, 0, 0) or header[0] != header[1]:
        return None
    raw = zlib.decompress(idat)
    stride = 1 + 4 * header[0]
    rows = [raw[i:i + stride] for i in range(0, len(raw), stride)]
    if any(row[0] != 0 for row in rows):
        return None
    return [row[1:] for row in rows]


def targets():
    yield os.path.join(OUT, APP_ID + ".svg"), None
    for size in SIZES:
        yield os.path.join(OUT, "%s-%d.png" % (APP_ID, size)), size


def main():
    check = "--check" in sys.argv[1:]
    picture = load_picture()
    stale = []
    os.makedirs(OUT, exist_ok=True)
    for path, size in targets():
        if size is None:
            want = svg_text(picture).encode("utf-8")
        else:
            want = png_bytes(pixels(picture, size))
        if check:
            try:
                with open(path, "rb") as f:
                    have = f.read()
            except OSError:
                have = None
            same = have == want if size is None else (have is not None and png_rows(have) == pixels(picture, size))
            if not same:
                stale.append(os.path.relpath(path, ROOT))
        else:
            with open(path, "wb") as f:
                f.write(want)
    if stale:
        print("out of date (run tools/make-desktop-icons.py): " + " ".join(stale), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
