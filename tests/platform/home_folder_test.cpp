// The installed game's folder in the player's home: where the songs are
// taken from, and how the working folder's resources tree is kept.

#include "platform/home_folder.h"
#include "platform/music_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "tests/support/temp_resources.h"
#include "tests/support/tree_snapshot.h"

namespace {

namespace fs = std::filesystem;
using plat::home::prepare;
using ::testing::Contains;
using ::testing::HasSubstr;

TEST(HomeFolderTest, MusicFolderFromUserDirs) {
    const fs::path home = "/home/ana";
    struct Case {
        const char* text;
        fs::path expected;
    } cases[] = {
        {"XDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_MUSIC_DIR=\"$HOME/Musik\"\n", "/home/ana/Musik"},
        {"# written by xdg-user-dirs-update\n  XDG_MUSIC_DIR=\"/data/Songs and Such\"  \n", "/data/Songs and Such"},
        {"XDG_MUSIC_DIR=\"$HOME/My \\\"Best\\\" Songs\"\n", "/home/ana/My \"Best\" Songs"},
        {"XDG_MUSIC_DIR=\"$HOME/Old\"\nXDG_MUSIC_DIR=\"$HOME/New\"\n", "/home/ana/New"},  // the last one counts
        {"XDG_MUSIC_DIR=\"$HOME/\"\n", ""},       // the home folder itself: no music folder
        {"XDG_MUSIC_DIR=\"$HOME\"\n", ""},
        {"XDG_MUSIC_DIR=\"Music\"\n", ""},        // relative paths are not allowed
        {"XDG_MUSIC_DIR=$HOME/Music\n", ""},      // unquoted
        {"XDG_MUSIC_DIRX=\"$HOME/Music\"\n", ""},
        {"XDG_VIDEOS_DIR=\"$HOME/Videos\"\n", ""},
        {"XDG_MUSIC_DIR=\"$HOMEWORK/Music\"\n", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(plat::home::xdgMusicDir(c.text, home), c.expected) << c.text;
    }
}

class HomeTree : public ::testing::Test {
protected:
    HomeTree() {
        root = testworld::makeTempFolder("home");
    }
    ~HomeTree() override {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    static void touch(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    }

    // The names in a folder, each with "@" after it when it is a link.
    static std::set<std::string> listing(const fs::path& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.insert(entry.path().filename().string() + (entry.is_symlink() ? "@" : ""));
        }
        return names;
    }

    // An installed tree: textures, sounds and two demo songs.
    fs::path install(const std::string& prefix) {
        const fs::path resources = root / prefix / "share" / "redavave" / "resources";
        touch(resources / "Textures" / "World" / "car.tga");
        touch(resources / "Sounds" / "blockHit.mp3");
        touch(resources / "Music" / "Demo One.mp3");
        touch(resources / "Music" / "Demo Two.ogg");
        fs::create_directories(root / prefix / "games");
        return resources;
    }

    fs::path root;
};

TEST_F(HomeTree, InstalledResourcesAreFoundFromTheExecutablesFolder) {
    const fs::path resources = install("usr");
    EXPECT_EQ(plat::home::installedResources(root / "usr" / "games"), resources);
    EXPECT_EQ(plat::home::installedResources(root / "usr" / "bin"), resources);
    EXPECT_EQ(plat::home::installedResources(root / "build" / "run"), fs::path());
}

TEST_F(HomeTree, MusicAndWorkingFolderChoice) {
    const std::string home = (root / "ana").string();
    touch(root / "ana" / ".config" / "user-dirs.dirs");
    std::ofstream(root / "ana" / ".config" / "user-dirs.dirs") << "XDG_MUSIC_DIR=\"$HOME/Musik\"\n";
    touch(root / "cfg" / "user-dirs.dirs");
    std::ofstream(root / "cfg" / "user-dirs.dirs") << "XDG_MUSIC_DIR=\"/srv/tunes\"\n";
    const std::string config = (root / "cfg").string();

    EXPECT_EQ(plat::home::playerMusicFolder("/mnt/songs", nullptr, home.c_str()), "/mnt/songs");
    EXPECT_EQ(plat::home::playerMusicFolder("", nullptr, home.c_str()), root / "ana" / "Musik");
    EXPECT_EQ(plat::home::playerMusicFolder(nullptr, config.c_str(), home.c_str()), "/srv/tunes");
    EXPECT_EQ(plat::home::playerMusicFolder(nullptr, "relative", home.c_str()), root / "ana" / "Musik");
    EXPECT_EQ(plat::home::playerMusicFolder(nullptr, nullptr, "/home/bo"), "/home/bo/Music");  // no user-dirs.dirs

    EXPECT_EQ(plat::home::workingFolder("/data/xdg", "/home/bo"), "/data/xdg/redavave");
    EXPECT_EQ(plat::home::workingFolder("", "/home/bo"), "/home/bo/.local/share/redavave");
    EXPECT_EQ(plat::home::workingFolder("rel", "/home/bo"), "/home/bo/.local/share/redavave");
    EXPECT_EQ(plat::home::workingFolder(nullptr, nullptr), fs::path());
}

TEST(HomeFolderTest, SongNamesAreTheGamesTypesInAnyCase) {
    // The same test as the menu's song search, which takes a bare ".mp3" too.
    for (const char* name : {"a.mp3", "b.MP2", "c.Ogg", "d.flac", "e.WMA", "f.g.mp3", ".mp3", "h.m4a", "i.AAC",
                             "j.opus", "k.wav", "l.aif", "m.Aiff"}) {
        EXPECT_TRUE(plat::isSongName(name)) << name;
    }
    for (const char* name : {"a.txt", "mp3", "a.mp3.part", "a.flacx", "a.", "a.mp4", "a.m4v", "a.aiffc"}) {
        EXPECT_FALSE(plat::isSongName(name)) << name;
    }
}

// The player's folder is searched where it lies: nothing is linked to songs,
// whatever their number, and nothing of the player's changes.
TEST_F(HomeTree, ThePlayersFolderIsSearchedWhereItLies) {
    const fs::path installed = install("usr");
    const fs::path work = root / "data" / "redavave";
    touch(root / "Music" / "a.mp3");
    touch(root / "Music" / "Artist" / "Album" / "deep.flac");
    const testworld::TreeSnapshot before = testworld::snapshotTree(root / "Music");

    std::vector<std::string> notes;
    plat::MusicFolders music;
    ASSERT_TRUE(prepare(installed, work, root / "Music", false, notes, music));
    EXPECT_EQ(listing(work / "resources"), (std::set<std::string>{"Music", "Sounds@", "Textures@"}));
    EXPECT_EQ(fs::read_symlink(work / "resources" / "Textures"), installed / "Textures");
    EXPECT_TRUE(fs::exists(work / "resources" / "Textures" / "World" / "car.tga"));
    EXPECT_TRUE(listing(work / "resources" / "Music").empty());
    EXPECT_EQ(music.folders, (std::vector<std::string>{"resources/Music", (root / "Music").string()}));
    EXPECT_EQ(music.demoFolder, (installed / "Music").string());
    EXPECT_THAT(notes, Contains("#Music Folder: " + (root / "Music").string()));
    EXPECT_EQ(testworld::snapshotTree(root / "Music"), before);

    // A missing default folder is no error; a folder the player named is.
    notes.clear();
    ASSERT_TRUE(prepare(installed, work, root / "Nowhere", false, notes, music));
    EXPECT_EQ(music.folders, (std::vector<std::string>{"resources/Music"}));
    EXPECT_THAT(notes, Contains("#Music Folder: " + (root / "Nowhere").string() + " does not exist"));
    notes.clear();
    ASSERT_TRUE(prepare(installed, work, root / "Typo", true, notes, music));
    EXPECT_THAT(notes, Contains(HasSubstr((root / "Typo").string() + " named by REDAVAVE_MUSIC does not exist")));
}

// Earlier versions linked every song into the game's Music folder. Those links
// go; the player's own links and copied songs there stay.
TEST_F(HomeTree, OnlyTheSongLinksOfEarlierStartsGo) {
    const fs::path installed = install("usr");
    const fs::path work = root / "data" / "redavave";
    const fs::path music = work / "resources" / "Music";
    touch(root / "Music" / "a.mp3");
    touch(root / "Albums" / "x.mp3");
    touch(music / "copied.ogg");
    fs::create_symlink(root / "Music" / "a.mp3", music / "a.mp3");                         // made by the game
    fs::create_symlink(installed / "Music" / "Demo One.mp3", music / "Demo One.mp3");      // made by the game
    fs::create_symlink("../../../../Albums/x.mp3", music / "fav.mp3");                      // the player's
    fs::create_symlink(root / "Albums" / "x.mp3", music / "x.mp3");                         // the player's
    fs::create_symlink(root / "Music" / "a.mp3", music / "renamed.mp3");                    // the player's
    fs::create_symlink(root / "Albums", music / "Albums");                                  // the player's

    std::vector<std::string> notes;
    plat::MusicFolders folders;
    ASSERT_TRUE(prepare(installed, work, root / "Music", false, notes, folders));
    EXPECT_EQ(listing(music), (std::set<std::string>{"copied.ogg", "fav.mp3@", "x.mp3@", "renamed.mp3@", "Albums@"}));
}

// A player who made the game's Music folder a link to their own folder keeps
// every link in it, even those that look like the game's.
TEST_F(HomeTree, NothingIsRemovedThroughALinkedMusicFolder) {
    const fs::path installed = install("usr");
    const fs::path work = root / "data" / "redavave";
    touch(root / "Albums" / "x.mp3");
    touch(root / "Music" / "a.mp3");
    fs::create_symlink("../Albums/x.mp3", root / "Music" / "fav.mp3");
    fs::create_symlink(root / "Music" / "a.mp3", root / "Music" / "Keep" );
    fs::create_directories(root / "Elsewhere");
    fs::create_symlink(root / "Music" / "a.mp3", root / "Elsewhere" / "a.mp3");
    fs::create_symlink(installed / "Music" / "Demo One.mp3", root / "Music" / "Demo One.mp3");
    fs::create_directories(work / "resources");
    fs::create_symlink(root / "Music", work / "resources" / "Music");
    const testworld::TreeSnapshot before = testworld::snapshotTree(root / "Music");

    std::vector<std::string> notes;
    plat::MusicFolders music;
    ASSERT_TRUE(prepare(installed, work, root / "Music", false, notes, music));
    EXPECT_EQ(testworld::snapshotTree(root / "Music"), before);
    // Both ways to the one folder give its songs once.
    EXPECT_EQ(plat::findSongs(std::vector<std::string>{(work / "resources" / "Music").string(),
                                                       (root / "Music").string()})
                  .names,
              (std::vector<std::string>{"a.mp3", "Demo One.mp3", "fav.mp3"}));
}

TEST_F(HomeTree, LinksFollowTheInstallationAndLeaveThePlayersOwnFolders) {
    const fs::path oldInstall = install("old");
    const fs::path newInstall = install("new");
    const fs::path work = root / "data" / "redavave";
    std::vector<std::string> notes;
    plat::MusicFolders music;
    ASSERT_TRUE(prepare(oldInstall, work, root / "Music", false, notes, music));
    // The player's own Sounds folder in place of the link, and their own Textures link.
    fs::remove(work / "resources" / "Sounds");
    touch(work / "resources" / "Sounds" / "blockHit.mp3");
    touch(root / "MyTextures" / "World" / "car.tga");
    fs::remove(work / "resources" / "Textures");
    fs::create_symlink(root / "MyTextures", work / "resources" / "Textures");
    ASSERT_TRUE(prepare(newInstall, work, root / "Music", false, notes, music));
    EXPECT_FALSE(fs::is_symlink(work / "resources" / "Sounds"));
    EXPECT_EQ(fs::read_symlink(work / "resources" / "Textures"), root / "MyTextures");

    fs::remove(work / "resources" / "Textures");
    fs::create_symlink(oldInstall / "Textures", work / "resources" / "Textures");
    ASSERT_TRUE(prepare(newInstall, work, root / "Music", false, notes, music));
    EXPECT_EQ(fs::read_symlink(work / "resources" / "Textures"), newInstall / "Textures");
    EXPECT_EQ(music.demoFolder, (newInstall / "Music").string());
}

// Where links cannot be made, the log says why, once.
TEST_F(HomeTree, ALinkThatCannotBeMadeIsExplainedOnce) {
    const fs::path installed = install("usr");
    const fs::path work = root / "data" / "redavave";
    fs::create_directories(work / "resources" / "Music");
    testworld::AsPlayer::letEveryoneIn(root);
    fs::permissions(work / "resources", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                            fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    std::vector<std::string> notes;
    plat::MusicFolders music;
    {
        testworld::AsPlayer player;
        EXPECT_FALSE(prepare(installed, work, root / "Music", false, notes, music));
    }
    fs::permissions(work / "resources", fs::perms::owner_all);
    int explained = 0;
    for (const std::string& note : notes) {
        explained += note.find("Could not link") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(explained, 1);
    EXPECT_THAT(notes, Contains(HasSubstr("Permission denied")));
}

TEST_F(HomeTree, AnUnwritableHomeIsReported) {
    const fs::path installed = install("usr");
    touch(root / "data");  // a file where the folder should be
    std::vector<std::string> notes;
    plat::MusicFolders music;
    EXPECT_FALSE(prepare(installed, root / "data" / "redavave", root / "Music", false, notes, music));
    EXPECT_THAT(notes, Contains(HasSubstr("Could not create the game folder")));
}

}  // namespace
