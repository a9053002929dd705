// The search for songs in the music folder.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/music_folder.h"
#include "tests/diag/working_folder.h"
#include "tests/support/tree_snapshot.h"

namespace {

using Names = std::vector<std::string>;

class MusicListTest : public ::testing::Test {
protected:
    void song(const std::string& name) { folder.write("resources/Music/" + name, "x"); }
    static Names find() { return plat::findSongs(plat::kMusicFolder); }

    WorkingFolder folder;
};

// A flat folder of the five formats lists as it always has.
TEST_F(MusicListTest, PatternsInOrderAnyCaseNoFoldersNoBrokenEntries) {
    for (const char* name : {"c.ogg", "b.MP3", "a.mp3", "C.mp3", "e.Wma", "d.flac", "f.mp2", "notes.txt", "mp3",
                             "x.mp3.bak"}) {
        song(name);
    }
    std::filesystem::create_directory(folder.path() / "resources/Music/folder.mp3");
#ifdef _WIN32
    // Links to files need rights a player does not have on Windows: no linked songs there.
    EXPECT_EQ(find(), (Names{"a.mp3", "b.MP3", "C.mp3", "f.mp2", "c.ogg", "d.flac", "e.Wma"}));
#else
    std::filesystem::create_symlink("nowhere.ogg", folder.path() / "resources/Music/broken.ogg");
    std::filesystem::create_symlink("d.flac", folder.path() / "resources/Music/link.flac");
    EXPECT_EQ(find(), (Names{"a.mp3", "b.MP3", "C.mp3", "f.mp2", "c.ogg", "d.flac", "link.flac", "e.Wma"}));
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

namespace {

namespace fs = std::filesystem;

// Songs in folders, the way players keep them, one layout a row: what the
// menu lists, in which order, and the log lines of the search.
#ifndef _WIN32
TEST_F(MusicListTest, LayoutsOfAPlayersLibrary) {
    const fs::path music = folder.path() / "resources/Music";
    struct Layout {
        const char* what;
        std::vector<const char*> songs;                    // files written
        std::vector<std::pair<const char*, const char*>> links;  // link -> target, below the music folder
        std::vector<const char*> lockedFolders;            // no rights at all
        Names expected;
        Names notes;
    };
    const Layout layouts[] = {
        {"three deep, the same name in two albums, case-blind order",
         {"Some Artist/Second Album/01 - Intro.mp3", "Some Artist/First Album/02 - Song.mp3",
          "Some Artist/First Album/01 - Intro.mp3", "other/Live/CD 1/01 - Intro.mp3", "loose.mp3", "b.mp3", "A.mp3",
          "C.mp3"},
         {},
         {},
         {"A.mp3", "b.mp3", "C.mp3", "loose.mp3", "other/Live/CD 1/01 - Intro.mp3",
          "Some Artist/First Album/01 - Intro.mp3", "Some Artist/First Album/02 - Song.mp3",
          "Some Artist/Second Album/01 - Intro.mp3"},
         {}},
        {"dot folders and system folders are passed over",
         {".hidden/x.mp3", "$RECYCLE.BIN/S-1-5-21/y.mp3", "System Volume Information/z.mp3", "Artist/.git/q.ogg",
          "Artist/kept.ogg"},
         {},
         {},
         {"Artist/kept.ogg"},
         {}},
        {"a link loop and two links to one album: each folder once",
         {"Albums/X/01.ogg", "Albums/X/02.ogg"},
         {{"Albums/X/again", ".."}, {"Best", "Albums/X"}, {"Favourites", "Albums/X"}},
         {},
         {"Albums/X/01.ogg", "Albums/X/02.ogg"},
         {}},
        {"a folder named like a song is walked, a broken link is no song",
         {"Album.flac/t.flac"},
         {{"gone.flac", "nowhere.flac"}, {"Gone Album", "nowhere"}},
         {},
         {"Album.flac/t.flac"},
         {}},
        {"every format, grouped by kind",
         {"A/w.aiff", "A/x.AIF", "A/v.wav", "A/o.opus", "A/n.aac", "A/m.m4a", "A/e.wma", "A/d.flac", "A/c.ogg",
          "A/b.mp2", "A/a.mp3", "A/cover.jpg", "A/notes.m4a.txt"},
         {},
         {},
         {"A/a.mp3", "A/b.mp2", "A/c.ogg", "A/d.flac", "A/e.wma", "A/m.m4a", "A/n.aac", "A/o.opus", "A/v.wav",
          "A/w.aiff", "A/x.AIF"},
         {}},
        {"an unreadable folder is left out with one line",
         {"Locked/a.mp3", "Locked/Deeper/b.mp3", "Open/c.mp3"},
         {},
         {"Locked"},
         {"Open/c.mp3"},
         {"Could not read the folder resources/Music/Locked: Permission denied"}},
    };
    testworld::AsPlayer::letEveryoneIn(folder.path());
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.what);
        fs::remove_all(music);
        fs::create_directories(music);
        for (const char* name : layout.songs) {
            song(name);
        }
        for (const auto& [link, target] : layout.links) {
            fs::create_symlink(target, music / link);
        }
        for (const char* locked : layout.lockedFolders) {
            fs::permissions(music / locked, fs::perms::none);
        }
        const testworld::TreeSnapshot before = testworld::snapshotTree(music);
        plat::SongList list;
        {
            testworld::AsPlayer player;
            list = plat::findSongs(std::vector<std::string>{plat::kMusicFolder});
        }
        EXPECT_EQ(list.names, layout.expected);
        ASSERT_EQ(list.files.size(), list.names.size());
        for (std::size_t i = 0; i < list.names.size(); ++i) {
            EXPECT_EQ(list.files[i], std::string(plat::kMusicFolder) + "/" + list.names[i]);
        }
        EXPECT_EQ(list.notes, layout.notes);
        EXPECT_EQ(testworld::snapshotTree(music), before);
        for (const char* locked : layout.lockedFolders) {
            fs::permissions(music / locked, fs::perms::owner_all);
        }
    }
}
#endif

// The game's own folder and the player's: songs grouped by kind across both,
// each opened where it lies, a name both give listed once, and a folder named
// twice walked once.
TEST_F(MusicListTest, SeveralFoldersShareOneMenu) {
    song("copied.ogg");
    song("mine.mp3");
    folder.write("Player/Artist/Album/01.mp3", "x");
    folder.write("Player/Artist/Album/02.ogg", "x");
    folder.write("Player/mine.mp3", "x");  // also copied into the game's folder: listed once, from there
    const std::string player = (folder.path() / "Player").u8string();
    const plat::SongList list = plat::findSongs({plat::kMusicFolder, player, player + "/Artist"});
    EXPECT_EQ(list.names, (Names{"mine.mp3", "Artist/Album/01.mp3", "copied.ogg", "Artist/Album/02.ogg"}));
    EXPECT_EQ(list.files, (Names{"resources/Music/mine.mp3", player + "/Artist/Album/01.mp3",
                                 "resources/Music/copied.ogg", player + "/Artist/Album/02.ogg"}));
    EXPECT_TRUE(list.notes.empty());
}

#ifdef _WIN32
// NTFS keeps names that are no UTF-16 (a lone surrogate; wine makes none, so
// the names are given here as the folder's listing gives them): such a file or
// folder is left out with a log line that shows a replacement mark where the
// lone surrogate is; other names, in any script, are taken whole.
TEST(SongSearchNameTest, NamesThatAreNoUnicodeAreLeftOutWithALine) {
    struct Case {
        const wchar_t* wide;
        std::string name;
        std::string note;
    };
    const Case cases[] = {
        {L"odd\xD800.mp3", "", "Left out a name in M/A that is not valid Unicode: odd\xEF\xBF\xBD.mp3"},
        {L"Album \xDC00", "", "Left out a name in M/A that is not valid Unicode: Album \xEF\xBF\xBD"},
        {L"\xDC00\xD800.ogg", "", "Left out a name in M/A that is not valid Unicode: \xEF\xBF\xBD\xEF\xBF\xBD.ogg"},
        {L"\u00DCber \U0001F3B5.flac", "\xC3\x9C" "ber \xF0\x9F\x8E\xB5.flac", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.empty() ? c.note : c.name);
        std::string note;
        EXPECT_EQ(plat::songSearchName(c.wide, "M/A", note), c.name);
        EXPECT_EQ(note, c.note);
    }
}
#endif

}  // namespace
