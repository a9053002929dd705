#pragma once

// Bitmap fonts: each glyph is a square cell of one texture, and a text is
// drawn as one vertex array of glyph quads, with one glDrawArrays per print.

#include <cstdint>
#include <memory>
#include <vector>

// Glyph sheet layout: 10 x 10 cells from the top-left corner, glyph i for the
// character code 32 + i.
inline constexpr unsigned kGlyphCount = 100;
inline constexpr unsigned kFirstGlyphCode = 32;
inline constexpr unsigned kGlyphColumns = 10;
// The most glyphs one print draws: the glyph codes of its text, with their
// terminating zero, fill FontHandler::glyphs.
inline constexpr unsigned kPrintGlyphs = 511;

class Font {
public:
    // `fixed` 0 makes every glyph move the pen one cell to the right.
    Font(std::uint32_t textureName, std::uint32_t textureSize, std::uint32_t cell, int fixed);
    virtual ~Font() {}
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Cuts the glyph cells out of a sheet `textureSize` texels wide.
    void build(std::uint32_t textureSize);

    // Where glyph i lies on the sheet: s from the left, t from the bottom.
    struct Cell {
        float s0, t0, s1, t1;
    };

    bool advance = false;
    std::uint32_t texture = 0;
    std::uint32_t cellSize = 0;
    Cell cells[kGlyphCount] = {};
};

class FontHandler {
public:
    FontHandler() {}
    virtual ~FontHandler() {}
    FontHandler(const FontHandler&) = delete;
    FontHandler& operator=(const FontHandler&) = delete;

    // A font on a 512-texel sheet; returns its ID (from 1), 0 when it cannot be made.
    int loadFont(std::uint32_t texture, std::uint32_t cellSize);

    // Formats and draws a text with the font `fontId`, y before x, in pixels
    // from the bottom-left corner (the caller has set the 2-D projection).
    // Positions that went negative through unsigned arithmetic are drawn at 0.
    // The model-view matrix is left with the pen after the last glyph.
    void print(std::uint32_t fontId, std::uint32_t y, std::uint32_t x, std::uint32_t red, std::uint32_t green,
               std::uint32_t blue, float scale, const char* format, ...) __attribute__((format(printf, 9, 10)));

    // Destroys every font and empties the registry.
    void releaseAll();

    std::vector<std::unique_ptr<Font>> fonts;
    char text[512] = {};
    char glyphs[kPrintGlyphs + 1] = {};  // the text as cells of the sheet, one per character
    // The quads of one print, four corners each: x, y in the font's units and
    // s, t on its sheet. Filled anew by every print; never reallocated.
    float corners[kPrintGlyphs * 4 * 2] = {};
    float sheetCorners[kPrintGlyphs * 4 * 2] = {};
};

extern FontHandler fontHandler;

// The state a print draws in: texturing and blending on, the font's sheet
// bound, the colour set, and the model-view matrix at the text's start (y
// before x, in pixels; a position below zero starts at the window's edge),
// scaled by `scale`. endText switches texturing and blending off again.
void beginText(const Font& font, std::uint32_t y, std::uint32_t x, std::uint32_t red, std::uint32_t green,
               std::uint32_t blue, float scale);
void endText();
