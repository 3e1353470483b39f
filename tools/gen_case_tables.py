#!/usr/bin/env python3
"""Generates the case mapping and display width tables of the run-time.

Reads the Unicode Character Database (Debian's unicode-data package puts it in
/usr/share/unicode) and writes two C++ sources:

    series/case_tables.inc   upper/lower case pairs   (Unicode 11.0)
    series/width_tables.inc  display width ranges     (Unicode 14.0, and the
                                                        ambiguous widths of 5.0)

from UnicodeData.txt, SpecialCasing.txt, EastAsianWidth.txt, DerivedAge.txt
and extracted/DerivedGeneralCategory.txt.

The database on the machine is usually newer than the versions the run-time
keeps. Every character is therefore cut by its age (DerivedAge.txt): what a
later version added does not appear, so the run-time's behaviour does not drift
with the machine it is built on. The counts and the first and last rows of
every table are checked, so a database that no longer yields the same tables
stops the generation instead of changing them silently.

Usage: tools/gen_case_tables.py [UCD directory] [output directory]
Standard library only.
"""

import os
import sys

CASE_VERSION = (11, 0)
WIDTH_VERSION = (14, 0)
# The ambiguous widths follow an older version: any version from 4.0 to 5.1
# gives the same table. 5.2 added many enclosed alphanumerics as ambiguous,
# and 9.0 made 2614-2615 wide.
AMBIGUOUS_VERSION = (5, 0)

MAX_CODE_POINT = 0x10FFFF

# East Asian Width values that changed after AMBIGUOUS_VERSION, for characters
# that existed then: their value in that version.
AMBIGUOUS_ERA_WIDTHS = {
    0x2614: "A",  # UMBRELLA WITH RAIN DROPS: wide since 9.0
    0x2615: "A",  # HOT BEVERAGE: wide since 9.0
}

# Ambiguous characters that never take a column of their own: a soft hyphen,
# combining marks and variation selectors. Doubling them would break the
# layout of the text around them.
NOT_AMBIGUOUS = [(0x00AD, 0x00AD), (0x0300, 0x036F), (0xFE00, 0xFE0F), (0xE0100, 0xE01EF)]

# Zero width beyond the non-spacing and enclosing marks: the Arabic and Syriac
# signs that are drawn over the characters that follow them, the Arabic letter
# mark, the Hangul medial vowels and final consonants that join the syllable
# before them, and the Ahom medial ra.
EXTRA_ZERO_WIDTH = [
    (0x0600, 0x0605), (0x061C, 0x061C), (0x06DD, 0x06DD), (0x070F, 0x070F),
    (0x1160, 0x11FF), (0xD7B0, 0xD7C6), (0xD7CB, 0xD7FB), (0x1171E, 0x1171E),
]

# Unassigned code points in these blocks and planes are wide by default.
DEFAULT_WIDE = [(0x3400, 0x4DBF), (0x4E00, 0x9FFF), (0xF900, 0xFAFF),
                (0x20000, 0x2FFFD), (0x30000, 0x3FFFD)]

# What the generated tables must hold: count, first rows, last rows.
EXPECTED_PAIRS = {
    "BMP_TO_UPPER": (1250, 0x0061, 0xFF5A),
    "BMP_TO_LOWER": (1158, 0x0041, 0xFF3A),
    "SUPPLEMENTARY_TO_UPPER": (225, 0x10428, 0x1E943),
    "SUPPLEMENTARY_TO_LOWER": (225, 0x10400, 0x1E921),
}
EXPECTED_UPPER = {0x00DF: 0x0053, 0x0149: 0x02BC, 0x1F80: 0x1F08, 0x10D0: 0x1C90,
                  0x00FF: 0x0178, 0x1E922: 0x1E900, 0x1E943: 0x1E921}
EXPECTED_LOWER = {0x0130: 0x0069, 0x1C90: 0x10D0, 0x1E900: 0x1E922}
# Letters of later versions, and old letters whose partner came later: no
# entry in either direction.
LATER_LETTERS = [*range(0xA7BA, 0xA7C0), 0x2C2F, 0x10570, 0xA7C0, 0xA7C4,
                 0x0282, 0x1D8E, 0xA794]

EXPECTED_RANGES = {
    "ZERO_WIDTH": (339, [(0x0300, 0x036F), (0x0483, 0x0489), (0x0591, 0x05BD)],
                   [(0x1E944, 0x1E94A), (0xE0100, 0xE01EF)]),
    "WIDE": (122, [(0x1100, 0x115F), (0x231A, 0x231B), (0x2329, 0x232A)],
             [(0x1FAF0, 0x1FAF6), (0x20000, 0x2FFFD), (0x30000, 0x3FFFD)]),
    "AMBIGUOUS": (156, [(0x00A1, 0x00A1), (0x00A4, 0x00A4), (0x00A7, 0x00A8)],
                  [(0xE000, 0xF8FF), (0xFFFD, 0xFFFD), (0xF0000, 0xFFFFD),
                   (0x100000, 0x10FFFD)]),
}


