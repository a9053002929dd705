// How texts, song names above all, become cells of the glyph sheet, and how a
// name too long for the window is shortened.

#include "text/glyph_text.h"

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

// Expected cells as a string; '~' stands for the stand-in cell.
std::vector<int> cellsOf(const std::string& expected) {
    std::vector<int> result;
    for (const char c : expected) {
        result.push_back(c == '~' ? kStandInGlyph : static_cast<unsigned char>(c));
    }
    return result;
}

TEST(GlyphText, CharactersBecomeCellsOrTheirPlainForms) {
    struct Case {
        const char* what;
        std::string text;
        std::string cells;  // empty: the text itself
    };
    const Case cases[] = {
        {"printable ASCII as it is", "It's 100% [live] \"x\"", ""},
        {"Latin letters with diacritics", "\xC3\x9Cn\xC3\xAF" "c\xC3\xB8" "d\xC3\xA9 \xC3\x91" "and\xC3\xBA \xC3\x87\xC3\xA0 \xC5\x81\xC3\xB3" "d\xC5\xBA \xC4\xB1 \xC5\x91",
         "Unicode Nandu Ca Lodz i o"},
        {"accent written as a combining mark", "Cafe\xCC\x81 ", "Cafe "},
        {"ligatures and special letters", "\xC3\xA6 \xC5\x92 \xC3\x9F \xC3\xBE \xEF\xAC\x81 \xC4\xB2 \xC4\x91",
         "ae OE ss th fi IJ d"},
        {"quotes, primes, apostrophes",
         "\xE2\x80\x98\xE2\x80\x99\xE2\x80\x9C\xE2\x80\x9D\xC2\xAB\xC2\xBB\xE2\x80\xB2\xE2\x80\xB3\xCA\xBC\xE2\x80\x9E",
         "''\"\"\"\"'\"'\""},
        {"dashes and minus signs", "\xE2\x80\x90\xE2\x80\x93\xE2\x80\x94\xE2\x88\x92\xEF\xBC\x8D", "-----"},
        {"ellipsis", "Wait\xE2\x80\xA6", "Wait..."},
        {"no-break and other spaces", "a\xC2\xA0" "b\xE2\x80\x83" "c\xE3\x80\x80" "d\xE2\x80\xAF" "e", "a b c d e"},
        {"CJK, three bytes each", "\xE6\x9D\xB1\xE4\xBA\xAC", "~~"},
        {"emoji and symbols, one cell each", "\xF0\x9F\x8E\xB5!\xE2\x99\xA5\xC2\xA9", "~!~~"},
        {"mixed scripts", "Bj\xC3\xB6rk \xE2\x80\x93 \xD0\x96\xD0\xB8\xD1\x82\xD1\x8C \xE6\x9D\xB1 \xE2\x80\x99" "98",
         "Bjork - ~~~~ ~ '98"},
        {"signs the sheet has", "\xE2\x82\xAC\xE2\x80\x9A\xC6\x92", "\x80\x82\x83"},
        {"control characters and DEL", "a\tb\x7F", "a~b~"},
        {"stray continuation bytes", "\x80\x83", "~~"},
        {"character cut short by the end", "ab\xE6\x9D", "ab~~"},
        {"cut short by another character", "\xE6" "A", "~A"},
        {"overlong form of a letter", "\xC1\x81", "~~"},
        {"surrogate", "\xED\xA0\x80", "~~~"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "~~~~"},
        {"Latin-1 byte of an old file name", "Mot\xF6rhead", "Mot~rhead"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(codesOf(c.text), cellsOf(c.cells.empty() ? c.text : c.cells)) << c.what;
    }
}

TEST(GlyphText, CodesStopAtTheBufferBetweenCharacters) {
    char codes[4];
    EXPECT_EQ(toGlyphCodes("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", codes, sizeof codes), 3u);
    EXPECT_EQ(codes[3], '\0');
    EXPECT_EQ(toGlyphCodes("abc", codes, 0), 0u);
    // A letter drawn as two cells goes in whole or not at all.
    EXPECT_EQ(toGlyphCodes("\xC3\xA6\xC3\xA6", codes, sizeof codes), 2u);
    EXPECT_STREQ(codes, "ae");
}

std::string fitted(const std::string& text, std::size_t cells, std::size_t capacity = 256) {
    std::vector<char> out(capacity == 0 ? 1 : capacity, 'X');
    const std::size_t length = fitToCells(text.c_str(), cells, out.data(), capacity);
    return capacity == 0 ? std::string() : std::string(out.data(), length);
}

TEST(GlyphText, LongNamesKeepTheirStartAndEndAroundAnEllipsis) {
    const std::string kLongerWhenFolded =
        "\xC3\x86sir \xC5\x92uvre \xE2\x80\x93 Stra\xC3\x9F" "e\xE2\x80\xA6.ogg";
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
        // 24 characters but 29 cells once folded ("AEsir OEuvre - Strasse....ogg"),
        // so it no longer fits in 26 and is cut by its drawn cells.
        {kLongerWhenFolded, 29, kLongerWhenFolded},
        {kLongerWhenFolded, 26, "\xC3\x86sir \xC5\x92uvre...a\xC3\x9F" "e\xE2\x80\xA6.ogg"},
        // The cut falls inside the two cells of the OE and the three of the
        // ellipsis: both stay out whole.
        {kLongerWhenFolded, 15, "\xC3\x86sir ....ogg"},
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
