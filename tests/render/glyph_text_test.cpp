// How texts, song names above all, become cells of the glyph sheet, and how a
// name too long for the window is shortened.

#include "render/glyph_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<int> codesOf(const std::string& text) {
    char codes[64];
    const std::size_t count = toGlyphCodes(text.c_str(), codes, sizeof codes);
    std::vector<int> result;
    for (std::size_t i = 0; i < count; ++i) {
        result.push_back(static_cast<unsigned char>(codes[i]));
    }
    EXPECT_EQ(count, glyphCount(text.c_str())) << text;
    return result;
}

TEST(GlyphText, EachCharacterTakesOneCell) {
    constexpr int S = kStandInGlyph;
    struct Case {
        const char* what;
        std::string text;
        std::vector<int> codes;
    };
    const Case cases[] = {
        {"printable ASCII as it is", "It's 100% [live] \"x\"", {}},
        {"accented letter", "Caf\xC3\xA9", {'C', 'a', 'f', S}},
        {"CJK, three bytes each", "\xE6\x9D\xB1\xE4\xBA\xAC", {S, S}},
        {"emoji, four bytes", "\xF0\x9F\x8E\xB5!", {S, '!'}},
        {"signs the sheet has", "\xE2\x82\xAC\xE2\x80\x9A\xC6\x92", {128, 130, 131}},
        {"control characters and DEL", "a\tb\x7F", {'a', S, 'b', S}},
        {"stray continuation bytes", "\x80\x83", {S, S}},
        {"character cut short by the end", "ab\xE6\x9D", {'a', 'b', S, S}},
        {"cut short by another character", "\xE6" "A", {S, 'A'}},
        {"overlong form", "\xC0\xAF", {S, S}},
        {"surrogate", "\xED\xA0\x80", {S, S, S}},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", {S, S, S, S}},
        {"Latin-1 byte of an old file name", "Mot\xF6rhead", {'M', 'o', 't', S, 'r', 'h', 'e', 'a', 'd'}},
    };
    for (const Case& c : cases) {
        std::vector<int> expected = c.codes;
        if (expected.empty()) {
            expected.assign(c.text.begin(), c.text.end());
        }
        EXPECT_EQ(codesOf(c.text), expected) << c.what;
    }
}

TEST(GlyphText, CodesStopAtTheBufferBetweenCharacters) {
    char codes[4];
    EXPECT_EQ(toGlyphCodes("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", codes, sizeof codes), 3u);
    EXPECT_EQ(codes[3], '\0');
    EXPECT_EQ(toGlyphCodes("abc", codes, 0), 0u);
}

std::string fitted(const std::string& text, std::size_t cells, std::size_t capacity = 256) {
    std::vector<char> out(capacity == 0 ? 1 : capacity, 'X');
    const std::size_t length = fitToCells(text.c_str(), cells, out.data(), capacity);
    return capacity == 0 ? std::string() : std::string(out.data(), length);
}

TEST(GlyphText, LongNamesKeepTheirStartAndEndAroundAnEllipsis) {
    struct Case {
        std::string text;
        std::size_t cells;
        std::string expected;
    };
    const Case cases[] = {
        {"Short.mp3", 20, "Short.mp3"},
        {"Exactly.mp3", 11, "Exactly.mp3"},
        {"A Very Long Song Name.mp3", 13, "A Ver...e.mp3"},
        {"A Very Long Song Name.mp3", 12, "A Ver....mp3"},
        // Cut between characters, counted in cells not bytes.
        {"\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C.ogg", 8, "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C.ogg"},
        {"\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C.ogg", 7, "\xE6\x9D\xB1\xE4\xBA\xAC...gg"},
        {"abcdefgh", 3, "..."},
        {"abcdefgh", 2, ".."},
        {"abcdefgh", 0, ""},
    };
    for (const Case& c : cases) {
        const std::string result = fitted(c.text, c.cells);
        EXPECT_EQ(result, c.expected) << c.text << " in " << c.cells;
        EXPECT_LE(glyphCount(result.c_str()), c.cells);
    }
    // A small buffer cuts the text between characters, never inside one.
    EXPECT_EQ(fitted("\xC3\xA9\xC3\xA9\xC3\xA9", 10, 6), "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(fitted("abc", 10, 0), "");
}

}  // namespace
