// The real game on music folders as players have them: names with quotes,
// percent signs, brackets, accents, CJK and emoji; a linked folder and linked
// songs; songs cut short, with garbage in the middle, or next to nothing; and
// files that cannot be played at all or vanish before they are chosen. Every
// song that can be played is played from the menu to its Score screen.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/e2e/game_process.h"
#include "tests/e2e/menu_walk.h"
#include "tests/e2e/pictures.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/tree_snapshot.h"

namespace {

using namespace e2e;
using fixtures::AudioFormat;
namespace fs = std::filesystem;


class MusicFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display (DISPLAY is unset); the test command starts Xvfb";
        }
    }

    void write(const fs::path& path, AudioFormat format, double seconds, double frequency = 220.0) {
        std::string error;
        ASSERT_TRUE(fixtures::writeSong(path.string(), format, fixtures::tone(frequency, seconds), &error)) << error;
    }

    static std::string read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void overwrite(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }

    // Plays `songs`, the menu's songs in its order, each to its Score screen,
    // and ends the game cleanly with Escape.
    void playEachToItsScore(const std::string& run, const std::vector<MenuSong>& songs) {
        GameProcess game(folder, {"-window"});
        ASSERT_NE(game.waitForWindow(), 0u) << game.standardError();
        ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio")) << folder.logText();
        EXPECT_THAT(folder.logText(), ::testing::Not(::testing::HasSubstr("Could Not Find Any Music!")));
        e2e::playEachToItsScore(game, run, songs);
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(game.key({"Escape"}));
        EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();
        EXPECT_THAT(folder.logText(), ::testing::Not(::testing::HasSubstr("FMOD error"))) << folder.logText();
        EXPECT_EQ(folder.logLines().back(), "Unloaded Window OK!");
    }

    // Starts the game with `prepare` run once the menu is up, presses Enter on
    // the first song, and expects the sound error box and exit code 1, with
    // the log kept whole.
    void expectUnplayable(const std::string& what, const std::function<void()>& prepare = [] {}) {
        SCOPED_TRACE(what);
        GameProcess game(folder, {"-window"});
        ASSERT_NE(game.waitForWindow(), 0u) << game.standardError();
        ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio")) << folder.logText();
        ASSERT_FALSE(selectedSongRow(waitForPicture(game, what + "_menu", 10.0, [](const Image& image) {
                         return !selectedSongRow(image).empty();
                     })).empty());
        prepare();
        ASSERT_TRUE(game.key({"Return"}));
        EXPECT_EQ(game.waitForExit(20.0), 1) << "a crash or a hang instead of the box; stderr: "
                                              << game.standardError();
        EXPECT_THAT(game.standardError(), ::testing::HasSubstr("FMod Error"));
        const std::string log = folder.logText();
        EXPECT_THAT(log, ::testing::HasSubstr("#Initalized Audio")) << "the start of the log is kept";
        EXPECT_THAT(log, ::testing::ContainsRegex("#FMOD error! \\(-?[0-9]+\\) .+ / 2")) << log;
    }

    GameFolder folder;
};

TEST_F(MusicFolderTest, OddNamesInALinkedFolderArePlayedFromTheMenuToTheScore) {
    // The music folder is a link to the player's collection.
    const fs::path collection = folder.path() / "My Music";
    fs::create_directories(collection);
    fs::remove(folder.musicFolder());
    fs::create_symlink(collection, folder.musicFolder());

    const std::string quoted = "It's \"Quoted\" 100% [Live] (Mix) {1}.mp3";
    const std::string accented = "Caf\xC3\xA9 \xC3\x9Cn\xC3\xAF\x63\xC3\xB6\x64\xC3\xA9 \xE2\x80\x93 \xC3\x84rger.ogg";
    const std::string cjk = "\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C \xF0\x9F\x8E\xB5.flac";
    write(collection / quoted, AudioFormat::Mp3, 3.0);
    write(collection / accented, AudioFormat::Ogg, 3.0, 330.0);
    write(collection / cjk, AudioFormat::Flac, 3.0, 440.0);
    // A song that is a link to a file elsewhere, and a link whose file is gone.
    write(folder.path() / "elsewhere.ogg", AudioFormat::Ogg, 3.0, 550.0);
    fs::create_symlink(folder.path() / "elsewhere.ogg", collection / "Linked Song.ogg");
    fs::create_symlink(folder.path() / "gone.mp3", collection / "Dangling.mp3");

    // The menu's order: the mp3 songs, then ogg, then flac, by name in each.
    playEachToItsScore("odd_names", {{quoted, 39, 2.5}, {accented, 24, 2.5}, {"Linked Song.ogg", 15, 2.5},
                                     {cjk, 11, 2.5}});
}

