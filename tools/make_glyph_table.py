#!/usr/bin/env python3
"""Builds the 256-glyph, 6x13 table that the page shader draws every character with.

Source: the public-domain "fixed" 6x13 bitmap font (Debian package xfonts-base),
turned into BDF text by pcf2bdf. Codes 32 to 126 are ASCII, 128 to 255 follow
KOI8-R through its Unicode mapping, and the control codes get visible symbols.
Glyphs the font lacks are drawn here by hand. The other sets' upper halves
follow: Latin-1 (its control codes 128 to 159 as a dotted square), code page
437, and ASCII (every byte a dot). Beside the glyphs, the character each
upper byte shows as in each set, for text copied from the page: its Unicode
code point, or 0 where the set draws a control symbol or a dot.

    tools/make_glyph_table.py > src/render/glyph_table.cpp
"""
import codecs
import gzip
import subprocess
import sys
import tempfile

FONT = "/usr/share/fonts/X11/misc/6x13.pcf.gz"
CELL_W, CELL_H, ASCENT = 6, 13, 11

# Control codes 10 to 31 and their Unicode stand-ins; 0 to 9, 13 and 15 are drawn below.
CONTROL_SYMBOLS = {
    10: 0x21B5,  # return arrow
    11: 0x2013, 12: 0x2013, 14: 0x2013, 16: 0x2013,  # short dashes
    17: 0x00A1, 18: 0x00A2, 19: 0x00A3, 20: 0x00A4, 21: 0x00A7,
    22: 0x2191, 23: 0x2193, 24: 0x2190, 25: 0x2192,
    26: 0x2264, 27: 0x2265, 28: 0x03C0, 29: 0x2260, 30: 0x00B1, 31: 0x00BF,
}

# Hand-drawn glyphs, '#' is ink; rows start at the top of the 6x13 cell.
SMALL_DIGITS = [
    ["###", "#.#", "#.#", "#.#", "###"],
    [".#.", "##.", ".#.", ".#.", "###"],
    ["##.", "..#", ".#.", "#..", "###"],
    ["##.", "..#", ".#.", "..#", "##."],
    ["#.#", "#.#", "###", "..#", "..#"],
    ["###", "#..", "##.", "..#", "##."],
    [".##", "#..", "###", "#.#", "###"],
    ["###", "..#", ".#.", ".#.", ".#."],
    ["###", "#.#", "###", "#.#", "###"],
    ["###", "#.#", "###", "..#", "##."],
]
CARRIAGE_RETURN = [
    "......", ".##...", "#.....", "#.....", ".##...", "......",
    "......", "###...", "#..#..", "###...", "#.#...", "#..#..", "......",
]
DOTTED_SQUARE = [
    "......", "......", "......", "#.#.#.", "......", "#...#.", "......",
    "#...#.", "......", "#.#.#.", "......", "......", "......",
]
INVERSE_QUESTION = [
    "......", ".####.", "##..##", "#.##.#", "####.#", "###.##", "##.###",
    "##.###", "######", "##.###", ".####.", "......", "......",
]


def read_bdf(path):
    with tempfile.NamedTemporaryFile(suffix=".bdf") as bdf:
        subprocess.run(["pcf2bdf", "-o", bdf.name, path], check=True)
        lines = open(bdf.name, encoding="latin-1").read().splitlines()
    glyphs, i = {}, 0
    while i < len(lines):
        if lines[i].startswith("ENCODING "):
            code = int(lines[i].split()[1])
            while not lines[i].startswith("BBX "):
                i += 1
            w, h, xoff, yoff = map(int, lines[i].split()[1:])
            while lines[i] != "BITMAP":
                i += 1
            rows = [int(lines[i + 1 + r], 16) for r in range(h)]
            glyphs[code] = place_in_cell(rows, w, h, xoff, yoff)
        i += 1
    return glyphs


