#include "render/FontHandler.h"

#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "diag/ErrorHandler.h"
#include "text/glyph_text.h"

FontHandler fontHandler;

namespace {

constexpr std::uint32_t kSheetSize = 512;

// The HUD centres texts by subtracting from the screen's middle; on a narrow
// screen that wraps below zero. Such a text starts at the window's edge.
double pixelPosition(std::uint32_t value) {
    const auto signedValue = static_cast<std::int32_t>(value);
    return signedValue < 0 ? 0.0 : static_cast<double>(signedValue);
}

// Writes the quad of every glyph of `codes` that has a cell on the sheet,
// each glyph one cell right of the one before (when the font advances), and
// returns how many quads it wrote. Codes without a cell only move the pen.
GLsizei layOutQuads(const Font& font, const char* codes, std::size_t count, float* corners, float* sheetCorners) {
    const auto cell = static_cast<float>(font.cellSize);
    GLsizei quads = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned glyph = static_cast<unsigned char>(codes[i]) - kFirstGlyphCode;
        if (glyph >= kGlyphCount) {
            continue;
        }
        const float x0 = font.advance ? static_cast<float>(i) * cell : 0.0f;
        const float x1 = x0 + cell;
        const Font::Cell& c = font.cells[glyph];
        const float xy[8] = {x0, 0.0f, x1, 0.0f, x1, cell, x0, cell};
        const float st[8] = {c.s0, c.t0, c.s1, c.t0, c.s1, c.t1, c.s0, c.t1};
        std::memcpy(corners + quads * 8, xy, sizeof xy);
        std::memcpy(sheetCorners + quads * 8, st, sizeof st);
        ++quads;
    }
    return quads;
}

}  // namespace

Font::Font(std::uint32_t textureName, std::uint32_t textureSize, std::uint32_t cell, int fixed)
    : advance(fixed == 0), texture(textureName), cellSize(cell) {
    build(textureSize);
}

void Font::build(std::uint32_t textureSize) {
    const float step = static_cast<float>(cellSize) / static_cast<float>(textureSize);
    for (unsigned glyph = 0; glyph < kGlyphCount; ++glyph) {
        Cell& cell = cells[glyph];
        cell.s0 = static_cast<float>(glyph % kGlyphColumns) * step;
        cell.s1 = cell.s0 + step;
        cell.t0 = 1.0f - step - static_cast<float>(glyph / kGlyphColumns) * step;
        cell.t1 = 1.0f - static_cast<float>(glyph / kGlyphColumns) * step;
    }
}

int FontHandler::loadFont(std::uint32_t texture, std::uint32_t cellSize) {
    Font* pFont = new (std::nothrow) Font(texture, kSheetSize, cellSize, 0);
    if (pFont == nullptr) {
        errorHandler.log("Warning! Could not load font!");
        return 0;
    }
    fonts.emplace_back(pFont);
    return static_cast<int>(fonts.size());
}

void FontHandler::print(std::uint32_t fontId, std::uint32_t y, std::uint32_t x, std::uint32_t red,
                        std::uint32_t green, std::uint32_t blue, float scale, const char* format, ...) {
    // An ID beyond the registry is the same programming error as 0 and is reported the same way.
    if (fontId == 0 || fontId > fonts.size()) {
        errorHandler.log("Invalid Font ID {%u}!", fontId);
        errorHandler.setError(ERROR_KIND_GAME, "Invalid Font ID {%u} In Game!", fontId);
        errorHandler.show();
        return;
    }
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    const Font& font = *fonts[fontId - 1];

    beginText(font, y, x, red, green, blue, scale);
    const std::size_t count = toGlyphCodes(text, glyphs, sizeof glyphs);
    const GLsizei quads = layOutQuads(font, glyphs, count, corners, sheetCorners);
    if (quads > 0) {
        glEnableClientState(GL_VERTEX_ARRAY);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glVertexPointer(2, GL_FLOAT, 0, corners);
        glTexCoordPointer(2, GL_FLOAT, 0, sheetCorners);
        glDrawArrays(GL_QUADS, 0, quads * 4);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        glDisableClientState(GL_VERTEX_ARRAY);
    }
    if (font.advance && count > 0) {
        glTranslated(static_cast<double>(count) * static_cast<double>(font.cellSize), 0.0, 0.0);
    }
    endText();
}

void beginText(const Font& font, std::uint32_t y, std::uint32_t x, std::uint32_t red, std::uint32_t green,
               std::uint32_t blue, float scale) {
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, font.texture);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(pixelPosition(x), pixelPosition(y), 0.0);
    glColor3f(static_cast<float>(red), static_cast<float>(green), static_cast<float>(blue));
    glScalef(scale, scale, 1.0f);
}

void endText() {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

void FontHandler::releaseAll() {
    fonts.clear();
}
