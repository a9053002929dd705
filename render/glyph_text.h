#pragma once

// Which cell of the glyph sheet draws each character of a text. The sheet
// holds printable ASCII and, after it, a stand-in cell and four signs of the
// Windows code page (codes 128 to 131). Texts are UTF-8, and song names come
// from the file system byte for byte, so anything may turn up in them.

#include <cstddef>

// Drawn for every character the sheet has no glyph for, and for every byte
// that is not part of a well-formed UTF-8 character.
inline constexpr unsigned char kStandInGlyph = 127;

// Writes one glyph code per character of `text` into `codes`, at most
// `capacity` - 1 of them, and a terminating zero; returns how many it wrote.
std::size_t toGlyphCodes(const char* text, char* codes, std::size_t capacity);

// Cells that `text` takes on screen.
std::size_t glyphCount(const char* text);

// Writes into `out` (`capacity` bytes with its terminating zero) `text`
// itself when it takes at most `cells` cells; otherwise its beginning and its
// end around "...", cut between characters, in `cells` cells (the end keeps a
// file name's extension in sight). Also cut between characters when `out` is
// too small. Returns the length written. Allocates nothing, so the HUD can
// call it every frame.
std::size_t fitToCells(const char* text, std::size_t cells, char* out, std::size_t capacity);
