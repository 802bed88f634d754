#!/usr/bin/env python3
"""Writes the reference table of every two-byte Shift-JIS and EUC-JP code,
decoded by Python's cp932 and euc_jp codecs, for the decoding test.

Usage: make-decode-table.py OUTPUT

One line per code: the codec name the program uses ("SJIS" or "EUC-JP"), the
two bytes in hex, and the code point they decode to in hex, or "-" where the
code is not defined. Two-byte codes are Shift-JIS lead bytes 81-9F and E0-FC
with trail bytes 40-7E and 80-FC, and EUC-JP bytes A1-FE twice plus 8E with
A1-DF (half-width katakana).

Shift-JIS is CP932, with the NEC and IBM extensions. EUC-JP decodes as Qt's
(ICU's) EUC-JP does: a code means what CP932 gives the same JIS X 0208
position, so it has the NEC and IBM extensions too, and six characters take
their Microsoft forms. Everywhere else it must be what euc_jp says, which this
script checks as it writes.
"""
import sys

# JIS positions where CP932 and euc_jp differ though both define them:
# wave dash, double vertical line, minus, cent, pound, not.
MICROSOFT_FORMS = {0xA1C1, 0xA1C2, 0xA1DD, 0xA1F1, 0xA1F2, 0xA2CC}


def decoded(pair, codec):
    try:
        text = pair.decode(codec)
    except UnicodeDecodeError:
        return None
    return ord(text) if len(text) == 1 else None


def shift_jis_of(euc):
    """The CP932 bytes of the JIS position that an EUC-JP code stands for."""
    if euc[0] == 0x8E:
        return euc[1:]
    row, cell = euc[0] - 0x80, euc[1] - 0x80
    lead = (row + 1) // 2 + (0x70 if row <= 0x5E else 0xB0)
    if row % 2:
        trail = cell + 0x1F
        trail += 1 if trail >= 0x7F else 0
    else:
        trail = cell + 0x7E
    return bytes((lead, trail))


def euc_jp(pair):
    value = decoded(shift_jis_of(pair), "cp932")
    standard = decoded(pair, "euc_jp")
    code = pair[0] << 8 | pair[1]
    if standard is not None and standard != value and code not in MICROSOFT_FORMS:
        sys.exit("EUC-JP %s: cp932 gives %r, euc_jp %r" % (pair.hex(), value, standard))
    return value


def line(name, pair, value):
    return "%s %s %s\n" % (name, pair.hex().upper(), "-" if value is None else "%04X" % value)


def main():
    sjis_leads = list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD))
    sjis_trails = list(range(0x40, 0x7F)) + list(range(0x80, 0xFD))
    euc_bytes = range(0xA1, 0xFF)
    euc_pairs = [bytes((a, b)) for a in euc_bytes for b in euc_bytes]
    euc_pairs += [bytes((0x8E, b)) for b in range(0xA1, 0xE0)]
    with open(sys.argv[1], "w", encoding="ascii", newline="\n") as out:
        for lead in sjis_leads:
            for trail in sjis_trails:
                pair = bytes((lead, trail))
                out.write(line("SJIS", pair, decoded(pair, "cp932")))
        for pair in euc_pairs:
            out.write(line("EUC-JP", pair, euc_jp(pair)))


if __name__ == "__main__":
    main()
