// Any bytes as song names, the way the menu and the HUD take them: UTF-8
// reading, plain forms, shortening to a number of cells and type-to-jump.
//
// Input: a byte of cells, a byte of output room, then names separated by
// newlines, a zero byte, and the keys typed (a set top bit: typed after a
// pause). Checks, beyond the sanitisers: every character takes at least one
// byte and at most seven cells; the codes written are the cells counted; a
// shortened name fits its cells and its room; a name starts with its own
// drawn cells; the search selects a song of the menu.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "game/song_search.h"
#include "text/glyph_text.h"

namespace {

void check(bool holds) {
    if (!holds) {
        std::abort();
    }
}

bool drawable(char code) {
    const auto c = static_cast<unsigned char>(code);
    return c >= 32 && c <= 131;
}

void checkName(const std::string& name, std::size_t cells, std::size_t room) {
    const char* text = name.c_str();
    std::size_t total = 0;
    for (std::size_t at = 0; text[at] != 0;) {
        const CharacterGlyphs glyphs = readGlyphs(text + at);
        check(glyphs.bytes >= 1 && at + glyphs.bytes <= name.size() && glyphs.count <= 7);
        for (std::size_t i = 0; i < glyphs.count; ++i) {
            check(drawable(glyphs.codes[i]));
        }
        total += glyphs.count;
        at += glyphs.bytes;
    }
    check(glyphCount(text) == total);

    std::vector<char> codes(total + 1, 'x');
    check(toGlyphCodes(text, codes.data(), codes.size()) == total && codes[total] == 0);
    std::vector<char> cut(room + 1, 'x');
    const std::size_t written = toGlyphCodes(text, cut.data(), room);
    check(room == 0 || (written < room && cut[written] == 0 && std::strlen(cut.data()) <= written));

    std::vector<char> fitted(room == 0 ? 1 : room, 'x');
    const std::size_t length = fitToCells(text, cells, fitted.data(), room);
    if (room > 0) {
        check(length < room && fitted[length] == 0 && std::strlen(fitted.data()) == length);
        check(glyphCount(fitted.data()) <= cells);
        if (total <= cells && name.size() < room) {
            check(std::strcmp(fitted.data(), text) == 0);
        }
    }

    // A name starts with its own cells, typed in lower case, however many.
    std::string typed;
    for (std::size_t i = 0; i < total && i < 64; ++i) {
        const char c = codes[i];
        typed += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        check(nameStartsWith(text, typed.c_str(), typed.size()));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t cells = data[0];
    const std::size_t room = data[1];
    const char* rest = reinterpret_cast<const char*>(data + 2);
    const std::size_t restSize = size - 2;
    const char* zero = static_cast<const char*>(std::memchr(rest, 0, restSize));
    const std::size_t namesSize = zero != nullptr ? static_cast<std::size_t>(zero - rest) : restSize;

    std::vector<std::string> names;
    for (std::size_t start = 0; start <= namesSize;) {
        const char* newline = static_cast<const char*>(std::memchr(rest + start, '\n', namesSize - start));
        const std::size_t end = newline != nullptr ? static_cast<std::size_t>(newline - rest) : namesSize;
        names.emplace_back(rest + start, end - start);
        start = end + 1;
    }
    for (const std::string& name : names) {
        checkName(name, cells, room);
    }

    SongSearch search;
    int selected = 0;
    std::uint32_t now = 0;
    for (std::size_t i = namesSize + 1; i < restSize; ++i) {
        const auto key = static_cast<std::uint8_t>(rest[i]);
        now += (key & 0x80) != 0 ? 1500u : 100u;
        const char c = SongSearch::typedCharacter(key & 0x7F);
        if (c != 0) {
            selected = search.type(c, now, names, selected);
            check(selected >= 0 && static_cast<std::size_t>(selected) < names.size());
        }
    }
    return 0;
}
