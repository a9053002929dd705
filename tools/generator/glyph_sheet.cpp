#include "tools/generator/glyph_sheet.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>

unsigned windows1252ToUnicode(int code) {
    switch (code) {
        case 127: return 0xFFFD;  // the game draws this for characters the sheet lacks
        case 128: return 0x20AC;  // euro sign
        case 129: return 0;       // unassigned
        case 130: return 0x201A;  // single low quotation mark
        case 131: return 0x0192;  // florin
        default: return code >= 32 && code < 127 ? static_cast<unsigned>(code) : 0;
    }
}

namespace {

// Glyph pixels keep this far from the cell's edges, so that linear filtering
// never pulls in a neighbour.
constexpr int kMargin = 2;

class FreeTypeFace {
public:
    bool open(const std::string& path, std::string& error) {
        if (FT_Init_FreeType(&library_) != 0) {
            error = "FreeType could not start";
            return false;
        }
        if (FT_New_Face(library_, path.c_str(), 0, &face_) != 0) {
            error = "cannot read the font '" + path + "'";
            return false;
        }
        return true;
    }
    ~FreeTypeFace() {
        if (face_ != nullptr) {
            FT_Done_Face(face_);
        }
        if (library_ != nullptr) {
            FT_Done_FreeType(library_);
        }
    }
    FT_Face face() const { return face_; }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

}  // namespace

bool paintGlyphSheet(const std::string& fontPath, const GlyphSheetLayout& layout, Image& out, std::string& error) {
    FreeTypeFace font;
    if (!font.open(fontPath, error)) {
        return false;
    }
    FT_Face face = font.face();
    const int usable = layout.cellSize - 2 * kMargin;
    const auto height = static_cast<FT_UInt>(usable * 0.84);
    FT_Set_Pixel_Sizes(face, 0, height);
    // One baseline for every cell, placed so that ascenders and descenders both fit.
    const int ascender = static_cast<int>(face->size->metrics.ascender >> 6);
    const int descender = static_cast<int>(-face->size->metrics.descender >> 6);
    const int baseline = kMargin + std::max(0, (usable - ascender - descender) / 2) + ascender;

    out = Image(layout.sheetSize, layout.sheetSize, true);
    for (Color& c : out.pixels) {
        c = Color{1, 1, 1, 0};
    }
    for (int i = 0; i < layout.glyphCount; ++i) {
        const unsigned character = windows1252ToUnicode(layout.firstCode + i);
        // The game moves the pen by a whole cell, so glyphs are drawn wide,
        // and a glyph that would then overflow its cell is drawn narrower.
        auto width = static_cast<FT_UInt>(height * 1.4);
        FT_Set_Pixel_Sizes(face, width, height);
        if (character == 0 || FT_Load_Char(face, character, FT_LOAD_RENDER) != 0) {
            continue;  // an empty cell draws as a blank
        }
        if (static_cast<int>(face->glyph->bitmap.width) > usable) {
            width = width * static_cast<FT_UInt>(usable) / face->glyph->bitmap.width;
            FT_Set_Pixel_Sizes(face, width, height);
            FT_Load_Char(face, character, FT_LOAD_RENDER);
        }
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        const int cellX = (i % layout.columns) * layout.cellSize;
        const int cellY = (i / layout.columns) * layout.cellSize;
        // Centred in the cell: the game moves the pen by a whole cell whatever the glyph.
        const int left = cellX + (layout.cellSize - static_cast<int>(bitmap.width)) / 2;
        const int top = cellY + baseline - slot->bitmap_top;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            for (unsigned col = 0; col < bitmap.width; ++col) {
                const int x = left + static_cast<int>(col), y = top + static_cast<int>(row);
                if (x < cellX + kMargin || x >= cellX + layout.cellSize - kMargin || y < cellY + kMargin ||
                    y >= cellY + layout.cellSize - kMargin) {
                    continue;
                }
                out.at(x, y).a = bitmap.buffer[row * static_cast<unsigned>(bitmap.pitch) + col] / 255.0f;
            }
        }
    }
    return true;
}
