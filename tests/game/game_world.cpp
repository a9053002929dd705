#include "tests/game/game_world.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "audio/Audio.h"
#include "audio/engine/testing.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/temp_resources.h"

namespace gametest {

const std::vector<std::string> kSongs = {"one.ogg", "two.mp3", "three.flac"};

namespace {

std::unique_ptr<testworld::TempResources> world;

void writeOrDie(const std::string& name, fixtures::AudioFormat format, const fixtures::ToneSong& song) {
    if (!world->addSong(name, format, song)) {
        std::fprintf(stderr, "cannot write test sound: %s\n", world->error().c_str());
        std::abort();
    }
}

int scriptedBin = 0;
int scriptedReads = 0;

void peakSource(float* out, int count, void* /*user*/) {
    ++scriptedReads;
    for (int i = 0; i < count; ++i) {
        out[i] = 0.0f;
    }
    if (scriptedBin >= 0 && scriptedBin < count) {
        out[scriptedBin] = 1.0f;
    }
}

}  // namespace

void enterWorld() {
    if (world) {
        return;
    }
    testworld::WorldOptions options;
    options.effects = true;
    options.enter = true;
    world = std::make_unique<testworld::TempResources>("game", options);
    if (!world->ok()) {
        std::fprintf(stderr, "test world: %s\n", world->error().c_str());
        std::abort();
    }
    writeOrDie("one.ogg", fixtures::AudioFormat::Ogg, fixtures::tone(110.0, 3.0));
    writeOrDie("two.mp3", fixtures::AudioFormat::Mp3, fixtures::tone(440.0, 3.0));
    writeOrDie("three.flac", fixtures::AudioFormat::Flac, fixtures::tone(30.0, 3.0));
    snd::testing::useOfflineOutput(true);
    audio.init();
    // Before the statics go, in this order: the engine lets go of its songs,
    // then the folder goes (Windows removes no open file).
    std::atexit([] {
        audio.shutdown();
        world.reset();
    });
}

const std::string& worldDir() {
    static std::string path;
    path = world ? world->path().string() : std::string();
    return path;
}

void leaveWorld(int code) {
    std::fflush(nullptr);
    if (world) {
        world->removeNow();
    }
    _exit(code);
}

void scriptPeakBin(int bin) {
    scriptedBin = bin;
    snd::testing::setSpectrumSource(peakSource, nullptr);
}

void stopScript() { snd::testing::setSpectrumSource(nullptr, nullptr); }

int spectrumReads() { return scriptedReads; }

void startSong(const std::string& name) {
    const std::string path = "resources/Music/" + name;
    audio.playSong(path.c_str());
}

PlayState makePlay() {
    enterWorld();
    PlayState play;
    play.active = true;
    play.fullscreen = false;
    play.musicList = kSongs;
    play.maxSongIndex = static_cast<int>(kSongs.size()) - 1;
    cars.deactivateAll();
    player.setStart(Vector3(0.0f, 0.8f, 0.0f), Vector3(0.0f, 0.0f, -1.0f));
    player.setSpeeds(4.0f, 1.0f);
    player.resetPoints();
    return play;
}

const char* nameOf(State state) {
    switch (state) {
    case State::Welcome: return "Welcome";
    case State::Score: return "Score";
    case State::Playing: return "Playing";
    case State::Paused: return "Paused";
    }
    return "?";
}

void enter(PlayState& play, State state) {
    play.inMenu = state == State::Welcome || state == State::Score;
    play.firstMenu = state == State::Welcome;
    play.paused = state == State::Paused;
    if (!play.inMenu) {
        startSong(kSongs[0]);
        audio.setPaused(play.paused);
    }
}

State stateOf(const PlayState& play) {
    if (play.inMenu) {
        return play.paused ? State::Paused : play.firstMenu ? State::Welcome : State::Score;
    }
    return play.paused ? State::Paused : State::Playing;
}

bool songChannelPaused() {
    bool pausedNow = false;
    EXPECT_NE(audio.songChannel, nullptr);
    if (audio.songChannel != nullptr) {
        audio.songChannel->getPaused(&pausedNow);
    }
    return pausedNow;
}

void placeObject(int slot, int lane, int kind, int color, float x) {
    const bool block = kind > KIND_SKULL;
    for (unsigned seed = 1; seed < 100000; ++seed) {
        std::srand(seed);
        const int drawnKind = std::rand() % 10 + 1;
        const int drawnColor = drawnKind > KIND_SKULL ? std::rand() % 3 + 1 : COLOR_NONE;
        if (drawnKind == kind && (!block || drawnColor == color)) {
            std::srand(seed);
            cars.spawn(slot, lane);
            cars.addX(slot, x - cars.getX(slot));
            return;
        }
    }
    ADD_FAILURE() << "no seed draws kind " << kind << " colour " << color;
}

const void* lastEffectSound() {
    snd::Sound* sound = nullptr;
    if (audio.effectChannel == nullptr || audio.effectChannel->getCurrentSound(&sound) != snd::OK) {
        return nullptr;
    }
    return sound;
}

}  // namespace gametest
