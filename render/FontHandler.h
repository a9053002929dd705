#pragma once

// Bitmap fonts: each glyph is a square cell of one texture, compiled into its
// own display list, and a text is drawn with one glCallLists.

#include <cstdint>
#include <memory>
#include <vector>

// Glyph sheet layout: 10 x 10 cells from the top-left corner, glyph i for the
// character code 32 + i.
inline constexpr unsigned kGlyphCount = 100;
inline constexpr unsigned kFirstGlyphCode = 32;
inline constexpr unsigned kGlyphColumns = 10;
// Every byte value owns a list of the font's block, so that no byte can ever
// call a list of someone else; texts are turned into glyph codes before they
// are drawn (text/glyph_text.h), and the codes without a cell (below 32,
// above 131) hold a blank that only moves the pen.
inline constexpr unsigned kFontListCount = 256;

class Font {
public:
    // `fixed` 0 makes every glyph move the pen one cell to the right.
    Font(std::uint32_t textureName, std::uint32_t textureSize, std::uint32_t cell, int fixed);
    // A font drawing with `other`'s lists, building none of its own.
    struct SameLists {};
    Font(const Font& other, SameLists);
    virtual ~Font() {}  // the display lists live until the context goes away
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    void build(std::uint32_t textureSize);

    bool advance = false;
    std::uint32_t listBase = 0;  // list of glyph 0 (the space); 0 when no lists could be made
    std::uint32_t texture = 0;
    std::uint32_t cellSize = 0;
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
    void print(std::uint32_t fontId, std::uint32_t y, std::uint32_t x, std::uint32_t red, std::uint32_t green,
               std::uint32_t blue, float scale, const char* format, ...) __attribute__((format(printf, 9, 10)));

    // Destroys every font and empties the registry.
    void releaseAll();

    std::vector<std::unique_ptr<Font>> fonts;
    char text[512] = {};
    char glyphs[512] = {};  // the text as cells of the sheet, one per character
};

extern FontHandler fontHandler;
