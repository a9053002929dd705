// The song search of game initialisation.

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "app/Core.h"
#include "platform/system.h"
#include "tests/diag/working_folder.h"

namespace {

class MusicListTest : public ::testing::Test {
protected:
    void SetUp() override { plat::overrideScreenSize(800, 600); }
    void TearDown() override { plat::overrideScreenSize(0, 0); }

    void song(const std::string& name) { folder.write("resources/Music/" + name, "x"); }
    bool loggedNoMusic() const {
        for (const std::string& line : folder.lines()) {
            if (line == "Could Not Find Any Music!") {
                return true;
            }
        }
        return false;
    }

    WorkingFolder folder;
    Core core;
};

TEST_F(MusicListTest, PatternsInOrderAnyCaseNoSubfoldersNoFoldersNoBrokenEntries) {
    for (const char* name : {"c.ogg", "b.MP3", "a.mp3", "e.Wma", "d.flac", "f.mp2", "notes.txt", "mp3", "x.mp3.bak",
                             "sub/deep.mp3"}) {
        song(name);
    }
    std::filesystem::create_directory(folder.path() / "resources/Music/folder.mp3");
    std::filesystem::create_symlink("nowhere.ogg", folder.path() / "resources/Music/broken.ogg");
    std::filesystem::create_symlink("d.flac", folder.path() / "resources/Music/link.flac");

    core.buildMusicList("resources/Music");
    EXPECT_EQ(core.musicList,
              (std::vector<std::string>{"a.mp3", "b.MP3", "f.mp2", "c.ogg", "d.flac", "link.flac", "e.Wma"}));
    EXPECT_EQ(core.maxSongIndex, 6);
    EXPECT_FALSE(loggedNoMusic());
}

TEST_F(MusicListTest, OnlyFlacFilesGiveOnlyThoseAndNoComplaint) {
    song("one.flac");
    song("two.flac");
    core.buildMusicList("resources/Music");
    EXPECT_EQ(core.musicList, (std::vector<std::string>{"one.flac", "two.flac"}));
    EXPECT_EQ(core.maxSongIndex, 1);
    EXPECT_FALSE(loggedNoMusic());
}

TEST_F(MusicListTest, EmptyOrMissingFolderLogsAndLeavesAnEmptyList) {
    core.buildMusicList("resources/Music");  // missing
    EXPECT_TRUE(core.musicList.empty());
    EXPECT_EQ(core.maxSongIndex, 0);
    EXPECT_TRUE(loggedNoMusic());

    std::filesystem::remove(folder.path() / "log.txt");
    song("readme.txt");
    core.buildMusicList("resources/Music");
    EXPECT_TRUE(core.musicList.empty());
    EXPECT_EQ(core.maxSongIndex, 0);
    EXPECT_TRUE(loggedNoMusic());
}

TEST_F(MusicListTest, OneSongGivesIndexZero) {
    song("Only Song.ogg");
    core.buildMusicList("resources/Music");
    EXPECT_EQ(core.musicList, (std::vector<std::string>{"Only Song.ogg"}));
    EXPECT_EQ(core.maxSongIndex, 0);
}

}  // namespace
