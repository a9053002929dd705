#include "tests/e2e/best_score_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/support/audio_fixtures.h"
#include "tests/support/lane_song.h"

namespace e2e {

namespace {

// The Score menu's best line: x from the middle of the screen, 20 pixels a character.
constexpr int kBestCell = 20;
// The position line: 40 pixels in, 15 pixels a character.
constexpr int kPositionLeft = 40, kPositionCell = 15;

std::string fileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// The scores of the new bests the log has announced for the song, in order.
std::vector<int> newBestsLogged(const GameFolder& folder) {
    std::vector<int> scores;
    const std::regex line("#New Best Score: (-?[0-9]+) for Lanes\\.ogg");
    for (const std::string& logged : folder.logLines()) {
        std::smatch match;
        if (std::regex_match(logged, match, line)) {
            scores.push_back(std::stoi(match[1]));
        }
    }
    return scores;
}

// The Score menu's best line for `best`, with " - New Best!" when it was just set.
bool showsBest(const Image& image, int best, bool newBest) {
    const int cells = static_cast<int>(("Best: " + std::to_string(best)).size()) + (newBest ? 12 : 0);
    return rowOfCells(bestRow(image), bestLineLeft(image), kBestCell, cells);
}

}  // namespace

// Only the glyphs' own colour: the lit face of a planet behind comes close to yellow.
bool yellowText(Pixel p) { return p[0] >= 245 && p[1] >= 245 && p[2] <= 10; }

// The texts are placed from the screen's middle, the picture is the window's:
// under wine the window is smaller than the screen by its frame, so the bands
// reach higher than the rows' own height.
Box bestRow(const Image& image) { return rowsBox(image, image.height / 2 + 66, image.height / 2 + 112, yellowText); }

Box positionRow(const Image& image) {
    return rowsBox(image, image.height / 2 - 17, image.height / 2 + 15, yellowText);
}

int bestLineLeft(const Image& image) { return image.width / 2 - 350; }

bool rowOfCells(const Box& row, int left, int cell, int cells) {
    const int end = left + cells * cell;
    return !row.empty() && row.right < end && row.right >= end - cell;
}

void playTwiceAndRestart(GameFolder& folder, const std::string& runName, const BestScorePace& pace) {
    std::string error;
    ASSERT_TRUE(fixtures::writeSong((folder.musicFolder() / "Lanes.ogg").string(), fixtures::AudioFormat::Ogg,
                                   fixtures::threeLaneSong(5.0), &error))
        << error;
    const std::filesystem::path scoresFile = folder.path() / "best-scores.txt";
    {
        GameProcess game(folder, {"-window"});
        const unsigned long window = game.waitForWindow(pace.start);
        ASSERT_NE(window, 0u) << game.standardError();
        ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio", pace.start)) << folder.logText();
        const Image menu = waitForPicture(game, runName + "_1_menu", pace.start,
                                          [](const Image& image) { return !positionRow(image).empty(); });
        EXPECT_TRUE(rowOfCells(positionRow(menu), kPositionLeft, kPositionCell, 11))
            << "\"Song 1 of 1\" and no best for a song never finished";

        // First time: the ship stays in the middle lane and collects what comes there.
        ASSERT_TRUE(game.key({"Return"}));
        const Image first = waitForPicture(game, runName + "_2_first_score", pace.score, inScoreMenu);
        ASSERT_TRUE(inScoreMenu(first)) << game.standardError();
        std::vector<int> bests = newBestsLogged(folder);
        ASSERT_EQ(bests.size(), 1u) << "a first finish is a best, whatever its score\n" << folder.logText();
        const int firstScore = bests[0];
        EXPECT_TRUE(showsBest(first, firstScore, true))
            << "Best: " << firstScore << " - New Best!; the line ends at " << bestRow(first).right;

        // Second time: D is held from before the replay starts, so the ship
        // leaves the lanes before the first object reaches it.
        run("xdotool windowfocus --sync " + std::to_string(window) + " 2>&1; xdotool keydown d 2>&1");
        ASSERT_TRUE(game.key({"space"}));
        sleepFor(1.5);
        run("xdotool keyup d 2>&1");
        const Image second = waitForPicture(game, runName + "_3_second_score", pace.score, inScoreMenu);
        ASSERT_TRUE(inScoreMenu(second)) << game.standardError();
        // The log names every new best in the pass that sets it, before the menu shows.
        bests = newBestsLogged(folder);
        ASSERT_LE(bests.size(), 2u) << folder.logText();
        const bool secondIsBest = bests.size() == 2;
        if (secondIsBest) {
            EXPECT_GT(bests[1], bests[0]);
        }
        const int best = bests.back();
        EXPECT_TRUE(showsBest(second, best, secondIsBest))
            << "Best: " << best << (secondIsBest ? " - New Best!" : "") << "; the line ends at "
            << bestRow(second).right;

        ASSERT_TRUE(game.key({"Escape"}));
        EXPECT_EQ(game.waitForExit(30.0), 0) << game.standardError();
    }
    std::string onDisk = fileText(scoresFile);
    onDisk.erase(std::remove(onDisk.begin(), onDisk.end(), '\r'), onDisk.end());
    const std::vector<int> bests = newBestsLogged(folder);
    ASSERT_FALSE(bests.empty());
    const int best = bests.back();
    EXPECT_EQ(onDisk, "redavave best scores 1\n" + std::to_string(best) + " Lanes.ogg\n");

    // After a restart the song menu shows the best beside the song's position.
    GameProcess again(folder, {"-window"});
    ASSERT_NE(again.waitForWindow(pace.start), 0u) << again.standardError();
    const int cells = static_cast<int>(("Song 1 of 1   Best: " + std::to_string(best)).size());
    const Image menu = waitForPicture(again, runName + "_5_menu_after_restart", pace.start, [&](const Image& image) {
        return rowOfCells(positionRow(image), kPositionLeft, kPositionCell, cells);
    });
    EXPECT_TRUE(rowOfCells(positionRow(menu), kPositionLeft, kPositionCell, cells))
        << "Song 1 of 1   Best: " << best << "; the line ends at " << positionRow(menu).right;
    ASSERT_TRUE(again.key({"Escape"}));
    EXPECT_EQ(again.waitForExit(30.0), 0) << again.standardError();
    EXPECT_EQ(folder.logText().find("damaged"), std::string::npos) << folder.logText();
}

}  // namespace e2e
