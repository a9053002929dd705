#pragma once

// The font picture: white glyphs with alpha for the character codes 32 to 131
// (Windows-1252 above 127), each in a cell of a 10 x 10 grid from the top-left.

#include <string>

#include "tools/generator/Image.h"

struct GlyphSheetLayout {
    int sheetSize = 512;
    int cellSize = 50;
    int firstCode = 32;
    int glyphCount = 100;
    int columns = 10;
};

// Renders the glyphs of the TrueType font `fontPath`. False (with the reason
// in `error`) when the font cannot be read.
bool paintGlyphSheet(const std::string& fontPath, const GlyphSheetLayout& layout, Image& out, std::string& error);

// The Unicode character drawn in the cell of a Windows-1252 code, 0 for codes
// left blank. The DEL cell holds the replacement character, which the game
// draws for every character the sheet has no glyph for.
unsigned windows1252ToUnicode(int code);
