#include "tests/game/game_world.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "audio/Audio.h"
#include "audio/engine/testing.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "tests/support/audio_fixtures.h"

namespace gametest {

const std::vector<std::string> kSongs = {"one.ogg", "two.mp3", "three.flac"};

namespace {

std::string world;

struct WorldCleanup {
    ~WorldCleanup() {
        if (!world.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(world, ignored);
        }
    }
} worldCleanup;

void writeOrDie(const std::string& path, fixtures::AudioFormat format, const fixtures::ToneSong& song) {
    std::string error;
    if (!fixtures::writeSong(path, format, song, &error)) {
        std::fprintf(stderr, "cannot write test sound %s: %s\n", path.c_str(), error.c_str());
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
    if (!world.empty()) {
        return;
    }
    char folder[] = "/tmp/rv-game-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    world = folder;
    std::filesystem::create_directories(world + "/resources/Sounds");
    std::filesystem::create_directories(world + "/resources/Music");
    for (const char* effect : {"blockHit", "bonusHit", "SkullHit"}) {
        writeOrDie(world + "/resources/Sounds/" + effect + ".mp3", fixtures::AudioFormat::Mp3,
                   fixtures::tone(880.0, 0.1));
    }
    writeOrDie(world + "/resources/Music/one.ogg", fixtures::AudioFormat::Ogg, fixtures::tone(110.0, 3.0));
    writeOrDie(world + "/resources/Music/two.mp3", fixtures::AudioFormat::Mp3, fixtures::tone(440.0, 3.0));
    writeOrDie(world + "/resources/Music/three.flac", fixtures::AudioFormat::Flac, fixtures::tone(30.0, 3.0));
    if (chdir(world.c_str()) != 0) {
        std::perror("chdir");
        std::abort();
    }
    snd::testing::useOfflineOutput(true);
    audio.init();
}

const std::string& worldDir() { return world; }

void leaveWorld(int code) {
    std::fflush(nullptr);
    if (!world.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(world, ignored);
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
