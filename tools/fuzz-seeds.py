#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz target over LineWindowReader::read into
the folder given as its argument: small inputs in every codec and byte-order
mark, LF and CR LF endings, long lines, characters outside the BMP, and the
three start modes with short and long limits; Shift-JIS and EUC-JP without a
mark under detection; invalid and cut UTF-8 sequences between lone carriage
returns with limits of 1 to 3 characters. The input layout is described at
the top of fuzz/fuzz_linewindowreader.cpp."""

import os
import struct
import sys

TEXT = "ログ 1: 要求を処理しました\nline 2 ok\n\n表能ソ ｱｲｳ err 4\n"
ASTRAL = "😀 𠮷野家 𝄞 a\n"
LONG = "x" * 1200 + "\n" + "あ" * 300 + "\nend"

# (name, codec byte, encode): the codec byte selects "", "SJIS", "UTF-8", "EUC-JP".
ENCODINGS = [
    ("utf8", 2, lambda t: t.encode("utf-8")),
    ("utf8-detect", 0, lambda t: t.encode("utf-8")),
    ("utf8-mark", 0, lambda t: b"\xef\xbb\xbf" + t.encode("utf-8")),
    ("utf16le-mark", 0, lambda t: b"\xff\xfe" + t.encode("utf-16-le")),
    ("utf16be-mark", 0, lambda t: b"\xfe\xff" + t.encode("utf-16-be")),
    ("utf32le-mark", 0, lambda t: b"\xff\xfe\x00\x00" + t.encode("utf-32-le")),
    ("utf32be-mark", 0, lambda t: b"\x00\x00\xfe\xff" + t.encode("utf-32-be")),
    ("sjis", 1, lambda t: t.encode("shift_jis", errors="replace")),
    ("eucjp", 3, lambda t: t.encode("euc_jp", errors="replace")),
    ("sjis-detect", 0, lambda t: t.encode("cp932", errors="replace")),
    ("eucjp-detect", 0, lambda t: t.encode("euc_jp", errors="replace")),
]

# Bytes no decoder reads as they stand. Carriage returns decode to nothing,
# so a sequence cut at the end of one forward round is held by the decoder
# and comes out with the next round's text: it must count like any other
# character against the limit.
INVALID = [
    b"\r\r\r\r\xef\xbbx",
    b"\r" * 8 + b"\xef\xbbx",
    b"ab\xc3\r\xa9\n\xe3\x81\r\rx\xf0\x9f\x98\n\xed\xa0\x80\xc0\xaf\xff\n",
    b"\r\xe3\x81\x82\xe3\x81\n\r\r\xf4\x90\x80\x80 \x80\x80\x80\n\xe3",
    b"\r" * 13 + b"\xf0\x9f\x98" + b"\r" * 5 + b"\x80y\r",
]
SMALL_LIMITS = [
    ("percent-tiny-limit1", 2, 1, 1, 0.01),
    ("header-limit1", 0, 1, 1, 0.0),
    ("header-n3-limit2", 0, 3, 2, 0.0),
    ("newest-limit1", 1, 2, 1, 0.0),
    ("percent-limit3", 2, 2, 3, 50.0),
]

# (name, mode, N, maxLineChars, percent 0..100)
REQUESTS = [
    ("header", 0, 5, 1000, 0.0),
    ("newest", 1, 3, 1000, 0.0),
    ("percent", 2, 3, 1000, 50.0),
    ("newest-limit2", 1, 2, 2, 0.0),
    ("percent-limit3", 2, 4, 3, 61.0),
    ("header-limit1", 0, 6, 1, 0.0),
]


def request_bytes(mode, lines, limit, percent, codec, extract=False, filter_text=b""):
    flags = (1 if extract else 0) | (len(filter_text) << 1)
    return struct.pack("<bhhHBB", mode, lines, limit, round(percent * 65535 / 100), codec, flags) + filter_text


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    count = 0
    for enc_name, codec, encode in ENCODINGS:
        for text_name, text in (("text", TEXT), ("astral", ASTRAL), ("long", LONG)):
            for ending in ("lf", "crlf"):
                body = text if ending == "lf" else text.replace("\n", "\r\n")
                for req_name, mode, lines, limit, percent in REQUESTS:
                    data = request_bytes(mode, lines, limit, percent, codec) + encode(body)
                    name = f"{enc_name}-{text_name}-{ending}-{req_name}"
                    with open(os.path.join(folder, name), "wb") as out:
                        out.write(data)
                    count += 1
    for number, body in enumerate(INVALID):
        for codec in (2, 0):
            for req_name, mode, lines, limit, percent in SMALL_LIMITS:
                name = f"invalid{number}-codec{codec}-{req_name}"
                with open(os.path.join(folder, name), "wb") as out:
                    out.write(request_bytes(mode, lines, limit, percent, codec) + body)
                count += 1
    # The extract filter, and an empty file.
    filtered = request_bytes(0, 5, 1000, 0.0, 2, True, b"err") + TEXT.encode("utf-8")
    with open(os.path.join(folder, "utf8-filter-err"), "wb") as out:
        out.write(filtered)
    with open(os.path.join(folder, "empty-newest"), "wb") as out:
        out.write(request_bytes(1, 3, 1000, 0.0, 0))
    print(f"{count + 2} seeds in {folder}")


if __name__ == "__main__":
    main()
