#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "audio/Audio.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "game/keys.h"
#include "platform/key_codes.h"
#include "tests/game/game_world.h"

namespace {

using namespace plat;

using gametest::State;
using gametest::nameOf;

class KeysTest : public ::testing::Test {
protected:
    void SetUp() override { play = gametest::makePlay(); }

    void enter(State state) { gametest::enter(play, state); }
    State state() const { return gametest::stateOf(play); }

    // One frame of the game's keyboard step; returns whether it asked to quit.
    bool frame() { return processKeys(play, frameTime) == ShellRequest::quit; }
    void press(unsigned vk) {
        keyDown(play, vk);
        frame();
    }
    void release(unsigned vk) {
        keyUp(play, vk);
        frame();
    }
    void tap(unsigned vk) {
        press(vk);
        release(vk);
    }

    bool songChannelPaused() { return gametest::songChannelPaused(); }

    PlayState play;
    double frameTime = gametest::kFrameTime;
};

// Every row starts from a course with a live object, points, a chain bonus and
// a red chain, then taps one key.
TEST_F(KeysTest, StateTransitions) {
    struct Case {
        State from;
        unsigned key;
        State to;
        bool resetsScoreAndCourse;
        bool resetsPointsOnly;  // a new song from the menu
    };
    const Case cases[] = {
        {State::Welcome, VK_SPACE, State::Welcome, false, false},
        {State::Welcome, VK_P, State::Welcome, false, false},
        {State::Welcome, VK_RETURN, State::Playing, false, true},
        {State::Score, VK_RETURN, State::Playing, false, true},
        {State::Score, VK_SPACE, State::Playing, true, false},
        {State::Score, VK_P, State::Score, false, false},
        {State::Playing, VK_P, State::Paused, false, false},
        {State::Playing, VK_RETURN, State::Playing, false, false},
        {State::Playing, VK_SPACE, State::Playing, false, false},
        {State::Paused, VK_P, State::Playing, false, false},
        {State::Paused, VK_SPACE, State::Playing, true, false},
    };
    for (const Case& c : cases) {
        play = gametest::makePlay();
        frameTime = gametest::kFrameTime;
        enter(c.from);
        player.addPoints(50);
        play.comboBonus = 20;
        play.chainColor = COLOR_RED;
        cars.spawn(3, 2);
        tap(c.key);
        const std::string what = std::string(nameOf(c.from)) + " + key " + std::to_string(c.key);
        EXPECT_EQ(state(), c.to) << what << " gave " << nameOf(state());
        EXPECT_EQ(player.getPoints(), c.resetsScoreAndCourse || c.resetsPointsOnly ? 0 : 50) << what;
        EXPECT_EQ(play.comboBonus, c.resetsScoreAndCourse ? 0 : 20) << what;
        EXPECT_EQ(cars.allInactive(), c.resetsScoreAndCourse) << what;
        EXPECT_EQ(play.chainColor, COLOR_RED) << what;
        if (c.to == State::Paused || (c.from == State::Paused && c.key == VK_P)) {
            EXPECT_EQ(songChannelPaused(), c.to == State::Paused) << what;
        }
    }
}

TEST_F(KeysTest, EnterPlaysTheSelectedSong) {
    enter(State::Welcome);
    play.selectedSong = 1;
    tap(VK_RETURN);
    EXPECT_EQ(audio.songPath, "resources/Music/" + gametest::kSongs[1]);
    EXPECT_EQ(play.playingSong, gametest::kSongs[1]) << "the song whose best its end will offer";
    EXPECT_FALSE(play.inMenu);

    // A song of another music folder opens from where it lies, not by its shown name.
    enter(State::Welcome);
    play.musicList = {"Artist/Album/01 - Intro.mp3"};
    play.songFiles = {"resources/Music/" + gametest::kSongs[2]};
    play.maxSongIndex = 0;
    play.selectedSong = 0;
    tap(VK_RETURN);
    EXPECT_EQ(audio.songPath, "resources/Music/" + gametest::kSongs[2]);
}

// Enter from Paused goes back to the menu that firstMenu names, stopping the
// song and clearing the course.
TEST_F(KeysTest, EnterFromPausedReturnsToTheRightMenu) {
    for (const bool songEndedBefore : {false, true}) {
        play = gametest::makePlay();
        frameTime = gametest::kFrameTime;
        enter(State::Paused);
        play.firstMenu = !songEndedBefore;
        player.addPoints(40);
        play.comboBonus = 10;
        play.songEnd.shown = songEndedBefore;  // the best line of the song that ended before
        cars.spawn(0, 1);
        tap(VK_RETURN);
        EXPECT_EQ(state(), songEndedBefore ? State::Score : State::Welcome);
        EXPECT_FALSE(play.songEnd.shown) << "a stopped song has no best to show";
        EXPECT_TRUE(play.unsavedBests.empty()) << "and none to keep";
        EXPECT_FALSE(play.paused);
        EXPECT_EQ(player.getPoints(), 0);
        EXPECT_EQ(play.comboBonus, 0);
        EXPECT_TRUE(cars.allInactive());
        bool playing = true;
        audio.songChannel->isPlaying(&playing);
        EXPECT_FALSE(playing) << "the song is stopped";
    }
}

TEST_F(KeysTest, MenuSelectionWraps) {
    struct Case {
        int songs;
        int from;
        unsigned key;
        int to;
    };
    const Case cases[] = {
        {3, 2, VK_RIGHT, 0}, {3, 0, VK_LEFT, 2}, {3, 0, VK_RIGHT, 1}, {3, 2, VK_LEFT, 1},
        {1, 0, VK_LEFT, 0},  {1, 0, VK_RIGHT, 0},
    };
    for (const Case& c : cases) {
        play.musicList.assign(gametest::kSongs.begin(), gametest::kSongs.begin() + c.songs);
        play.maxSongIndex = c.songs - 1;
        play.selectedSong = c.from;
        tap(c.key);
        EXPECT_EQ(play.selectedSong, c.to) << c.songs << " songs, from " << c.from << " key " << c.key;
    }
}

// Up and Down go to the first song of the folder before or after the selected
// song's, round past the ends; a folder's songs split by kind of file are two runs.
TEST_F(KeysTest, UpAndDownJumpToTheFirstSongOfTheNeighbouringFolder) {
    const std::vector<std::string> library = {
        "a.ogg", "b.ogg",                                          // 0-1: the music folder itself
        "Artist/One/1.ogg", "Artist/One/2.ogg",                    // 2-3
        "Artist/Two/1.ogg", "Artist/Two/2.ogg", "Artist/Two/3.ogg",  // 4-6
        "Other/1.ogg",                                             // 7
    };
    const std::vector<std::string> kinds = {"Al/1.mp3", "Al/2.mp3", "Bl/1.mp3", "Al/3.ogg", "Al/4.ogg"};
    const std::vector<std::string> oneFolder = {"Al/1.ogg", "Al/2.ogg", "Al/3.ogg"};
    struct Case {
        const std::vector<std::string>* songs;
        int from;
        unsigned key;
        int to;
    };
    const Case cases[] = {
        {&library, 0, VK_DOWN, 2}, {&library, 3, VK_DOWN, 4}, {&library, 5, VK_DOWN, 7}, {&library, 7, VK_DOWN, 0},
        {&library, 5, VK_UP, 2},   {&library, 4, VK_UP, 2},   {&library, 2, VK_UP, 0},   {&library, 1, VK_UP, 7},
        {&library, 0, VK_UP, 7},   {&kinds, 1, VK_DOWN, 2},   {&kinds, 2, VK_DOWN, 3},   {&kinds, 4, VK_DOWN, 0},
        {&kinds, 4, VK_UP, 2},     {&kinds, 0, VK_UP, 3},     {&oneFolder, 1, VK_DOWN, 0}, {&oneFolder, 2, VK_UP, 0},
    };
    for (const State menu : {State::Welcome, State::Score}) {
        for (const Case& c : cases) {
            enter(menu);
            play.musicList = *c.songs;
            play.maxSongIndex = static_cast<int>(c.songs->size()) - 1;
            play.selectedSong = c.from;
            tap(c.key);
            EXPECT_EQ(play.selectedSong, c.to) << nameOf(menu) << ": " << (c.key == VK_UP ? "Up" : "Down") << " from "
                                               << (*c.songs)[static_cast<std::size_t>(c.from)];
        }
    }

    // Held, they act once; while a song plays they choose nothing.
    play.musicList = library;
    play.maxSongIndex = static_cast<int>(library.size()) - 1;
    play.selectedSong = 0;
    keyDown(play, VK_DOWN);
    frame();
    frame();
    EXPECT_EQ(play.selectedSong, 2);
    release(VK_DOWN);
    enter(State::Playing);
    tap(VK_DOWN);
    EXPECT_EQ(play.selectedSong, 2);
}

TEST_F(KeysTest, HeldKeysActOncePerPress) {
    keyDown(play, VK_RIGHT);
    for (int i = 0; i < 5; ++i) {
        frame();
    }
    EXPECT_EQ(play.selectedSong, 1);
    release(VK_RIGHT);
    tap(VK_RIGHT);
    EXPECT_EQ(play.selectedSong, 2);

    enter(State::Playing);
    keyDown(play, VK_P);
    for (int i = 0; i < 5; ++i) {
        frame();
    }
    EXPECT_TRUE(play.paused);
    EXPECT_TRUE(songChannelPaused());
    release(VK_P);
    tap(VK_P);
    EXPECT_FALSE(play.paused);
    EXPECT_FALSE(songChannelPaused());
}

TEST_F(KeysTest, PInTheMenuKeepsNoLatch) {
    press(VK_P);
    EXPECT_FALSE(play.keyLatch[VK_P]);
    enter(State::Playing);  // P still held: a song started meanwhile pauses at once
    frame();
    EXPECT_TRUE(play.paused);
}

// Released with Alt held, a key keeps its latch: its command waits for a plain release.
TEST_F(KeysTest, SystemKeyUpKeepsTheLatch) {
    enter(State::Playing);
    press(VK_P);
    EXPECT_TRUE(play.paused);
    sysKeyUp(play, VK_P);
    frame();
    EXPECT_FALSE(play.keys[VK_P]);
    press(VK_P);
    EXPECT_TRUE(play.paused) << "latched: the second press did not act";
    release(VK_P);
    press(VK_P);
    EXPECT_FALSE(play.paused);
}

TEST_F(KeysTest, HeldSpaceRestartsOnce) {
    enter(State::Paused);
    press(VK_SPACE);
    EXPECT_EQ(state(), State::Playing);
    player.addPoints(7);
    frame();
    frame();
    EXPECT_EQ(player.getPoints(), 7) << "no second restart while Playing";
    press(VK_P);
    EXPECT_EQ(state(), State::Paused);
    frame();
    EXPECT_EQ(state(), State::Paused) << "the held Space acted already";
    EXPECT_EQ(player.getPoints(), 7);
}

TEST_F(KeysTest, EnterWhilePlayingMustBeReleasedFirst) {
    enter(State::Playing);
    press(VK_RETURN);
    EXPECT_EQ(state(), State::Playing);
    tap(VK_P);
    frame();
    EXPECT_EQ(state(), State::Paused) << "the Enter held since Playing does not stop the song";
    release(VK_RETURN);
    tap(VK_RETURN);
    EXPECT_EQ(state(), State::Score);
}

TEST_F(KeysTest, SteeringByKeyboard) {
    struct Case {
        const char* what;
        unsigned keyA;
        unsigned keyB;  // 0: none
        State state;
        float moved;
    };
    // 0.05 s frames: half a steering unit, two lateral units at speed 4.
    const Case cases[] = {
        {"left arrow", VK_LEFT, 0, State::Playing, -2.0f},
        {"A", VK_A, 0, State::Playing, -2.0f},
        {"left arrow and A steer once", VK_LEFT, VK_A, State::Playing, -2.0f},
        {"right arrow", VK_RIGHT, 0, State::Playing, 2.0f},
        {"D", VK_D, 0, State::Playing, 2.0f},
        {"right arrow and D steer once", VK_RIGHT, VK_D, State::Playing, 2.0f},
        {"left and right cancel", VK_LEFT, VK_RIGHT, State::Playing, 0.0f},
        {"paused", VK_A, 0, State::Paused, 0.0f},
        {"menu", VK_D, 0, State::Score, 0.0f},
    };
    for (const Case& c : cases) {
        play = gametest::makePlay();
        frameTime = gametest::kFrameTime;
        enter(c.state);
        frameTime = 0.05;
        keyDown(play, c.keyA);
        if (c.keyB != 0) {
            keyDown(play, c.keyB);
        }
        frame();
        EXPECT_NEAR(player.getPosition().y, 0.8f + c.moved, 1e-5f) << c.what;
    }

    play = gametest::makePlay();
    frameTime = gametest::kFrameTime;
    enter(State::Playing);
    play.active = false;
    keyDown(play, VK_LEFT);
    frame();
    EXPECT_FLOAT_EQ(player.getPosition().y, 0.8f) << "no steering while the window is inactive";
}

// Leaving a song with Escape is no finish: nothing is offered as a best.
TEST_F(KeysTest, EscapeAsksToQuitWhileHeldInEveryState) {
    for (const State from : {State::Welcome, State::Score, State::Playing, State::Paused}) {
        play = gametest::makePlay();
        enter(from);
        play.playingSong = gametest::kSongs[0];
        player.addPoints(30);
        EXPECT_FALSE(frame()) << nameOf(from);
        keyDown(play, VK_ESCAPE);
        EXPECT_TRUE(frame()) << nameOf(from);
        EXPECT_TRUE(frame()) << nameOf(from) << ": Escape has no latch";
        keyUp(play, VK_ESCAPE);
        EXPECT_FALSE(frame()) << nameOf(from);
        EXPECT_EQ(play.bestScores.size(), 0u) << nameOf(from);
        EXPECT_TRUE(play.unsavedBests.empty()) << nameOf(from);
    }
}

TEST_F(KeysTest, VolumeFollowsHeldPageKeys) {
    enter(State::Playing);
    float start = 0.0f;
    audio.songChannel->getVolume(&start);
    ASSERT_GT(start, 0.1f);
    keyDown(play, VK_NEXT);
    for (int i = 0; i < 3; ++i) {
        frame();
    }
    release(VK_NEXT);
    float volume = 0.0f;
    audio.songChannel->getVolume(&volume);
    EXPECT_NEAR(volume, start - 0.03f, 1e-5f) << "0.01 per frame while held";
    keyDown(play, VK_PRIOR);
    frame();
    frame();
    audio.songChannel->getVolume(&volume);
    EXPECT_NEAR(volume, start - 0.01f, 1e-5f);
}

// With no playable file in the music folder the menu stays where it is.
TEST_F(KeysTest, EmptyMusicListIsNeverIndexed) {
    play.musicList.clear();
    play.maxSongIndex = 0;
    const std::string songBefore = audio.songPath;
    for (unsigned key : {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_HOME, VK_END, VK_RETURN, VK_SPACE}) {
        tap(key);
        EXPECT_EQ(play.selectedSong, 0);
        EXPECT_EQ(state(), State::Welcome);
    }
    EXPECT_EQ(audio.songPath, songBefore);
}

}  // namespace
