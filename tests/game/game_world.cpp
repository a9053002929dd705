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
#include "platform/window.h"
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

void CoreDeleter::operator()(Core* core) const {
    // The shared sound engine outlives each test's Core.
    core->shutDownDone = true;
    delete core;
}

CorePtr makeCore() {
    enterWorld();
    CorePtr core(new Core);
    core->appState = APP_STATE_RUNNING;
    core->active = true;
    core->fullscreen = false;
    core->frameTime = 1.0 / 60.0;
    core->musicList = kSongs;
    core->maxSongIndex = static_cast<int>(kSongs.size()) - 1;
    cars.deactivateAll();
    player.setStart(Vector3(0.0f, 0.8f, 0.0f), Vector3(0.0f, 0.0f, -1.0f));
    player.setSpeeds(4.0f, 1.0f);
    player.resetPoints();
    return core;
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

namespace {

constexpr const char* kTestClass = "RedavaveGameTest";

bool displayThere() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && display[0] != '\0';
}

}  // namespace

MessagePump::MessagePump(Core& coreIn) : core(coreIn) {
    if (!displayThere()) {
        return;
    }
    static bool registered = false;
    if (!registered) {
        plat::WindowClass windowClass;
        windowClass.windowProc = windowProc;
        windowClass.instance = plat::moduleHandle();
        windowClass.className = kTestClass;
        registered = plat::registerClass(windowClass);
    }
    // Hidden: it never takes the focus, so no activation arrives unasked.
    window = plat::createWindow(0, kTestClass, "game test", plat::WS_POPUP, 0, 0, 64, 64, plat::moduleHandle(), &core);
}

MessagePump::~MessagePump() {
    pump();
    if (window != nullptr) {
        plat::setWindowUserData(window, nullptr);
        plat::destroyWindow(window);
    }
    // Drop whatever the teardown left in the queue.
    plat::Message message;
    while (plat::peekMessage(&message, true)) {
    }
}

void MessagePump::send(std::uint32_t message, plat::WPARAM wParam) {
    if (window != nullptr) {
        plat::postMessage(window, message, wParam, 0);
    } else {
        core.handleMessage(message, wParam, 0);
    }
}

void MessagePump::keyDown(unsigned vk) { send(plat::WM_KEYDOWN, vk); }
void MessagePump::keyUp(unsigned vk) { send(plat::WM_KEYUP, vk); }
void MessagePump::sysKeyUp(unsigned vk) { send(plat::WM_SYSKEYUP, vk); }
void MessagePump::activate(bool active) { send(plat::WM_ACTIVATE, active ? plat::WA_ACTIVE : plat::WA_INACTIVE); }

bool MessagePump::pump() {
    bool quit = false;
    plat::Message message;
    while (plat::peekMessage(&message, true)) {
        if (message.message == plat::WM_QUIT) {
            quit = true;
        } else {
            plat::translateMessage(message);
            plat::dispatchMessage(message);
        }
    }
    return quit;
}

}  // namespace gametest
