// A key press in the song menu of a 20,000-song collection, up to the new
// selection drawn: the key message, the frame's key handling (Home, End,
// typed letters) and the overlay pass with the song and position lines. The
// game runs on its own window; GL is finished inside the timing, since the
// picture is what the player waits for. Allocations during the timed presses
// are counted and reported.

#include <benchmark/benchmark.h>
#include <GL/gl.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <string>
#include <vector>

#include "app/Core.h"
#include "bench/app/bench_world.h"
#include "bench/audio/alloc_counter.h"
#include "game/keys.h"
#include "platform/key_codes.h"
#include "render/scene.h"
#include "platform/system.h"
#include "platform/window.h"

namespace {

constexpr int kSongs = 20000;

// The Welcome menu over 20,000 names; the last one alone starts with Z.
benchworld::Game& menuGame() {
    plat::overrideScreenSize(800, 600);
    benchworld::Game& g = benchworld::gameWithSong(5.0, "-window");
    static bool filled = false;
    if (g.core != nullptr && !filled) {
        filled = true;
        std::vector<std::string> names;
        for (int i = 1; i < kSongs; ++i) {
            char name[48];
            std::snprintf(name, sizeof name, "Artist %05d - \xC3\x9C" "ber Track %d.mp3", i % 977, i);
            names.push_back(name);
        }
        names.push_back("Zephyr.mp3");
        g.core->play.musicList = names;
        g.core->play.maxSongIndex = kSongs - 1;
        g.core->play.inMenu = true;
        g.core->play.active = true;
    }
    return g;
}

// Returns the heap allocations of the key handling alone (the drawing's are
// the GL driver's).
long press(Core& core, std::uint32_t key) {
    benchalloc::start();
    core.handleMessage(plat::WM_KEYDOWN, key, 0);
    processKeys(core.play, core.frameTime);
    const long allocations = benchalloc::stop();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    core.setOrtho();
    drawHud(core.play, core.sceneView());
    glFinish();
    return allocations;
}

void sleepSeconds(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

void release(Core& core, std::uint32_t key) {
    core.handleMessage(plat::WM_KEYUP, key, 0);
    processKeys(core.play, core.frameTime);
}

// Arg 0: Home and End by turns. Arg 1: Z again and again, the worst case for
// typing: the only Z song is selected, so each press looks at every other name
// before it comes back to it. Arg 2: "artist00", a prefix hundreds of names
// share, typed letter by letter with a pause after each word.
void BM_SongMenuKeyToPicture(benchmark::State& state) {
    benchworld::Game& g = menuGame();
    if (g.core == nullptr) {
        state.SkipWithError(g.error.c_str());
        return;
    }
    Core& core = *g.core;
    const std::string typed = "ARTIST00";
    std::size_t next = 0;
    if (state.range(0) == 2) {
        sleepSeconds(1.1);  // what came before is no part of the first word
    }
    long allocations = 0;
    long presses = 0;
    for (auto _ : state) {
        std::uint32_t key = 0;
        switch (state.range(0)) {
            case 0: key = presses % 2 == 0 ? plat::VK_END : plat::VK_HOME; break;
            case 1: key = 'Z'; break;
            default: key = static_cast<std::uint8_t>(typed[next++ % typed.size()]); break;
        }
        allocations += press(core, key);
        ++presses;
        state.PauseTiming();
        release(core, key);
        if (state.range(0) == 2 && next % typed.size() == 0) {
            sleepSeconds(1.1);  // a pause: the next letter starts a new prefix
        }
        state.ResumeTiming();
    }
    state.counters["key_allocations"] = static_cast<double>(allocations) / static_cast<double>(presses);
    state.counters["selected"] = core.play.selectedSong;
}
BENCHMARK(BM_SongMenuKeyToPicture)->Arg(0)->Arg(1)->Iterations(300)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SongMenuKeyToPicture)->Arg(2)->Iterations(40)->Unit(benchmark::kMicrosecond);

// The key handling alone, for the worst case of typing: Z again and again
// while the only Z song is selected, so that each press looks at all 20,000 names.
void BM_SongMenuKeyHandlingAlone(benchmark::State& state) {
    benchworld::Game& g = menuGame();
    if (g.core == nullptr) {
        state.SkipWithError(g.error.c_str());
        return;
    }
    Core& core = *g.core;
    core.play.selectedSong = kSongs - 1;
    for (auto _ : state) {
        core.handleMessage(plat::WM_KEYDOWN, 'Z', 0);
        processKeys(core.play, core.frameTime);
        state.PauseTiming();
        release(core, 'Z');
        state.ResumeTiming();
    }
    state.counters["selected"] = core.play.selectedSong;
}
BENCHMARK(BM_SongMenuKeyHandlingAlone)->Iterations(300)->Unit(benchmark::kMicrosecond);

// The same overlay pass with no key pressed, for comparison.
void BM_SongMenuPictureAlone(benchmark::State& state) {
    benchworld::Game& g = menuGame();
    if (g.core == nullptr) {
        state.SkipWithError(g.error.c_str());
        return;
    }
    Core& core = *g.core;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        core.setOrtho();
        drawHud(core.play, core.sceneView());
        glFinish();
    }
}
BENCHMARK(BM_SongMenuPictureAlone)->Iterations(300)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (!benchalloc::verify()) {
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
