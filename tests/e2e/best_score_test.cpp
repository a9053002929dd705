// Best scores on the real game: a song played twice, its best on the Score
// menu, on disk and in the song menu after a restart; and a folder where the
// best cannot be kept, where play goes on and the menu says so.

#include <sys/mount.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "tests/e2e/best_score_run.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/tree_snapshot.h"

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

// Plays "Short.ogg" (a low tone from start to end: no object, a score of 0,
// a first best) in the game started in `workingFolder`, where its best cannot
// be kept: the Score menu says so, the log has `notKeptLine`, and play goes
// on (Space replays) until Escape quits. Screenshots are kept as <run>_*.
void playABestThatIsNotKept(GameFolder& folder, const fs::path& workingFolder, const std::string& notKeptLine,
                            const std::string& run) {
    std::string error;
    ASSERT_TRUE(fixtures::writeSong((folder.musicFolder() / "Short.ogg").string(), fixtures::AudioFormat::Ogg,
                                   fixtures::tone(30.0, 2.0), &error))
        << error;
    Launch launch;
    launch.workingFolder = workingFolder;
    GameProcess game(folder, {"-window"}, launch);
    ASSERT_NE(game.waitForWindow(), 0u) << game.standardError();
    ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio")) << folder.logText();
    waitForPicture(game, run + "_menu", 10.0, [](const Image& image) { return !positionRow(image).empty(); });
    ASSERT_TRUE(game.key({"Return"}));

    const std::string notKept = "Best: 0 - New Best! - Could Not Be Saved!";
    const Image score = waitForPicture(game, run + "_score", 30.0, [&](const Image& image) {
        return inScoreMenu(image) && rowOfCells(bestRow(image), bestLineLeft(image), 20, 41);
    });
    EXPECT_TRUE(rowOfCells(bestRow(score), bestLineLeft(score), 20, static_cast<int>(notKept.size())))
        << notKept << "; the line ends at " << bestRow(score).right;
    EXPECT_THAT(folder.logText(), ::testing::HasSubstr("#New Best Score: 0 for Short.ogg"));
    EXPECT_THAT(folder.logText(), ::testing::HasSubstr(notKeptLine));

    ASSERT_TRUE(game.key({"space"}));
    EXPECT_TRUE(playing(waitForPicture(game, run + "_replaying", 10.0, playing)));
    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(30.0), 0) << game.standardError();
}

TEST_F(BestScoreTest, InAFolderThatCannotBeWrittenPlayGoesOnAndTheMenuSaysTheBestWasNotKept) {
    ReadOnlyFolder readOnly(folder.path());
    if (!readOnly.ready()) {
        GTEST_SKIP() << "a read-only bind mount needs root (CAP_SYS_ADMIN)";
    }
    playABestThatIsNotKept(folder, readOnly.path(),
                           "Best score not kept: cannot create best-scores.txt.lock: Read-only file system",
                           "best_score_read_only");
    EXPECT_FALSE(fs::exists(folder.path() / "best-scores.txt"));
}

// A scores file the game must leave exactly as it is: a link into a folder
// that is not there yet (a synced folder not mounted), and a newer version's
// file. The link, or the file byte for byte, is as it was after a whole game
// with a new best, and nothing was made beside it.
TEST_F(BestScoreTest, AScoresFileThatIsNotOursToWriteIsLeftAsItIsAndTheMenuSaysTheBestWasNotKept) {
    struct Case {
        const char* run;
        void (*make)(const fs::path& scores);
        const char* notKeptLine;
    };
    const Case cases[] = {
        {"best_score_dangling_link",
         [](const fs::path& scores) { fs::create_symlink(scores.parent_path() / "Synced" / "scores.txt", scores); },
         "Best score not kept: best-scores.txt is a link to "},
        {"best_score_newer_version",
         [](const fs::path& scores) {
             std::ofstream(scores, std::ios::binary) << "redavave best scores 2\n12 Short.ogg as it means it\n";
         },
         "Best score not kept: best-scores.txt is from a newer version of the game"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.run);
        GameFolder world;
        const fs::path scores = world.path() / "best-scores.txt";
        c.make(scores);
        // The scores file and whatever the game would make beside it or
        // where the link leads (a lock, a temporary file, a damaged copy).
        const auto scoresFiles = [&world] {
            testworld::TreeSnapshot tree = testworld::snapshotTree(world.path());
            for (auto it = tree.begin(); it != tree.end();) {
                const bool kept = it->first.rfind("best-scores", 0) == 0 || it->first.rfind("Synced", 0) == 0;
                it = kept ? std::next(it) : tree.erase(it);
            }
            return tree;
        };
        const testworld::TreeSnapshot before = scoresFiles();
        ASSERT_EQ(before.size(), 1u);
        playABestThatIsNotKept(world, world.path(), c.notKeptLine, c.run);
        EXPECT_EQ(scoresFiles(), before);
    }
}

}  // namespace
