#include "text/glyph_text.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace {

constexpr unsigned kNotACharacter = 0xFFFFFFFFu;

bool continuation(unsigned char byte) { return (byte & 0xC0u) == 0x80u; }

// Reads the character at `s` (not past its terminating zero) into `codePoint`
// and returns its length in bytes: 1 with kNotACharacter for a byte that does
// not start a well-formed sequence (stray continuation, overlong form,
// surrogate, beyond U+10FFFF, cut short).
std::size_t readCharacter(const unsigned char* s, unsigned* codePoint) {
    const unsigned char lead = s[0];
    *codePoint = kNotACharacter;
    if (lead < 0x80u) {
        *codePoint = lead;
        return 1;
    }
    std::size_t length = 0;
    unsigned value = 0;
    unsigned char low = 0x80u, high = 0xBFu;  // allowed range of the second byte
    if (lead >= 0xC2u && lead <= 0xDFu) {
        length = 2;
        value = lead & 0x1Fu;
    } else if (lead >= 0xE0u && lead <= 0xEFu) {
        length = 3;
        value = lead & 0x0Fu;
        low = lead == 0xE0u ? 0xA0u : 0x80u;
        high = lead == 0xEDu ? 0x9Fu : 0xBFu;
    } else if (lead >= 0xF0u && lead <= 0xF4u) {
        length = 4;
        value = lead & 0x07u;
        low = lead == 0xF0u ? 0x90u : 0x80u;
        high = lead == 0xF4u ? 0x8Fu : 0xBFu;
    } else {
        return 1;
    }
    if (s[1] < low || s[1] > high) {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (!continuation(s[i])) {  // also stops at the terminating zero
            return 1;
        }
        value = (value << 6) | (s[i] & 0x3Fu);
    }
    *codePoint = value;
    return length;
}

// Characters drawn as other characters, sorted by code point.
struct PlainForm {
    std::uint32_t codePoint;
    char text[8];
};
constexpr PlainForm kPlainForms[] = {
#include "text/plain_forms.inc"
};

// One code per cell value, so that a single cell can be handed out as a run.
struct Cells {
    char code[256];
};
constexpr Cells kCells = [] {
    Cells cells{};
    for (int i = 0; i < 256; ++i) {
        cells.code[i] = static_cast<char>(i);
    }
    return cells;
}();

// The sheet's own glyph for `codePoint`, or the stand-in.
unsigned char sheetGlyph(unsigned codePoint) {
    if (codePoint >= 32 && codePoint < 127) {
        return static_cast<unsigned char>(codePoint);
    }
    switch (codePoint) {
        case 0x20AC: return 128;  // euro sign
        case 0x201A: return 130;  // single low quotation mark
        case 0x0192: return 131;  // florin
        default: return kStandInGlyph;
    }
}

const PlainForm* plainFormOf(unsigned codePoint) {
    const PlainForm* end = std::end(kPlainForms);
    const PlainForm* found = std::lower_bound(std::begin(kPlainForms), end, codePoint,
                                              [](const PlainForm& form, unsigned cp) { return form.codePoint < cp; });
    return found != end && found->codePoint == codePoint ? found : nullptr;
}

// Calls `visit(glyphs, start)` for each character of `text` while it returns true.
template <typename Visit>
void forEachCharacter(const char* text, Visit visit) {
    std::size_t at = 0;
    while (text[at] != 0) {
        const CharacterGlyphs glyphs = readGlyphs(text + at);
        if (!visit(glyphs, at)) {
            return;
        }
        at += glyphs.bytes;
    }
}

}  // namespace

CharacterGlyphs readGlyphs(const char* text) {
    unsigned codePoint = 0;
    const std::size_t bytes = readCharacter(reinterpret_cast<const unsigned char*>(text), &codePoint);
    const unsigned char glyph = sheetGlyph(codePoint);
    if (glyph == kStandInGlyph && codePoint != kNotACharacter) {
        if (const PlainForm* form = plainFormOf(codePoint)) {
            return {form->text, std::strlen(form->text), bytes};
        }
    }
    return {&kCells.code[glyph], 1, bytes};
}

std::size_t toGlyphCodes(const char* text, char* codes, std::size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    std::size_t written = 0;
    forEachCharacter(text, [&](const CharacterGlyphs& glyphs, std::size_t) {
        if (written + glyphs.count + 1 > capacity) {
            return false;
        }
        std::memcpy(codes + written, glyphs.codes, glyphs.count);
        written += glyphs.count;
        return true;
    });
    codes[written] = '\0';
    return written;
}

std::size_t glyphCount(const char* text) {
    std::size_t count = 0;
    forEachCharacter(text, [&](const CharacterGlyphs& glyphs, std::size_t) {
        count += glyphs.count;
        return true;
    });
    return count;
}

std::size_t fitToCells(const char* text, std::size_t cells, char* out, std::size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    const std::size_t count = glyphCount(text);
    const char* const kEllipsis = "...";
    const std::size_t ellipsisCells = count > cells ? std::min<std::size_t>(3, cells) : 0;
    const std::size_t kept = cells > ellipsisCells ? cells - ellipsisCells : 0;
    const std::size_t headCells = count > cells ? (kept + 1) / 2 : count;
    const std::size_t tailFrom = count > cells ? count - (kept - headCells) : count;
    std::size_t written = 0;
    // Copies whole characters only, as long as they fit with the terminating zero.
    auto copy = [&](const char* from, std::size_t length) {
        if (written + length + 1 > capacity) {
            return false;
        }
        std::memcpy(out + written, from, length);
        written += length;
        return true;
    };
    // The head takes the characters that end within its cells, the tail those
    // that start within its own; a character drawn as several cells that
    // straddles either edge stays out.
    std::size_t cell = 0;
    bool inHead = true;
    bool room = true;
    forEachCharacter(text, [&](const CharacterGlyphs& glyphs, std::size_t start) {
        if (inHead && cell + glyphs.count > headCells) {
            inHead = false;
            if (ellipsisCells > 0) {
                room = copy(kEllipsis, ellipsisCells);
            }
        }
        if (room && (inHead || cell >= tailFrom)) {
            room = copy(text + start, glyphs.bytes);
        }
        cell += glyphs.count;
        return room;
    });
    out[written] = '\0';
    return written;
}
