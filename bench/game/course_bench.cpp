// What one course update costs on the game's thread during play, with the
// pool empty and with all 20 slots in flight: the song's spectrum peak, the
// spawning, moving, collecting and scoring, and handing the objects to GL
// (the car display list and the bonus and skull cards). The game runs on its
// own window; its GL work is finished outside the timed part.

#include <benchmark/benchmark.h>
#include <GL/gl.h>


#include "app/Core.h"
#include "audio/Audio.h"
#include "bench/app/bench_world.h"
#include "game/carClass.h"
#include "game/course.h"
#include "platform/system.h"
#include "render/scene.h"

namespace {

constexpr int kPool = 20;

// Playing, in a small window: the GL work here is finished outside the timing.
benchworld::Game& playingGame() {
    plat::overrideScreenSize(800, 600);
    benchworld::Game& g = benchworld::gameWithSong(60.0, "-window");
    static bool started = false;
    if (g.core != nullptr && !started) {
        started = true;
        audio.playSong("resources/Music/Bench.ogg");
        g.core->play.inMenu = false;
        g.core->play.active = true;
        g.core->frameTime = 1.0 / 60.0;
    }
    return g;
}

// Free slots get objects again, spread along the course before the ship.
void refill(int wanted) {
    int inUse = 0;
    for (int slot = 0; slot < kPool; ++slot) {
        inUse += cars.getInUse(slot) ? 1 : 0;
    }
    for (int slot = 0; slot < kPool && inUse < wanted; ++slot) {
        if (!cars.getInUse(slot)) {
            cars.spawn(slot, slot % 3 + 1);
            cars.addX(slot, -static_cast<float>(slot) * 5.0f);
            ++inUse;
        }
    }
}

void BM_CourseUpdate(benchmark::State& state) {
    benchworld::Game& g = playingGame();
    if (g.core == nullptr) {
        state.SkipWithError(g.error.c_str());
        return;
    }
    const int wanted = static_cast<int>(state.range(0));
    cars.deactivateAll();
    long objects = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (wanted == 0) {
            cars.deactivateAll();
        }
        refill(wanted);
        for (int slot = 0; slot < kPool; ++slot) {
            objects += cars.getInUse(slot) ? 1 : 0;
        }
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glFinish();
        state.ResumeTiming();
        updateCourse(g.core->play, g.core->frameTime, courseDrawer(&g.core->carList));
    }
    state.counters["objects"] = static_cast<double>(objects) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_CourseUpdate)->Arg(0)->Arg(kPool)->Iterations(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