# ---- Reading the database ---------------------------------------------------

def data_lines(path):
    """The fields of each data line of a UCD file, comments stripped."""
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                yield [field.strip() for field in line.split(";")]


def code_range(field):
    first, _, last = field.partition("..")
    return int(first, 16), int(last or first, 16)


def read_ranged_property(path):
    """One value per code point, from a file of 'range; value' lines."""
    values = [None] * (MAX_CODE_POINT + 1)
    for fields in data_lines(path):
        first, last = code_range(fields[0])
        for cp in range(first, last + 1):
            values[cp] = fields[1]
    return values


def version(text):
    return tuple(int(part) for part in text.split("."))


def read_ages(ucd):
    ages = read_ranged_property(os.path.join(ucd, "DerivedAge.txt"))
    return [version(a) if a else None for a in ages]


def read_simple_case(ucd):
    upper, lower = {}, {}
    for fields in data_lines(os.path.join(ucd, "UnicodeData.txt")):
        cp = int(fields[0], 16)
        if fields[12]:
            upper[cp] = [int(fields[12], 16)]
        if fields[13]:
            lower[cp] = [int(fields[13], 16)]
    return upper, lower


def read_special_case(ucd):
    """The unconditional full mappings; language and context rules are left out."""
    upper, lower = {}, {}
    for fields in data_lines(os.path.join(ucd, "SpecialCasing.txt")):
        if len(fields) > 4 and fields[4]:
            continue
        cp = int(fields[0], 16)
        lower[cp] = [int(x, 16) for x in fields[1].split()]
        upper[cp] = [int(x, 16) for x in fields[3].split()]
    return upper, lower


def database_version(ucd):
    with open(os.path.join(ucd, "DerivedAge.txt"), encoding="utf-8") as f:
        first = f.readline()
    return first.strip("# \n").removeprefix("DerivedAge-").removesuffix(".txt")


# ---- Building the tables ----------------------------------------------------

def case_pairs(ages, simple, special):
    """{from, to} for each letter of CASE_VERSION whose full mapping differs
    from it; `to` is the first code point of the mapping."""
    def known(cp):
        return ages[cp] is not None and ages[cp] <= CASE_VERSION

    pairs = []
    for cp in range(MAX_CODE_POINT + 1):
        if not known(cp):
            continue
        mapping = special.get(cp, simple.get(cp, [cp]))
        # A later version may give an old letter a new partner (0282 -> A7C5):
        # the letter had none in CASE_VERSION.
        if mapping != [cp] and known(mapping[0]):
            pairs.append((cp, mapping[0]))
    return pairs


def ranges_of(code_points):
    """Sorted, merged inclusive ranges of a set of code points."""
    ranges = []
    for cp in sorted(code_points):
        if ranges and ranges[-1][1] == cp - 1:
            ranges[-1][1] = cp
        else:
            ranges.append([cp, cp])
    return [tuple(r) for r in ranges]


def expand(ranges):
    return {cp for first, last in ranges for cp in range(first, last + 1)}


def width_at(cp, target, ages, widths):
    """East Asian Width of a code point as the version `target` had it."""
    if ages[cp] is not None and ages[cp] <= target:
        return widths[cp] or "N"
    if any(first <= cp <= last for first, last in DEFAULT_WIDE):
        return "W"
    return "N"


def zero_width_ranges(ages, categories):
    marks = {cp for cp in range(MAX_CODE_POINT + 1)
             if ages[cp] is not None and ages[cp] <= WIDTH_VERSION
             and categories[cp] in ("Mn", "Me")}
    return ranges_of(marks | expand(EXTRA_ZERO_WIDTH))


def wide_ranges(ages, widths):
    # Wide and fullwidth runs stay apart where they touch (3000 | 3001-303E):
    # each range holds one width class.
    by_class = {"W": [], "F": []}
    for cp in range(MAX_CODE_POINT + 1):
        value = width_at(cp, WIDTH_VERSION, ages, widths)
        if value in by_class:
            by_class[value].append(cp)
    return sorted(ranges_of(by_class["W"]) + ranges_of(by_class["F"]))


def ambiguous_ranges(ages, widths):
    ambiguous = set()
    for cp in range(MAX_CODE_POINT + 1):
        if ages[cp] is None or ages[cp] > AMBIGUOUS_VERSION:
            continue
        if AMBIGUOUS_ERA_WIDTHS.get(cp, widths[cp]) == "A":
            ambiguous.add(cp)
    return ranges_of(ambiguous - expand(NOT_AMBIGUOUS))


# ---- Checks -----------------------------------------------------------------