TEST_F(MusicFolderTest, DamagedSongsPlayWhatTheyHoldAndEndOnTheScore) {
    const fs::path music = folder.musicFolder();
    // Cut off in the middle: half of a 6 s song is left.
    for (const auto& [name, format] : {std::pair{"Cut.mp3", AudioFormat::Mp3}, std::pair{"Cut.ogg", AudioFormat::Ogg}}) {
        write(music / name, format, 6.0);
        overwrite(music / name, read(music / name).substr(0, fs::file_size(music / name) / 2));
    }
    // Four kilobytes of garbage spliced into the middle of a 4 s song.
    write(music / "Spliced.mp3", AudioFormat::Mp3, 4.0, 330.0);
    {
        std::string bytes = read(music / "Spliced.mp3");
        std::string garbage;
        unsigned state = 12345;
        for (int i = 0; i < 4096; ++i) {
            state = state * 1103515245u + 12345u;
            garbage += static_cast<char>(state >> 24);
        }
        bytes.insert(bytes.size() / 2, garbage);
        overwrite(music / "Spliced.mp3", bytes);
    }
    // A twentieth of a second of silence: over before a picture can show the
    // play, so it comes first, where its Score screen follows the Welcome menu.
    write(music / "Blip.mp3", AudioFormat::Mp3, 0.05, 0.0);

    // An Ogg file loses its cut page whole, and the encoder's pages hold about
    // a second each, so the cut ogg keeps 2 to 3 s.
    playEachToItsScore("damaged", {{"Blip.mp3", 8, 0.0}, {"Cut.mp3", 7, 2.5}, {"Spliced.mp3", 11, 3.0},
                                   {"Cut.ogg", 7, 1.8}});
}

TEST_F(MusicFolderTest, ASongThatCannotBeOpenedGivesTheSoundErrorBoxAndExit) {
    const fs::path song = folder.musicFolder() / "Notes.mp3";
    overwrite(song, "These are the liner notes, not a song.\n");
    expectUnplayable("not_a_song");

    overwrite(song, "");
    expectUnplayable("empty_file");

    // Listed at start-up, gone when it is chosen.
    write(song, AudioFormat::Mp3, 1.0);
    expectUnplayable("vanished", [&] { fs::remove(song); });
}

}  // namespace

namespace {

// A big collection: typing the first letters of a song, or End, reaches the
// last of 2,001 songs at once, and Enter plays it to its Score screen.
TEST_F(MusicFolderTest, TypingOrEndReachesTheLastOfTwoThousandSongs) {
    for (int i = 1; i <= 2000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "Track %04d.mp3", i);
        std::ofstream(folder.musicFolder() / name);  // empty: never played here
    }
    // Long enough to be seen playing on a busy machine.
    write(folder.musicFolder() / "Zephyr.mp3", AudioFormat::Mp3, 6.0);

    GameProcess game(folder, {"-window"});
    ASSERT_NE(game.waitForWindow(), 0u) << game.standardError();
    ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio")) << folder.logText();
    // The line ends after the prefix and the name's cells.
    const auto shows = [](int cells) {
        return [cells](const Image& image) { return showsSelectedName(image, cells); };
    };
    const int kTrack = 14, kZephyr = 10;
    ASSERT_TRUE(shows(kTrack)(waitForPicture(game, "jump_1_first", 10.0, shows(kTrack))));