def place_in_cell(rows, w, h, xoff, yoff):
    cell = [0] * 16
    top = ASCENT - (yoff + h)
    assert w <= 8, "a 6x13 glyph has one byte per row"
    for r, bits in enumerate(rows):
        y = top + r
        if 0 <= y < CELL_H:
            cell[y] = (bits >> xoff) & 0xFC
    return cell


def from_picture(picture, first_row=0, first_col=0):
    cell = [0] * 16
    for r, line in enumerate(picture):
        for c, ch in enumerate(line):
            if ch == "#":
                cell[first_row + r] |= 0x80 >> (first_col + c)
    return cell


def build_table():
    font = read_bdf(FONT)
    table = [None] * 256
    for code in range(10):
        table[code] = from_picture(SMALL_DIGITS[code], first_row=1, first_col=1)
    table[13] = from_picture(CARRIAGE_RETURN)
    table[15] = from_picture(DOTTED_SQUARE)
    table[127] = from_picture(INVERSE_QUESTION)
    for code, uni in CONTROL_SYMBOLS.items():
        table[code] = font[uni]
    for code in range(32, 127):
        table[code] = font[code]
    for code in range(128, 256):
        table[code] = font[ord(bytes([code]).decode("koi8_r"))]
    return table


def shows_character(codec, code):
    """Whether byte `code` of the set is drawn as its character, not as a control symbol."""
    char = bytes([code]).decode(codec)
    return codec == "koi8_r" or char.isprintable() or char == "\xa0"


def build_upper(codec, font):
    """The glyphs of bytes 128 to 255 in one set, as a flat list of row bytes."""
    rows = []
    for code in range(128, 256):
        char = bytes([code]).decode(codec)
        rows += font[ord(char)] if shows_character(codec, code) else from_picture(DOTTED_SQUARE)
    return rows


def write_upper_codes(out, name, codec):
    """The code points of bytes 128 to 255 as the set shows them, 0 for a symbol or a dot."""
    codes = [ord(bytes([code]).decode(codec)) if codec and shows_character(codec, code) else 0
             for code in range(128, 256)]
    out.write(f"\nconst std::array<uint16_t, 128> {name} = {{\n")
    for i in range(0, 128, 8):
        out.write("    " + ", ".join(f"0x{c:04x}" for c in codes[i:i + 8]) + f",  // {128 + i}\n")
    out.write("};\n")


def write_upper(out, name, rows, labels):
    out.write(f"\nconst std::array<uint8_t, 2048> {name} = {{\n")
    for i in range(128):
        out.write("    " + ", ".join(f"0x{b:02x}" for b in rows[16 * i:16 * i + 16]) + f",  // {128 + i}{labels(128 + i)}\n")
    out.write("};\n")


def main():
    table = build_table()
    font = read_bdf(FONT)
    out = sys.stdout
    out.write("// Generated by tools/make_glyph_table.py from the public-domain 6x13 fixed font;\n")
    out.write("// regenerate with: tools/make_glyph_table.py > src/render/glyph_table.cpp\n")
    out.write('#include "render/glyph_table.h"\n\n')
    out.write("const std::array<uint8_t, 4096> fixed6x13 = {\n")
    for code, glyph in enumerate(table):
        char = bytes([code]).decode("koi8_r")
        label = f" {char}" if char.isprintable() and char not in " \\" and code >= 32 else ""
        out.write("    " + ", ".join(f"0x{b:02x}" for b in glyph) + f",  // {code}{label}\n")
    out.write("};\n")
    for name, codec in [("latin1_upper", "latin-1"), ("cp437_upper", "cp437")]:
        def labels(code, codec=codec):
            char = bytes([code]).decode(codec)
            return f" {char}" if char.isprintable() and char not in " \\" else ""
        write_upper(out, name, build_upper(codec, font), labels)
    write_upper(out, "ascii_upper", table[ord(".")] * 128, lambda code: "")
    for name, codec in [("koi8r_upper_codes", "koi8_r"), ("latin1_upper_codes", "latin-1"),
                        ("cp437_upper_codes", "cp437"), ("ascii_upper_codes", None)]:
        write_upper_codes(out, name, codec)


if __name__ == "__main__":
    main()
