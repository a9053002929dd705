#pragma once

// Which cell of the glyph sheet draws each character of a text. The sheet
// holds printable ASCII and, after it, a stand-in cell and four signs of the
// Windows code page (codes 128 to 131). Texts are UTF-8, and song names come
// from the file system byte for byte, so anything may turn up in them.
//
// A character the sheet lacks but that reads as plain ASCII is drawn as that:
// accented Latin letters as their base letter, ligatures and letters like ß
// or æ as their usual spelling, typographic quotes, dashes, the ellipsis and
// the odd spaces as ' " - ... and space. Combining accents fold away. The
// text itself is never changed: only its cells.

#include <cstddef>

// Drawn for every character the sheet has no glyph for, and for every byte
// that is not part of a well-formed UTF-8 character.
inline constexpr unsigned char kStandInGlyph = 127;

// How one character of a text is drawn.
struct CharacterGlyphs {
    const char* codes;   // its cells, in order (not zero-terminated)
    std::size_t count;   // how many: 1 mostly, 0 for a combining accent, up to 7
    std::size_t bytes;   // its length in the text
};

// The character at `text`, which must not be its terminating zero. A byte
// that does not start a well-formed UTF-8 character is one character of its
// own, drawn as the stand-in cell. Looks nothing up for ASCII.
CharacterGlyphs readGlyphs(const char* text);

// Writes the glyph codes of each character of `text` into `codes`, at most
// `capacity` - 1 of them, and a terminating zero; returns how many it wrote.
// Stops between characters: a character's cells go in all together or not.
std::size_t toGlyphCodes(const char* text, char* codes, std::size_t capacity);

// Cells that `text` takes on screen.
std::size_t glyphCount(const char* text);

// Writes into `out` (`capacity` bytes with its terminating zero) `text`
// itself when it takes at most `cells` cells; otherwise its beginning and its
// end around "...", cut between characters, in at most `cells` cells (the end
// keeps a file name's extension in sight). Cells are counted as drawn, so a
// character drawn as several cells is kept or dropped whole. Also cut between characters when `out` is
// too small. Returns the length written. Allocates nothing, so the HUD can
// call it every frame.
std::size_t fitToCells(const char* text, std::size_t cells, char* out, std::size_t capacity);
