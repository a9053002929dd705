// Type to jump in the song menu: which song each typed sequence selects.

#include "game/song_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::vector<std::string> kNames = {
    "abba - waterloo.mp3",            // 0
    "ABBA - Mamma Mia.mp3",           // 1
    "Abbey Road.mp3",                 // 2
    "AC-DC - Thunder.mp3",            // 3
    "\xC3\x84rger.ogg",               // 4: Ärger
    "\xC3\x86sir.ogg",                // 5: Æsir
    "Beatles.mp3",                    // 6
    "B\xC3\xB8rns.flac",              // 7: Børns
    "1999.mp3",                       // 8
    "20 Years.mp3",                   // 9
    "\xE6\x9D\xB1\xE4\xBA\xAC.mp3",   // 10: CJK, matched by nothing typed
    "Zebra.wma",                      // 11
};

TEST(SongSearch, TypedSequencesSelectSongs) {
    struct Key {
        char c;
        unsigned atMs;
    };
    struct Case {
        const char* what;
        int selected;
        std::vector<Key> keys;
        int expected;
    };
    std::vector<Case> cases = {
        {"first letter goes to the next song with it", 0, {{'a', 5000}}, 1},
        {"case does not matter", 6, {{'A', 5000}}, 0},
        {"a longer prefix keeps a song that still matches", 0, {{'a', 5000}, {'b', 5100}, {'b', 5200}, {'e', 5300}}, 2},
        {"names sharing a prefix: the first from the selection on", 2, {{'a', 5000}, {'b', 5100}, {'b', 5200}, {'a', 5300}}, 0},
        {"the same letter again steps on", 0, {{'a', 5000}, {'a', 5100}, {'a', 5200}}, 3},
        {"and wraps round", 3, {{'b', 5000}, {'b', 5100}, {'b', 5200}}, 6},
        {"accented letter matched by its plain form", 0, {{'a', 5000}, {'r', 5100}}, 4},
        {"ligature matched by its spelling", 0, {{'a', 5000}, {'e', 5100}}, 5},
        {"o with stroke matched by o", 0, {{'b', 5000}, {'o', 5100}}, 7},
        {"digits", 0, {{'2', 5000}}, 9},
        {"digits, longer", 0, {{'1', 5000}, {'9', 5100}, {'9', 5200}}, 8},
        {"a pause of more than a second starts again", 0, {{'z', 5000}, {'b', 6001}}, 6},
        {"a pause of exactly a second does not", 0, {{'a', 5000}, {'c', 6000}}, 3},
        {"no match keeps the selection", 2, {{'q', 5000}}, 2},
        {"a failed prefix keeps it too", 2, {{'a', 5000}, {'x', 5100}}, 3},
        {"the clock wrapping round is no pause", 0, {{'a', 0xFFFFFF00u}, {'c', 0x00000010u}}, 3},
    };
    std::vector<Key> longRun;
    for (unsigned i = 0; i < 99; ++i) {
        longRun.push_back({'b', 5000 + 10 * i});  // Beatles, Borns, Beatles, ...
    }
    const std::vector<Key> runThenOther = [&] {
        std::vector<Key> keys = longRun;
        keys.push_back({'e', 6000});
        return keys;
    }();
    std::vector<Key> tooLong = {{'a', 5000}};
    for (unsigned i = 0; i < 99; ++i) {
        tooLong.push_back({i % 2 == 0 ? 'b' : 'e', 5000 + 10 * i});
    }
    tooLong.push_back({'z', 6000});
    cases.push_back({"a long run of one letter keeps stepping", 0, longRun, 6});
    cases.push_back({"and another letter after it matches nothing", 0, runThenOther, 6});
    cases.push_back({"a prefix past the longest name typed stays safe and matches nothing", 0, tooLong, 1});
    for (const Case& c : cases) {
        SongSearch search;
        int selected = c.selected;
        for (const Key& key : c.keys) {
            selected = search.type(key.c, key.atMs, kNames, selected);
        }
        EXPECT_EQ(selected, c.expected) << c.what;
    }
}

TEST(SongSearch, EmptyListAndOddSelections) {
    SongSearch search;
    EXPECT_EQ(search.type('a', 100, {}, 0), 0);
    EXPECT_EQ(search.type('z', 5000, kNames, -1), 11) << "a selection outside the list searches from the start";
    EXPECT_EQ(search.type('z', 9000, kNames, 11), 11) << "the only match stays selected";
}

TEST(SongSearch, KeysTypeOnceWhenTheyGoDownAndOnlyInTheMenu) {
    bool keys[256] = {};
    SongSearch search;
    int selected = 0;
    keys['B'] = true;  // held while playing: types nothing when the menu comes
    selected = search.typeKeys(keys, false, 1000, kNames, selected);
    selected = search.typeKeys(keys, true, 1100, kNames, selected);
    EXPECT_EQ(selected, 0);
    keys['B'] = false;
    selected = search.typeKeys(keys, true, 1200, kNames, selected);
    keys['B'] = true;
    selected = search.typeKeys(keys, true, 1300, kNames, selected);
    selected = search.typeKeys(keys, true, 1400, kNames, selected);  // still held: once
    EXPECT_EQ(selected, 6);
    keys['B'] = false;
    keys[0x62] = true;  // keypad 2
    selected = search.typeKeys(keys, true, 9000, kNames, selected);
    EXPECT_EQ(selected, 9);
    keys[0x62] = false;
    keys[0x20] = true;  // Space is not typing
    keys[0x0D] = true;
    EXPECT_EQ(search.typeKeys(keys, true, 9100, kNames, selected), 9);
}

TEST(SongSearch, PositionLineGroupsThousands) {
    struct Case {
        int index, count;
        const char* text;
    };
    const Case cases[] = {
        {0, 1, "Song 1 of 1"},
        {2314, 14002, "Song 2,315 of 14,002"},
        {998, 1000, "Song 999 of 1,000"},
        {999999, 1234567, "Song 1,000,000 of 1,234,567"},
    };
    for (const Case& c : cases) {
        char out[64];
        EXPECT_EQ(formatSongPosition(c.index, c.count, out, sizeof out), std::string(c.text).size());
        EXPECT_STREQ(out, c.text);
    }
    char small[8];
    EXPECT_EQ(formatSongPosition(2314, 14002, small, sizeof small), 7u);
    EXPECT_STREQ(small, "Song 2,");
}

}  // namespace
