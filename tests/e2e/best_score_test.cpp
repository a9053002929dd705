// Best scores on the real game: a song played twice, its best on the Score
// menu, on disk and in the song menu after a restart; and a folder where the
// best cannot be kept, where play goes on and the menu says so.

#include <sys/mount.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "tests/e2e/best_score_run.h"
#include "tests/support/audio_fixtures.h"

namespace {

using namespace e2e;
namespace fs = std::filesystem;

class BestScoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display (DISPLAY is unset); the test command starts Xvfb";
        }
    }
    GameFolder folder;
};

TEST_F(BestScoreTest, ASongPlayedTwiceKeepsItsBestOnScreenOnDiskAndAfterARestart) {
    playTwiceAndRestart(folder, "best_score");
}

// The game's folder seen read-only through a bind mount, its log.txt bound in
// writable on top, so the game can log but make no file.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const fs::path& folder) : view_(folder.string() + "-read-only") {
        std::ofstream(folder / "log.txt", std::ios::app).flush();
        fs::create_directories(view_);
        const std::string from = folder.string(), to = view_.string();
        mounted_ = mount(from.c_str(), to.c_str(), nullptr, MS_BIND, nullptr) == 0;
        readOnly_ = mounted_ &&
                    mount(nullptr, to.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
        logBound_ = readOnly_ && mount((folder / "log.txt").c_str(), (view_ / "log.txt").c_str(), nullptr,
                                       MS_BIND, nullptr) == 0;
    }
    ~ReadOnlyFolder() {
        if (logBound_) {
            umount((view_ / "log.txt").c_str());
        }
        if (mounted_) {
            umount(view_.c_str());
        }
        std::error_code ignored;
        fs::remove(view_, ignored);
    }
    bool ready() const { return logBound_; }
    const fs::path& path() const { return view_; }

private:
    fs::path view_;
    bool mounted_ = false, readOnly_ = false, logBound_ = false;
};

TEST_F(BestScoreTest, InAFolderThatCannotBeWrittenPlayGoesOnAndTheMenuSaysTheBestWasNotKept) {
    std::string error;
    ASSERT_TRUE(fixtures::writeSong((folder.musicFolder() / "Short.ogg").string(), fixtures::AudioFormat::Ogg,
                                   fixtures::tone(30.0, 2.0), &error))
        << error;
    ReadOnlyFolder readOnly(folder.path());
    if (!readOnly.ready()) {
        GTEST_SKIP() << "a read-only bind mount needs root (CAP_SYS_ADMIN)";
    }
    Launch launch;
    launch.workingFolder = readOnly.path();
    GameProcess game(folder, {"-window"}, launch);
    ASSERT_NE(game.waitForWindow(), 0u) << game.standardError();
    ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio")) << folder.logText();
    waitForPicture(game, "best_score_read_only_menu", 10.0,
                   [](const Image& image) { return !positionRow(image).empty(); });
    ASSERT_TRUE(game.key({"Return"}));

    // A low tone from start to end makes no object: the score is 0, a first best, not kept.
    const std::string notKept = "Best: 0 - New Best! - Could Not Be Saved!";
    const Image score = waitForPicture(game, "best_score_read_only_score", 30.0, [&](const Image& image) {
        return inScoreMenu(image) && rowOfCells(bestRow(image), bestLineLeft(image), 20, 41);
    });
    EXPECT_TRUE(rowOfCells(bestRow(score), bestLineLeft(score), 20, static_cast<int>(notKept.size())))
        << notKept << "; the line ends at " << bestRow(score).right;
    EXPECT_THAT(folder.logText(), ::testing::HasSubstr("#New Best Score: 0 for Short.ogg"));
    EXPECT_THAT(folder.logText(), ::testing::HasSubstr("Best score not kept: cannot create best-scores.txt.lock: "
                                                       "Read-only file system"));

    // Play goes on: Space replays the song.
    ASSERT_TRUE(game.key({"space"}));
    EXPECT_TRUE(playing(waitForPicture(game, "best_score_read_only_replaying", 10.0, playing)));
    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(30.0), 0) << game.standardError();
    EXPECT_FALSE(fs::exists(folder.path() / "best-scores.txt"));
}

}  // namespace