    ASSERT_TRUE(game.key({"z", "e", "p"}));
    ASSERT_TRUE(shows(kZephyr)(waitForPicture(game, "jump_2_typed", 5.0, shows(kZephyr))));
    ASSERT_TRUE(game.key({"Return"}));
    ASSERT_TRUE(playing(waitForPicture(game, "jump_3_playing", 5.0, playing))) << game.standardError();
    ASSERT_TRUE(inScoreMenu(waitForPicture(game, "jump_4_score", 30.0, inScoreMenu))) << game.standardError();

    ASSERT_TRUE(game.key({"Home"}));
    ASSERT_TRUE(shows(kTrack)(waitForPicture(game, "jump_5_home", 5.0, shows(kTrack))));
    ASSERT_TRUE(game.key({"End"}));
    ASSERT_TRUE(shows(kZephyr)(waitForPicture(game, "jump_6_end", 5.0, shows(kZephyr))));
    ASSERT_TRUE(game.key({"Return"}));
    ASSERT_TRUE(playing(waitForPicture(game, "jump_7_playing", 5.0, playing))) << game.standardError();
    ASSERT_TRUE(inScoreMenu(waitForPicture(game, "jump_8_score", 30.0, inScoreMenu))) << game.standardError();

    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();
    EXPECT_THAT(folder.logText(), ::testing::Not(::testing::HasSubstr("FMOD error"))) << folder.logText();
}

}  // namespace

namespace {

// The run command with a player's nested library: the song of the deepest
// folder is reached by typing the start of its artist, and played to its Score
// screen; the library is left as it was.
TEST_F(MusicFolderTest, RunCommandOffersTheSongsInTheFoldersOfItsMusicFolder) {
    const fs::path library = folder.path() / "Library";
    const std::string deep = "Bravo/Live/Disc 1/01 - Deep.opus";
    fs::create_directories(library / "Bravo" / "Live" / "Disc 1");
    fs::create_directories(library / "Bravo" / "Studio");
    fs::create_directories(library / "Alpha" / "First");
    write(library / deep, AudioFormat::Opus, 3.0, 330.0);
    write(library / "Bravo" / "Studio" / "02 - Later.wav", AudioFormat::Wav, 1.0);
    write(library / "Alpha" / "First" / "01 - Bravo.mp3", AudioFormat::Mp3, 1.0);
    const testworld::TreeSnapshot before = testworld::snapshotTree(library);

    Launch launch;
    launch.program = "/bin/bash";
    launch.environment = {"REDAVAVE_BUILD_DIR=" + std::string(REDAVAVE_BINARY_DIR), "REDAVAVE_MUSIC="};
    GameProcess game(folder, {std::string(REDAVAVE_SOURCE_DIR) + "/scripts/run.sh", "--music", library.string(),
                              "-window"},
                     launch);
    ASSERT_NE(game.waitForWindow(180.0), 0u) << game.standardError();
    const auto shows = [](int cells) {
        return [cells](const Image& image) { return showsSelectedName(image, cells); };
    };
    const int kDeep = static_cast<int>(deep.size());
    ASSERT_TRUE(game.key({"b", "r", "a", "v", "o"}));
    ASSERT_TRUE(shows(kDeep)(waitForPicture(game, "run_music_1_typed", 10.0, shows(kDeep))))
        << "\"Selected: " << deep << "\" expected";
    ASSERT_TRUE(game.key({"Return"}));
    ASSERT_TRUE(playing(waitForPicture(game, "run_music_2_playing", 5.0, playing))) << game.standardError();
    ASSERT_TRUE(inScoreMenu(waitForPicture(game, "run_music_3_score", 30.0, inScoreMenu))) << game.standardError();
    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();
    EXPECT_EQ(testworld::snapshotTree(library), before);
}

}  // namespace
