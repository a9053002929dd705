// The Windows game under wine, driven with real X key events as a player on
// Windows would drive it: the Welcome menu, one copy at a time, a song of each
// of the five formats under names in several scripts played to the Score
// screen, an album folder of the further formats played the same way, a best
// score kept beside the exe, and the sound error box of a song that holds
// nothing. The game runs from its own copy in each test's folder, as it would
// from an unzipped folder.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/best_score_run.h"
#include "tests/e2e/game_process.h"
#include "tests/e2e/menu_walk.h"
#include "tests/e2e/pictures.h"
#include "tests/support/audio_fixtures.h"

namespace {

using namespace e2e;
using fixtures::AudioFormat;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

// The "Selected: " line starts 40 pixels in, every character takes a cell of
// 20 pixels, and the prefix takes 10 cells.
constexpr int kLineLeft = 40, kCell = 20, kPrefixCells = 10;

class WineGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display (DISPLAY is unset); the test command starts Xvfb";
        }
    }

    void write(const std::string& name, AudioFormat format, double seconds, double frequency = 220.0) {
        std::string error;
        ASSERT_TRUE(fixtures::writeSong((folder.musicFolder() / fs::u8path(name)).string(), format,
                                       fixtures::tone(frequency, seconds), &error))
            << error;
    }

    // Waits for the window and the end of start-up. Wine's first start in a
    // fresh prefix takes a while.
    void waitForStart(GameProcess& game) {
        ASSERT_NE(game.waitForWindow(60.0), 0u) << game.standardError();
        ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio", 60.0)) << folder.logText();
    }

    GameFolder folder;
};

void expectClosingLines(const std::vector<std::string>& log) {
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "#Game Closing! - Game By Rodadi Vuzivi");
    EXPECT_EQ(log.back(), "Unloaded Window OK!");
}

TEST_F(WineGameTest, WelcomeMenuThenASecondCopyIsRefusedThenEscapeEndsCleanly) {
    write("Tone.ogg", AudioFormat::Ogg, 2.0);
    GameProcess game(folder, {"-window"});
    waitForStart(game);

    const Image welcome = waitForPicture(game, "wine_welcome_menu", 20.0, [](const Image& image) {
        return veilShare(image) > 0.3 && !selectedSongRow(image).empty();
    });
    ASSERT_FALSE(welcome.rgb.empty());
    const int h2 = welcome.height / 2;
    EXPECT_GT(veilShare(welcome), 0.3);
    EXPECT_FALSE(rowsBox(welcome, h2 + 250, h2 + 275, greenText).empty()) << "Welcome To Redavave!";
    const Box song = selectedSongRow(welcome);
    EXPECT_NEAR(song.right, kLineLeft + (kPrefixCells + 8) * kCell, kCell) << "Selected: Tone.ogg";

    // The second copy meets the named mutex: it leaves at once, with code 1
    // and without a word in the log.
    const std::string logBefore = folder.logText();
    GameProcess second(folder, {"-window"});
    EXPECT_EQ(second.waitForExit(60.0), 1) << second.standardError();
    EXPECT_EQ(folder.logText(), logBefore) << "the refused copy must not write to the log";

    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(30.0), 0) << game.standardError();
    const auto log = folder.logLines();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[0], "#Window Mode!");
    EXPECT_EQ(log[1], "No Error");
    EXPECT_THAT(log[2], HasSubstr("#Game Started: "));
    expectClosingLines(log);
}

TEST_F(WineGameTest, ASongOfEachFormatWithAnyNameIsPlayedToTheScore) {
    struct Song {
        std::string name;
        int cells;  // characters of the name
        AudioFormat format;
    };
    // In the menu's order: by extension first (mp3, mp2, ogg, flac, wma).
    const std::vector<Song> songs = {
        {"Caf\xC3\xA9 \xC3\x9Cn\xC3\xAF.mp3", 12, AudioFormat::Mp3},
        {"\xD0\x9F\xD0\xB5\xD1\x81\xD0\xBD\xD1\x8F.mp2", 9, AudioFormat::Mp2},
        {"\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAE\xE5\xA4\x9C.ogg", 8, AudioFormat::Ogg},
        {"It's [Live] \xF0\x9F\x8E\xB5.flac", 18, AudioFormat::Flac},
        {"Plain Tone.wma", 14, AudioFormat::Wma},
    };
    for (std::size_t i = 0; i < songs.size(); ++i) {
        write(songs[i].name, songs[i].format, 3.0, 220.0 + 110.0 * static_cast<double>(i));
    }

    GameProcess game(folder, {"-window"});
    waitForStart(game);
    EXPECT_THAT(folder.logText(), ::testing::Not(HasSubstr("Could Not Find Any Music!")));
    std::vector<MenuSong> inMenu;
    for (const Song& song : songs) {
        inMenu.push_back({song.name, song.cells, 2.5});
    }
    playEachToItsScore(game, "wine_format", inMenu, {15.0, 10.0, 30.0});
    if (HasFatalFailure()) {
        return;
    }
    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(30.0), 0) << game.standardError();
    EXPECT_THAT(folder.logText(), ::testing::Not(HasSubstr("FMOD error"))) << folder.logText();
    expectClosingLines(folder.logLines());
}

