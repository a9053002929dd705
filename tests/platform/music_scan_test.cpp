// The search for songs in the music folder.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/music_folder.h"
#include "tests/diag/working_folder.h"

namespace {

using Names = std::vector<std::string>;

class MusicListTest : public ::testing::Test {
protected:
    void song(const std::string& name) { folder.write("resources/Music/" + name, "x"); }
    static Names find() { return plat::findSongs(plat::kMusicFolder); }

    WorkingFolder folder;
};

TEST_F(MusicListTest, PatternsInOrderAnyCaseNoSubfoldersNoFoldersNoBrokenEntries) {
    for (const char* name : {"c.ogg", "b.MP3", "a.mp3", "e.Wma", "d.flac", "f.mp2", "notes.txt", "mp3", "x.mp3.bak",
                             "sub/deep.mp3"}) {
        song(name);
    }
    std::filesystem::create_directory(folder.path() / "resources/Music/folder.mp3");
#ifdef _WIN32
    // Links to files need rights a player does not have on Windows: no linked songs there.
    EXPECT_EQ(find(), (Names{"a.mp3", "b.MP3", "f.mp2", "c.ogg", "d.flac", "e.Wma"}));
#else
    std::filesystem::create_symlink("nowhere.ogg", folder.path() / "resources/Music/broken.ogg");
    std::filesystem::create_symlink("d.flac", folder.path() / "resources/Music/link.flac");
    EXPECT_EQ(find(), (Names{"a.mp3", "b.MP3", "f.mp2", "c.ogg", "d.flac", "link.flac", "e.Wma"}));
#endif
}

TEST_F(MusicListTest, OnlyFlacFilesGiveOnlyThose) {
    song("one.flac");
    song("two.flac");
    EXPECT_EQ(find(), (Names{"one.flac", "two.flac"}));
}

TEST_F(MusicListTest, EmptyOrMissingFolderGivesNothing) {
    EXPECT_TRUE(find().empty());  // missing
    song("readme.txt");
    EXPECT_TRUE(find().empty());
}

}  // namespace
