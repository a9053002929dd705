// The best scores on disk from the game's side: a damaged file set aside and
// named in the log, what could be read kept, bests written only when they
// change, and a write that fails costing a log line and the menu's note.

#include "app/score_keeper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "game/screens.h"
#include "tests/diag/working_folder.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Byte for byte, also on Windows (the folder's own write is text mode).
void writeFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string logText(const WorkingFolder& folder) {
    std::string text;
    for (const std::string& line : folder.lines()) {
        text += line + "\n";
    }
    return text;
}

void finishSong(PlayState& play, ScoreKeeper& keeper, const std::string& song, int points) {
    play.playingSong = song;
    keepBest(play, points);
    keeper.finish(play);
}

const std::string kHead = std::string(kBestScoresVersionLine) + "\n";

TEST(ScoreKeeper, ADamagedFileIsSetAsideLoggedAndWhatWasReadIsKept) {
    const struct {
        const char* what;
        std::string content;
        std::map<std::string, int> read;
        const char* problem;
    } cases[] = {
        {"cut short", kHead + "12 a.mp3\n40 b.m", {{"a.mp3", 12}}, "line 3: cut short"},
        {"garbage", kHead + "12 a.mp3\n\xFF\xFE\x01\n", {{"a.mp3", 12}}, "line 3: not a score and a song"},
        {"a newer version", "redavave best scores 7\n12 a.mp3\n", {}, "line 1: a newer version"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WorkingFolder folder;
        writeFile(folder.path() / kBestScoresFile, c.content);
        PlayState play;
        ScoreKeeper keeper;
        keeper.load(play);
        EXPECT_EQ(play.bestScores.size(), c.read.size());
        for (const auto& [song, score] : c.read) {
            ASSERT_NE(play.bestScores.find(song), nullptr) << song;
            EXPECT_EQ(*play.bestScores.find(song), score);
        }
        EXPECT_THAT(logText(folder), HasSubstr(std::string("Best scores file best-scores.txt is damaged (") + c.problem +
                                               "): kept as best-scores.txt.damaged-1"));
        EXPECT_EQ(readFile(folder.path() / "best-scores.txt.damaged-1"), c.content) << "kept byte for byte";
        // What was read is on disk again at once, so a start that sets no best
        // leaves it for the next one.
        std::string expected = kHead;
        for (const auto& [song, score] : c.read) {
            expected += std::to_string(score) + " " + song + "\n";
        }
        EXPECT_EQ(readFile(folder.path() / kBestScoresFile), expected);
        {
            PlayState next;
            ScoreKeeper again;
            again.load(next);
            EXPECT_EQ(next.bestScores.size(), c.read.size());
        }

        // The next best writes a whole good file of what was read and the new best.
        finishSong(play, keeper, "new.ogg", 5);
        expected += "5 new.ogg\n";
        EXPECT_EQ(readFile(folder.path() / kBestScoresFile), expected);
        EXPECT_EQ(readFile(folder.path() / "best-scores.txt.damaged-1"), c.content);
    }
}

TEST(ScoreKeeper, AGoodFileLoadsQuietlyAndIsWrittenOnlyWhenABestChanges) {
    WorkingFolder folder;
    const std::string good = kHead + "30 a.mp3\n";
    writeFile(folder.path() / kBestScoresFile, good);
    const auto written = fs::last_write_time(folder.path() / kBestScoresFile);
    PlayState play;
    ScoreKeeper keeper;
    keeper.load(play);
    ASSERT_NE(play.bestScores.find("a.mp3"), nullptr);
    EXPECT_EQ(*play.bestScores.find("a.mp3"), 30);

    finishSong(play, keeper, "a.mp3", 10);
    EXPECT_FALSE(play.songEnd.newBest);
    EXPECT_EQ(play.songEnd.best, 30);
    EXPECT_EQ(fs::last_write_time(folder.path() / kBestScoresFile), written) << "a lower score writes nothing";

    finishSong(play, keeper, "a.mp3", 31);
    EXPECT_TRUE(play.songEnd.newBest);
    EXPECT_FALSE(play.songEnd.notKept);
    EXPECT_EQ(readFile(folder.path() / kBestScoresFile), kHead + "31 a.mp3\n");
    EXPECT_THAT(logText(folder), HasSubstr("#New Best Score: 31 for a.mp3"));
    EXPECT_THAT(logText(folder), ::testing::Not(HasSubstr("damaged")));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2)
        << "the scores and the log, no temporary file left";
}