// The best score file beside the exe, replaced with the Windows move call.
TEST_F(WineGameTest, ASongPlayedTwiceKeepsItsBestOnScreenOnDiskAndAfterARestart) {
    playTwiceAndRestart(folder, "wine_best_score", {60.0, 40.0});
}

// A player's album copied into resources\Music: one song of each further
// format, written by the build machine's ffmpeg, each played to its Score
// screen. The menu shows each as its path below the music folder.
TEST_F(WineGameTest, AnAlbumFolderOfTheFurtherFormatsIsPlayedToTheScore) {
    struct Song {
        std::string name;  // below the music folder
        std::string encoding;  // ffmpeg's output options
    };
    // In the menu's order: by extension first (m4a, aac, opus, wav, aif/aiff),
    // then by path.
    const std::vector<Song> songs = {
        {"Artist/Album/01 - A.m4a", "-c:a aac"},
        {"Artist/Album/02 - B.m4a", "-c:a alac"},
        {"Artist/Album/03 - C.aac", "-c:a aac -f adts"},
        {"Artist/Album/04 - D.opus", "-c:a libopus -ar 48000"},
        {"Artist/Album/05 - E.wav", "-c:a pcm_s24le"},
        {"Artist/Album/06 - F.aif", "-c:a pcm_s16be -f aiff"},
        {"Artist/Album/07 - G.aiff", "-c:a pcm_s16be"},
    };
    fs::create_directories(folder.musicFolder() / "Artist/Album");
    std::vector<MenuSong> inMenu;
    for (std::size_t i = 0; i < songs.size(); ++i) {
        const fs::path file = folder.musicFolder() / songs[i].name;
        int status = -1;
        const std::string output =
            run("ffmpeg -v error -nostdin -f lavfi -i sine=frequency=" + std::to_string(220 + 110 * i) +
                    ":duration=3 -ac 2 " + songs[i].encoding + " '" + file.string() + "' 2>&1",
                &status);
        ASSERT_EQ(status, 0) << songs[i].name << ": " << output;
        inMenu.push_back({songs[i].name, static_cast<int>(songs[i].name.size()), 2.5});
    }

    GameProcess game(folder, {"-window"});
    waitForStart(game);
    EXPECT_THAT(folder.logText(), ::testing::Not(HasSubstr("Could Not Find Any Music!")));
    playEachToItsScore(game, "wine_album", inMenu, {15.0, 10.0, 30.0});
    if (HasFatalFailure()) {
        return;
    }
    ASSERT_TRUE(game.key({"Escape"}));
    EXPECT_EQ(game.waitForExit(30.0), 0) << game.standardError();
    EXPECT_THAT(folder.logText(), ::testing::Not(HasSubstr("FMOD error"))) << folder.logText();
    expectClosingLines(folder.logLines());
}

TEST_F(WineGameTest, AnEmptySongGivesTheSoundErrorBoxAndExitCodeOne) {
    std::ofstream(folder.musicFolder() / "Empty.mp3", std::ios::binary);
    Launch launch;
    launch.boxes = nullptr;  // the desktop shows the box
    GameProcess game(folder, {"-window"}, launch);
    waitForStart(game);
    ASSERT_FALSE(selectedSongRow(waitForPicture(game, "wine_empty_song_menu", 20.0, [](const Image& image) {
                     return !selectedSongRow(image).empty();
                 })).empty());
    ASSERT_TRUE(game.key({"Return"}));

    // The box is a window of its own, titled as the error's kind.
    std::string box;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (box.empty() && game.running() && std::chrono::steady_clock::now() < deadline) {
        box = run("xdotool search --onlyvisible --name '^FMod Error$' 2>/dev/null | head -n 1");
        if (box.empty()) {
            sleepFor(0.2);
        }
    }
    ASSERT_FALSE(box.empty()) << "no box; stderr: " << game.standardError();
    box.erase(box.find_last_not_of('\n') + 1);
    run("import -window " + box + " " + (artefacts() / "wine_fmod_error_box.png").string() + " 2>&1");
    EXPECT_TRUE(game.running()) << "the game waits for the box to be dismissed";

    // Dismissed with a key, as a player would.
    run("xdotool windowactivate --sync " + box + " 2>&1; xdotool windowfocus --sync " + box + " 2>&1");
    run("xdotool key --window " + box + " Return 2>&1; xdotool key Return 2>&1");
    EXPECT_EQ(game.waitForExit(30.0), 1) << game.standardError();
    const std::string log = folder.logText();
    EXPECT_THAT(log, HasSubstr("#Initalized Audio")) << "the start of the log is kept";
    EXPECT_THAT(log, ::testing::ContainsRegex("#FMOD error! \\(-?[0-9]+\\) .+ / 2")) << log;
}

}  // namespace
