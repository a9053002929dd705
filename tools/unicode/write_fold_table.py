#!/usr/bin/env python3
"""Writes text/plain_forms.inc: for every character the glyph sheet lacks
but that reads as plain ASCII, the ASCII it is drawn as.

Run once by hand when the table should follow a newer Unicode:
    tools/unicode/write_fold_table.py [/usr/share/unicode/UnicodeData.txt] > text/plain_forms.inc
The data file comes with Debian's unicode-data package.

Where a plain form comes from:
  - the character's decomposition, followed to its end, with the combining
    marks dropped (e with acute -> e, the ligature fi -> fi, the ellipsis ->
    ..., the no-break space -> space, fullwidth and mathematical letters ->
    their letter). Circled, squared, vertical and Arabic positional forms stay
    out: they are symbols or belong to other scripts;
  - quotation marks, primes and apostrophes -> ' or ", by their names;
  - dash punctuation and the minus signs -> -, spaces -> space;
  - combining diacritical marks -> nothing, so that names written in
    decomposed form (e followed by a combining acute) read as their letters;
  - a short list of letters that Unicode does not decompose (o with stroke,
    sharp s, ae, oe, thorn, dotless i and their kin).
A character is listed only when all of its plain form is printable ASCII.
"""
import sys

SKIPPED_TAGS = {"<circle>", "<square>", "<vertical>", "<small>", "<isolated>", "<initial>", "<medial>", "<final>"}

# Letters with no decomposition whose usual spelling in plain Latin is known.
LETTERS = {
    0x00C6: "AE", 0x00E6: "ae", 0x0152: "OE", 0x0153: "oe", 0x00DF: "ss", 0x1E9E: "SS",
    0x00DE: "TH", 0x00FE: "th", 0x00D0: "D", 0x00F0: "d", 0x00D8: "O", 0x00F8: "o",
    0x0141: "L", 0x0142: "l", 0x0110: "D", 0x0111: "d", 0x0126: "H", 0x0127: "h",
    0x0166: "T", 0x0167: "t", 0x0131: "i", 0x0237: "j", 0x0138: "q", 0x014A: "N", 0x014B: "n",
    0x0180: "b", 0x0197: "I", 0x0268: "i", 0x01B5: "Z", 0x01B6: "z", 0x0248: "J", 0x0249: "j",
    0x023A: "A", 0x2C65: "a", 0x023B: "C", 0x023C: "c", 0x0246: "E", 0x0247: "e",
    0x024C: "R", 0x024D: "r", 0x024E: "Y", 0x024F: "y", 0x023E: "T", 0x2C66: "t",
    0x2212: "-",  # minus sign (a math symbol, not dash punctuation)
    0x2010: "-", 0x2011: "-",
}

COMBINING_BLOCKS = [(0x0300, 0x036F), (0x1AB0, 0x1AFF), (0x1DC0, 0x1DFF), (0x20D0, 0x20FF), (0xFE20, 0xFE2F)]


def read(path):
    chars = {}
    with open(path, encoding="ascii") as data:
        for line in data:
            fields = line.split(";")
            chars[int(fields[0], 16)] = (fields[1], fields[2], fields[5])
    return chars


def combining(chars, cp):
    return cp in chars and chars[cp][1] in ("Mn", "Me", "Mc") and any(a <= cp <= b for a, b in COMBINING_BLOCKS)


def plain(chars, cp, depth=0):
    """The plain ASCII form of `cp`, or None."""
    if 32 <= cp < 127:
        return chr(cp)
    if cp in LETTERS:
        return LETTERS[cp]
    if cp not in chars or depth > 8:
        return None
    name, category, decomposition = chars[cp]
    if category == "Zs":
        return " "
    if category == "Pd":
        return "-"
    if "QUOTATION MARK" in name:
        return "'" if "SINGLE" in name else '"'
    if "APOSTROPHE" in name:
        return "'"
    if name.endswith("PRIME"):
        return '"' if any(many in name for many in ("DOUBLE", "TRIPLE", "QUADRUPLE")) else "'"
    if combining(chars, cp):
        return ""
    if not decomposition:
        return None
    parts = decomposition.split()
    if parts[0].startswith("<"):
        if parts[0] in SKIPPED_TAGS:
            return None
        parts = parts[1:]
    text = ""
    for part in parts:
        piece = plain(chars, int(part, 16), depth + 1)
        if piece is None:
            return None
        text += piece
    return text


def main():
    path = sys.argv[1] if len(sys.argv) > 1 else "/usr/share/unicode/UnicodeData.txt"
    chars = read(path)
    # The glyph sheet draws these itself: euro sign, single low quotation mark, florin.
    on_sheet = {0x20AC, 0x201A, 0x0192}
    rows = []
    for cp in sorted(set(chars) | set(LETTERS)):
        if cp < 0x80 or cp in on_sheet:
            continue
        text = plain(chars, cp)
        if text is None:
            continue
        # The combining marks fold to nothing; a letter built from a mark
        # alone (a spacing accent) keeps its stand-in cell instead.
        if text == "" and not combining(chars, cp):
            continue
        if text.strip() == "" and text != "" and chars.get(cp, ("", "Zs"))[1] != "Zs":
            continue
        rows.append((cp, text))
    longest = max(len(text) for _, text in rows)
    assert longest <= 7, longest
    out = sys.stdout
    out.write("// Written by tools/unicode/write_fold_table.py from UnicodeData.txt; do not edit.\n")
    out.write("// Code point and the printable ASCII it is drawn as, by code point.\n")
    for cp, text in rows:
        escaped = text.replace("\\", "\\\\").replace('"', '\\"')
        out.write('{0x%05X, "%s"},\n' % (cp, escaped))


main()
