#include "render/FontHandler.h"

#include <GL/gl.h>

#include <cstdarg>
#include <cstdio>
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

}  // namespace

Font::Font(std::uint32_t textureName, std::uint32_t textureSize, std::uint32_t cell, int fixed)
    : advance(fixed == 0), texture(textureName), cellSize(cell) {
    build(textureSize);
}

Font::Font(const Font& other, SameLists)
    : advance(other.advance), listBase(other.listBase), texture(other.texture), cellSize(other.cellSize) {}

void Font::build(std::uint32_t textureSize) {
    const GLuint block = glGenLists(kFontListCount);
    if (block == 0) {
        listBase = 0;
        return;
    }
    listBase = block + kFirstGlyphCode;
    const float step = static_cast<float>(cellSize) / static_cast<float>(textureSize);
    const auto cell = static_cast<GLint>(cellSize);
    for (unsigned code = 0; code < kFontListCount; ++code) {
        glNewList(block + code, GL_COMPILE);
        if (code >= kFirstGlyphCode && code < kFirstGlyphCode + kGlyphCount) {
            const unsigned glyph = code - kFirstGlyphCode;
            const float s0 = static_cast<float>(glyph % kGlyphColumns) * step;
            const float s1 = s0 + step;
            const float t0 = 1.0f - step - static_cast<float>(glyph / kGlyphColumns) * step;
            const float t1 = 1.0f - static_cast<float>(glyph / kGlyphColumns) * step;
            glBegin(GL_QUADS);
            glTexCoord2f(s0, t0);
            glVertex2i(0, 0);
            glTexCoord2f(s1, t0);
            glVertex2i(cell, 0);
            glTexCoord2f(s1, t1);
            glVertex2i(cell, cell);
            glTexCoord2f(s0, t1);
            glVertex2i(0, cell);
            glEnd();
        }
        if (advance) {
            glTranslated(static_cast<double>(cellSize), 0.0, 0.0);
        }
        glEndList();
    }
}

int FontHandler::loadFont(std::uint32_t texture, std::uint32_t cellSize) {
    // Fonts cut from one sheet at one cell size draw the same glyphs: they
    // share the first one's lists, which live as long as the context.
    for (const std::unique_ptr<Font>& font : fonts) {
        if (font->texture == texture && font->cellSize == cellSize && font->advance && font->listBase != 0) {
            Font* same = new (std::nothrow) Font(*font, Font::SameLists{});
            if (same == nullptr) {
                break;
            }
            fonts.emplace_back(same);
            return static_cast<int>(fonts.size());
        }
    }
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

    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, font.texture);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(pixelPosition(x), pixelPosition(y), 0.0);
    glColor3f(static_cast<float>(red), static_cast<float>(green), static_cast<float>(blue));
    glScalef(scale, scale, 1.0f);
    if (font.listBase != 0) {
        const std::size_t count = toGlyphCodes(text, glyphs, sizeof glyphs);
        glListBase(font.listBase - kFirstGlyphCode);
        glCallLists(static_cast<GLsizei>(count), GL_UNSIGNED_BYTE, glyphs);
    }
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

void FontHandler::releaseAll() {
    fonts.clear();
}