TEST(ScoreKeeper, TemporaryFilesOfWritesCutShortGoAndNothingElse) {
    WorkingFolder folder;
    writeFile(folder.path() / kBestScoresFile, kHead + "30 a.mp3\n");
    const char* ours[] = {"best-scores.txt.new-4242-0", "best-scores.txt.new-17-3"};
    const char* notOurs[] = {"best-scores.txt.new-", "best-scores.txt.new-12-3.bak", "best-scores.txt.new-x-1",
                             "best-scores.txt.damaged-1", "my-best-scores.txt.new-1-0"};
    for (const char* name : ours) {
        writeFile(folder.path() / name, kHead + "1 half a fi");
    }
    for (const char* name : notOurs) {
        writeFile(folder.path() / name, "keep me");
    }
    PlayState play;
    ScoreKeeper keeper;
    keeper.load(play);
    for (const char* name : ours) {
        EXPECT_FALSE(fs::exists(folder.path() / name)) << name;
        EXPECT_THAT(logText(folder), HasSubstr(std::string("Removed ./") + name + ", a write of the best scores cut short"));
    }
    for (const char* name : notOurs) {
        EXPECT_EQ(readFile(folder.path() / name), "keep me") << name;
    }
    ASSERT_NE(play.bestScores.find("a.mp3"), nullptr);
}

plat::ReplaceStep failAt = plat::ReplaceStep::tempWritten;
bool failing = true;
bool failWhenAsked(plat::ReplaceStep step) { return !(failing && step == failAt); }

TEST(ScoreKeeper, AFailedWriteIsLoggedAndShownThenALaterWriteKeepsEverything) {
    WorkingFolder folder;
    writeFile(folder.path() / kBestScoresFile, kHead + "30 a.mp3\n");
    PlayState play;
    ScoreKeeper keeper(kBestScoresFile, failWhenAsked);
    keeper.load(play);

    failing = true;
    finishSong(play, keeper, "b.mp3", 12);
    EXPECT_TRUE(play.songEnd.newBest);
    EXPECT_TRUE(play.songEnd.notKept);
    EXPECT_THAT(logText(folder), HasSubstr("Best score not kept: stopped after writing best-scores.txt.new-"));
    EXPECT_EQ(readFile(folder.path() / kBestScoresFile), kHead + "30 a.mp3\n") << "the old file stays";

    failing = false;
    finishSong(play, keeper, "c.mp3", 7);
    EXPECT_FALSE(play.songEnd.notKept);
    EXPECT_EQ(readFile(folder.path() / kBestScoresFile), kHead + "30 a.mp3\n12 b.mp3\n7 c.mp3\n");
}

TEST(ScoreKeeper, AFileThatCannotBeReadIsNeverWrittenOver) {
    WorkingFolder folder;
    fs::create_directories(folder.path() / kBestScoresFile / "inside");  // a folder in its place
    PlayState play;
    ScoreKeeper keeper;
    keeper.load(play);
    EXPECT_THAT(logText(folder), HasSubstr("Best scores not read, none will be kept this time"));

    finishSong(play, keeper, "a.mp3", 3);
    EXPECT_TRUE(play.songEnd.newBest) << "play goes on with the best in memory";
    EXPECT_TRUE(play.songEnd.notKept);
    EXPECT_THAT(logText(folder), HasSubstr("Best score not kept: best-scores.txt could not be read"));
    EXPECT_TRUE(fs::is_directory(folder.path() / kBestScoresFile / "inside"));
}

}  // namespace