def check_pairs(name, pairs):
    count, first, last = EXPECTED_PAIRS[name]
    assert len(pairs) == count, f"{name}: {len(pairs)} pairs, expected {count}"
    assert pairs[0][0] == first and pairs[-1][0] == last, \
        f"{name}: from {pairs[0][0]:04X} to {pairs[-1][0]:04X}"


def check_mappings(upper, lower):
    up, down = dict(upper), dict(lower)
    for cp, expected in EXPECTED_UPPER.items():
        assert up.get(cp) == expected, f"upper of {cp:04X}"
    for cp, expected in EXPECTED_LOWER.items():
        assert down.get(cp) == expected, f"lower of {cp:04X}"
    for cp in LATER_LETTERS:
        assert cp not in up and cp not in down, f"{cp:04X} is a later letter"


def check_ranges(name, ranges):
    count, first_rows, last_rows = EXPECTED_RANGES[name]
    assert len(ranges) == count, f"{name}: {len(ranges)} ranges, expected {count}"
    assert ranges[:len(first_rows)] == first_rows, f"{name}: first rows {ranges[:3]}"
    assert ranges[-len(last_rows):] == last_rows, f"{name}: last rows {ranges[-4:]}"
    for (_, last), (first, _) in zip(ranges, ranges[1:]):
        assert last < first, f"{name}: ranges overlap or are unsorted"


# ---- Writing ----------------------------------------------------------------

def hex_word(value):
    return f"0x{value:04X}"


def c_array(declaration, rows, format_row, per_line=4):
    lines = [f"constexpr uint32_t {declaration} = {{"]
    for i in range(0, len(rows), per_line):
        lines.append("    " + ", ".join(format_row(a, b) for a, b in rows[i:i + per_line]) + ",")
    lines.append("};")
    return "\n".join(lines)


def pair_array(name, pairs):
    return c_array(f"{name}[{len(pairs)}][2]", pairs,
                   lambda a, b: f"{{{hex_word(a)}, {hex_word(b)}}}")


def range_array(name, ranges):
    return c_array(f"{name}[{len(ranges)} * 2]", ranges,
                   lambda a, b: f"{hex_word(a)}, {hex_word(b)}")


def source(what, ucd_version, versions, namespace, arrays):
    """A generated C++ source: its header comment, then the arrays."""
    return (f"// {what}\n"
            f"// Generated by tools/gen_case_tables.py from the Unicode Character Database\n"
            f"// {ucd_version}, cut to {versions}. Do not edit: run the script.\n"
            f"#pragma once\n\n#include <cstdint>\n\n"
            f"namespace {namespace} {{\n\n" + "\n\n".join(arrays) +
            f"\n\n}}  // namespace {namespace}\n")


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def version_text(v):
    return f"{v[0]}.{v[1]}"


def main():
    ucd = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode"
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "..", "series")
    ucd_version = database_version(ucd)

    ages = read_ages(ucd)
    simple_upper, simple_lower = read_simple_case(ucd)
    special_upper, special_lower = read_special_case(ucd)
    upper = case_pairs(ages, simple_upper, special_upper)
    lower = case_pairs(ages, simple_lower, special_lower)
    check_mappings(upper, lower)
    tables = {
        "BMP_TO_UPPER": [p for p in upper if p[0] <= 0xFFFF],
        "BMP_TO_LOWER": [p for p in lower if p[0] <= 0xFFFF],
        "SUPPLEMENTARY_TO_UPPER": [p for p in upper if p[0] > 0xFFFF],
        "SUPPLEMENTARY_TO_LOWER": [p for p in lower if p[0] > 0xFFFF],
    }
    for name, pairs in tables.items():
        check_pairs(name, pairs)

    widths = read_ranged_property(os.path.join(ucd, "EastAsianWidth.txt"))
    categories = read_ranged_property(
        os.path.join(ucd, "extracted", "DerivedGeneralCategory.txt"))
    ranges = {
        "ZERO_WIDTH": zero_width_ranges(ages, categories),
        "WIDE": wide_ranges(ages, widths),
        "AMBIGUOUS": ambiguous_ranges(ages, widths),
    }
    for name, table in ranges.items():
        check_ranges(name, table)

    case_text = source(
        "Case mapping pairs {from, to}, sorted by from: to is the first code point of\n"
        "// the full upper- or lower-case mapping of from.",
        ucd_version, f"Unicode {version_text(CASE_VERSION)}", "zel::case_tables",
        [pair_array(name, pairs) for name, pairs in tables.items()])
    write(os.path.join(out, "case_tables.inc"), case_text)

    width_text = source(
        "Display width ranges: sorted, disjoint, inclusive {first, last} pairs.",
        ucd_version,
        f"Unicode {version_text(WIDTH_VERSION)} (ambiguous: {version_text(AMBIGUOUS_VERSION)})",
        "zel::width_tables",
        [range_array(name, table) for name, table in ranges.items()])
    write(os.path.join(out, "width_tables.inc"), width_text)

if __name__ == "__main__":
    main()
