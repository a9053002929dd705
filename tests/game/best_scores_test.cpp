// The best-score table and its file: what each kind of file content gives,
// names of any bytes there and back, and which song ends set a best.

#include "game/best_scores.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>

#include "game/screens.h"

namespace {

std::map<std::string, int> asMap(const BestScores& scores) {
    std::map<std::string, int> all;
    for (const BestScores::Entry& entry : scores.entries()) {
        all.emplace(entry.song, entry.score);
    }
    return all;
}

const std::string kHead = std::string(kBestScoresVersionLine) + "\n";

TEST(BestScoresFile, WhatEachContentGives) {
    struct Case {
        const char* what;
        std::string content;
        std::map<std::string, int> scores;
        const char* problem;  // null: a good file
    };
    const std::string longName(kBestScoresLongestLine, 'n');
    const Case cases[] = {
        {"good", kHead + "12 a.mp3\n-40 b c.ogg\n0 Artist/Album/01 - Intro.flac\n",
         {{"a.mp3", 12}, {"b c.ogg", -40}, {"Artist/Album/01 - Intro.flac", 0}}, nullptr},
        {"only the version line", kHead, {}, nullptr},
        {"CR LF line ends", std::string(kBestScoresVersionLine) + "\r\n12 a.mp3\r\n7 b.ogg\r\n",
         {{"a.mp3", 12}, {"b.ogg", 7}}, nullptr},
        {"the 32-bit limits", kHead + "2147483647 hi.mp3\n-2147483648 lo.mp3\n",
         {{"hi.mp3", INT_MAX}, {"lo.mp3", INT_MIN}}, nullptr},
        {"empty", "", {}, "line 1: empty"},
        {"cut in the middle of a line", kHead + "12 a.mp3\n130 Artist/So", {{"a.mp3", 12}}, "line 3: cut short"},
        {"cut in the version line", "redavave best sco", {}, "line 1: cut short"},
        {"garbage bytes", kHead + "12 a.mp3\n\x01\xFF\xFEgarbage\n7 b.ogg\n", {{"a.mp3", 12}, {"b.ogg", 7}},
         "line 3: not a score and a song"},
        {"a line over 64 KiB", kHead + "5 " + longName + "\n7 b.ogg\n", {{"b.ogg", 7}}, "line 2: line too long"},
        {"a score that overflows", kHead + "2147483648 a.mp3\n-2147483649 b.mp3\n99999999999999999999 c.mp3\n1 d.mp3\n",
         {{"d.mp3", 1}}, "line 2: not a score and a song"},
        {"a song listed twice: the higher counts", kHead + "12 a.mp3\n30 a.mp3\n5 a.mp3\n", {{"a.mp3", 30}},
         "line 3: a song listed twice"},
        {"no name, no space, a NUL escape", kHead + "12 \n12\n12 a\\x00b\n3 ok\n", {{"ok", 3}},
         "line 2: not a score and a song"},
        {"no version line", "12 a.mp3\n", {{"a.mp3", 12}}, "line 1: no version line"},
        {"an unknown version", "redavave best scores 1x\n12 a.mp3\n", {{"a.mp3", 12}}, "line 1: no version line"},
        {"version 0", "redavave best scores 0\n12 a.mp3\n", {{"a.mp3", 12}}, "line 1: no version line"},
        // A newer version's file is not damaged: it is another game's to read.
        {"a newer version", "redavave best scores 2\n12 a.mp3\n", {}, "line 1: a newer version"},
        {"a newer version of two digits", "redavave best scores 10\r\n12 a.mp3\n", {}, "line 1: a newer version"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ScoresReading reading = parseBestScores(c.content.data(), c.content.size());
        const bool newer = c.problem != nullptr && std::string(c.problem) == "line 1: a newer version";
        EXPECT_EQ(asMap(reading.scores), c.scores);
        EXPECT_EQ(reading.damaged, c.problem != nullptr && !newer);
        EXPECT_EQ(reading.newer, newer);
        EXPECT_EQ(reading.problem, c.problem == nullptr ? "" : c.problem);
    }
}

TEST(BestScoresFile, NamesOfAnyBytesComeBackAsTheyWent) {
    BestScores scores;
    const std::string names[] = {
        "plain.mp3",
        "Artist/Album/01 - Intro.mp3",
        "line\nbreak\r.ogg",
        "back\\slash \\x41.flac",
        "\xC3\x9C" "ber \xE6\x9D\xB1 \xF0\x9F\x8E\xB5.wma",  // valid UTF-8 stays readable
        "latin1 \xFC\xE9 and cut \xE6\x9D.mp3",              // bytes that are not UTF-8
        "tab\tand del\x7F and trailing space ",
        std::string("\x01\x1F", 2),
    };
    int score = -3;
    for (const std::string& name : names) {
        scores.offer(name, score++);
    }
    const std::string file = serialiseBestScores(scores);
    const ScoresReading back = parseBestScores(file.data(), file.size());
    EXPECT_FALSE(back.damaged) << back.problem << "\n" << file;
    EXPECT_EQ(asMap(back.scores), asMap(scores));

    // A person reading the file sees one song a line, the readable names as they are.
    EXPECT_EQ(file.rfind(kHead, 0), 0u);
    EXPECT_NE(file.find("-3 plain.mp3\n"), std::string::npos) << file;
    EXPECT_NE(file.find("1 \xC3\x9C" "ber \xE6\x9D\xB1 \xF0\x9F\x8E\xB5.wma\n"), std::string::npos) << file;
    EXPECT_NE(file.find("-1 line\\x0Abreak\\x0D.ogg\n"), std::string::npos) << file;
    EXPECT_NE(file.find("0 back\\\\slash \\\\x41.flac\n"), std::string::npos) << file;
    EXPECT_NE(file.find("latin1 \\xFC\\xE9 and cut \\xE6\\x9D.mp3"), std::string::npos) << file;
}

TEST(BestScoresTable, FirstFinishOrAHigherScoreBecomesTheBest) {
    BestScores scores;
    EXPECT_EQ(scores.find("a"), nullptr);
    EXPECT_TRUE(scores.offer("a", 0)) << "a first finish counts, even with 0";
    EXPECT_FALSE(scores.offer("a", 0));
    EXPECT_FALSE(scores.offer("a", -5));
    EXPECT_TRUE(scores.offer("a", 9));
    ASSERT_NE(scores.find("a"), nullptr);
    EXPECT_EQ(*scores.find("a"), 9);
    EXPECT_TRUE(scores.offer("b", -20)) << "a negative first score counts too";
}

TEST(BestScoresTable, EachSongEndSaysWhatTheScoreMenuShows) {
    PlayState play;
    play.playingSong = "Album/a.mp3";
    keepBest(play, 0);
    EXPECT_TRUE(play.songEnd.shown);
    EXPECT_TRUE(play.songEnd.newBest);
    EXPECT_EQ(play.songEnd.best, 0);
    ASSERT_EQ(play.unsavedBests.size(), 1u);
    EXPECT_EQ(play.unsavedBests[0].song, "Album/a.mp3");

    keepBest(play, -10);
    EXPECT_FALSE(play.songEnd.newBest);
    EXPECT_EQ(play.songEnd.best, 0);
    EXPECT_EQ(play.unsavedBests.size(), 1u) << "nothing new to write";

    keepBest(play, 25);
    EXPECT_TRUE(play.songEnd.newBest);
    EXPECT_EQ(play.songEnd.best, 25);
    EXPECT_EQ(play.songEnd.change, 2u);
    EXPECT_EQ(play.unsavedBests.size(), 2u);
}

}  // namespace
