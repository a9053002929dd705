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

TEST(HomeFolderTest, SongNamesAreTheGamesFiveTypesInAnyCase) {
    // The same test as the menu's song search, which takes a bare ".mp3" too.
    for (const char* name : {"a.mp3", "b.MP2", "c.Ogg", "d.flac", "e.WMA", "f.g.mp3", ".mp3"}) {
        EXPECT_TRUE(plat::isSongName(name)) << name;
    }
    for (const char* name : {"a.txt", "mp3", "a.mp3.part", "a.flacx", "a."}) {
        EXPECT_FALSE(plat::isSongName(name)) << name;
    }
}

TEST_F(HomeTree, EachStartLinksThePlayersSongsInPlaceOfThePreviousOnes) {
    const fs::path installed = install("usr");
    const fs::path work = root / "data" / "redavave";
    const fs::path music = work / "resources" / "Music";
    touch(root / "Music" / "a.mp3");
    touch(root / "Music" / "B.FLAC");
    touch(root / "Music" / "cover.jpg");
    touch(root / "Music" / "Album" / "deep.mp3");
    fs::create_directories(root / "Music" / "folder.ogg");  // a folder is no song

    std::vector<std::string> notes;
    ASSERT_TRUE(prepare(installed, work, root / "Music", false, notes));
    EXPECT_EQ(listing(work / "resources"), (std::set<std::string>{"Music", "Sounds@", "Textures@"}));
    EXPECT_EQ(fs::read_symlink(work / "resources" / "Textures"), installed / "Textures");
    EXPECT_TRUE(fs::exists(work / "resources" / "Textures" / "World" / "car.tga"));
    EXPECT_EQ(listing(music), (std::set<std::string>{"a.mp3@", "B.FLAC@"}));
    EXPECT_EQ(fs::read_symlink(music / "a.mp3"), root / "Music" / "a.mp3");
    EXPECT_THAT(notes, Contains("#Music Folder: " + (root / "Music").string() + " (2 songs linked)"));

    // The next start with another folder: the old links go, a song the player
    // copied in stays, and a name it already has is not linked over it.
    touch(music / "copied.ogg");
    touch(root / "Other" / "c.ogg");
    touch(root / "Other" / "copied.ogg");
    notes.clear();
    ASSERT_TRUE(prepare(installed, work, root / "Other", false, notes));
    EXPECT_EQ(listing(music), (std::set<std::string>{"c.ogg@", "copied.ogg"}));
    EXPECT_THAT(notes, Contains("#Music Folder: " + (root / "Other").string() + " (1 songs linked)"));
}

TEST_F(HomeTree, WithNoSongsAnywhereTheDemoSongsAreLinked) {
    const fs::path installed = install("usr");
    const fs::path work = root / "data" / "redavave";
    const fs::path music = work / "resources" / "Music";
    const std::set<std::string> demo = {"Demo One.mp3@", "Demo Two.ogg@"};
    fs::create_directories(root / "Empty");

    std::vector<std::string> notes;
    ASSERT_TRUE(prepare(installed, work, root / "Empty", false, notes));
    EXPECT_EQ(listing(music), demo);
    EXPECT_THAT(notes, Contains("#Demo Songs: 2 linked"));

    // A missing default folder is no error; a folder the player named is.
    notes.clear();
    ASSERT_TRUE(prepare(installed, work, root / "Nowhere", false, notes));
    EXPECT_EQ(listing(music), demo);
    EXPECT_THAT(notes, Contains("#Music Folder: " + (root / "Nowhere").string() + " does not exist"));
    notes.clear();
    ASSERT_TRUE(prepare(installed, work, root / "Typo", true, notes));
    EXPECT_EQ(listing(music), demo);
    EXPECT_THAT(notes, Contains(HasSubstr((root / "Typo").string() + " named by REDAVAVE_MUSIC does not exist")));

    // Once the player has songs, the demo songs step aside.
    touch(root / "Empty" / "mine.wma");
    ASSERT_TRUE(prepare(installed, work, root / "Empty", false, notes));
    EXPECT_EQ(listing(music), (std::set<std::string>{"mine.wma@"}));
}

TEST_F(HomeTree, LinksFollowTheInstallationAndLeaveThePlayersOwnFolders) {
    const fs::path oldInstall = install("old");
    const fs::path newInstall = install("new");
    const fs::path work = root / "data" / "redavave";
    std::vector<std::string> notes;
    ASSERT_TRUE(prepare(oldInstall, work, root / "Music", false, notes));
    // The player's own Sounds folder in place of the link.
    fs::remove(work / "resources" / "Sounds");
    touch(work / "resources" / "Sounds" / "blockHit.mp3");

    ASSERT_TRUE(prepare(newInstall, work, root / "Music", false, notes));
    EXPECT_EQ(fs::read_symlink(work / "resources" / "Textures"), newInstall / "Textures");
    EXPECT_FALSE(fs::is_symlink(work / "resources" / "Sounds"));
    EXPECT_EQ(fs::read_symlink(work / "resources" / "Music" / "Demo One.mp3"), newInstall / "Music" / "Demo One.mp3");
}

TEST_F(HomeTree, AnUnwritableHomeIsReported) {
    const fs::path installed = install("usr");
    touch(root / "data");  // a file where the folder should be
    std::vector<std::string> notes;
    EXPECT_FALSE(prepare(installed, root / "data" / "redavave", root / "Music", false, notes));
    EXPECT_THAT(notes, Contains(HasSubstr("Could not create the game folder")));
}

}  // namespace
