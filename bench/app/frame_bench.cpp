// What one pass of the main loop costs during steady play, on the game's own
// window and context: heap allocations on the game's thread, by owner (the
// game's own code must make none; the GL driver and X11 underneath make
// theirs), and the CPU time of the frame step (keys, pad or mouse, present)
// and of the scene pass (course, ship, bodies, overlay). The game starts as it does for a player,
// full screen on the desktop with the generated resources, and plays a song
// whose pitch moves the course through all three lanes while the ship steers.

#include <benchmark/benchmark.h>
#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/Core.h"
#include "bench/app/bench_world.h"
#include "bench/audio/alloc_counter.h"
#include "game/Player.h"
#include "game/carClass.h"
#include "platform/key_codes.h"
#include "platform/window.h"

namespace {

constexpr int kWarmUpPasses = 300;
constexpr int kCountedPasses = 1200;

double cpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Whose allocation is it? The first caller outside the C and C++ runtimes
// decides: the game's own code (linked into this program) or one of the
// libraries the game draws and reads input through (GL driver, X11, SDL).
struct Owner {
    const void* base = nullptr;  // load address of the object
    const char* file = nullptr;
    long count = 0;
};
Owner owners[32];
const void* gameBase = nullptr;
void* gameSites[16];  // where the game's own allocations come from, for the report
int gameSiteCount = 0;
// The game function nearest to each allocation, wherever it was made: which
// of the game's calls make the libraries allocate.
struct Caller {
    const void* function = nullptr;
    const char* name = nullptr;
    long count = 0;
};
Caller callers[64];

void noteCaller(void* const* frames, int from, int depth) {
    for (int at = from; at < depth; ++at) {
        Dl_info info{};
        if (dladdr(frames[at], &info) != 0 && info.dli_fbase == gameBase && info.dli_saddr != nullptr) {
            for (Caller& caller : callers) {
                if (caller.function == nullptr || caller.function == info.dli_saddr) {
                    caller.function = info.dli_saddr;
                    caller.name = info.dli_sname;
                    ++caller.count;
                    return;
                }
            }
            return;
        }
    }
}

bool runtime(const char* file) {
    return std::strstr(file, "/libc.so") != nullptr || std::strstr(file, "/libstdc++") != nullptr ||
           std::strstr(file, "/libgcc_s") != nullptr;
}

void noteOwner(void* caller) {
    void* frames[48];
    const int depth = backtrace(frames, 48);
    int at = 0;  // frames before it are the counter's and ours
    while (at < depth && frames[at] != caller) {
        ++at;
    }
    noteCaller(frames, at, depth);
    for (; at < depth; ++at) {
        Dl_info info{};
        if (dladdr(frames[at], &info) == 0 || info.dli_fname == nullptr || runtime(info.dli_fname)) {
            continue;
        }
        if (info.dli_fbase == gameBase && gameSiteCount < 16) {
            gameSites[gameSiteCount++] = frames[at];
        }
        for (Owner& owner : owners) {
            if (owner.base == nullptr || owner.base == info.dli_fbase) {
                owner.base = info.dli_fbase;
                owner.file = info.dli_fname;
                ++owner.count;
                return;
            }
        }
        return;
    }
}

long gameAllocations() {
    for (const Owner& owner : owners) {
        if (owner.base == gameBase) {
            return owner.count;
        }
    }
    return 0;
}

void reportOwners(long passes) {
    std::printf("heap allocations per pass by owner (%ld passes):\n", passes);
    std::printf("  %8.2f  the game's own code\n", static_cast<double>(gameAllocations()) / static_cast<double>(passes));
    for (const Owner& owner : owners) {
        if (owner.base != nullptr && owner.base != gameBase) {
            std::printf("  %8.2f  %s\n", static_cast<double>(owner.count) / static_cast<double>(passes), owner.file);
        }
    }
    std::printf("heap allocations per pass by the nearest game function on the stack:\n");
    for (const Caller& caller : callers) {
        if (caller.function != nullptr) {
            int status = 0;
            char* readable = abi::__cxa_demangle(caller.name, nullptr, nullptr, &status);
            std::printf("  %8.2f  %s\n", static_cast<double>(caller.count) / static_cast<double>(passes),
                        status == 0 ? readable : caller.name);
            std::free(readable);
        }
    }
    if (gameSiteCount > 0) {
        char** names = backtrace_symbols(gameSites, gameSiteCount);
        for (int i = 0; i < gameSiteCount; ++i) {
            std::printf("  game allocation from %s\n", names[i]);
        }
        std::free(names);
    }
}

// What the counted passes cost, summed.
struct PassCost {
    double frameStepCpu = 0.0;  // the game's thread, frame step (message, keys, pad or mouse, present)
    double scenePassCpu = 0.0;  // the game's thread, scene pass
    long allocations = 0;
    long passesThatAllocated = 0;
};

// One pass of the main loop, as Core::runMainLoop makes it; counted when `cost` is given.
void mainLoopPass(Core& core, PassCost* cost = nullptr) {
    const double t0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    if (cost != nullptr) {
        benchalloc::start();
    }
    if (plat::peekMessage(&core.msg, true)) {
        plat::translateMessage(core.msg);
        plat::dispatchMessage(core.msg);
    }
    core.frame();
    const double t1 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    core.drawScene();
    if (cost != nullptr) {
        const long allocated = benchalloc::stop();
        const double t2 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        cost->frameStepCpu += t1 - t0;
        cost->scenePassCpu += t2 - t1;
        cost->allocations += allocated;
        cost->passesThatAllocated += allocated > 0 ? 1 : 0;
    }
}

// The player's hands: Enter once in the menu, then left and right in turns.
void press(Core& core, unsigned vk, bool down) {
    core.handleMessage(down ? plat::WM_KEYDOWN : plat::WM_KEYUP, vk, 0);
}
void steer(Core& core, long pass) {
    if (pass % 40 == 0) {
        const bool left = (pass / 40) % 2 == 0;
        press(core, left ? plat::VK_RIGHT : plat::VK_LEFT, false);
        press(core, left ? plat::VK_LEFT : plat::VK_RIGHT, true);
    }
}

// The game in steady play: the song started with Enter, then warm-up passes
// while the ship steers, so that everything made once is made. Null (with the
// reason set on `state`) when there is no game.
Core* playingGame(benchmark::State& state) {
    // Full screen, as a player starts it; the passes are ours.
    benchworld::Game& g = benchworld::gameWithSong(150.0, "");
    if (g.core == nullptr) {
        state.SkipWithError(g.error.c_str());
        return nullptr;
    }
    Core& core = *g.core;
    static bool started = false;
    if (!started) {
        started = true;
        core.play.active = true;
        core.appState = APP_STATE_RUNNING;
        press(core, plat::VK_RETURN, true);
        mainLoopPass(core);
        press(core, plat::VK_RETURN, false);
        for (long pass = 0; pass < kWarmUpPasses; ++pass) {
            steer(core, pass);
            mainLoopPass(core);
        }
    }
    if (core.play.inMenu || core.play.paused) {
        state.SkipWithError("the game is not playing; the figures would not be of steady play");
        return nullptr;
    }
    return &core;
}

// Counted passes of steady play; false when the song stopped in the middle.
bool countedPasses(benchmark::State& state, Core& core, PassCost& cost) {
    static long pass = kWarmUpPasses;
    long objectsSeen = 0;
    for (auto _ : state) {
        steer(core, pass++);
        mainLoopPass(core, &cost);
        for (int slot = 0; slot < 20; ++slot) {
            objectsSeen += cars.getInUse(slot) ? 1 : 0;
        }
    }
    if (core.play.inMenu || core.play.paused) {
        state.SkipWithError("the song ended or paused during the measurement; the figures are not of steady play");
        return false;
    }
    const double passes = static_cast<double>(state.iterations());
    state.counters["all_allocs_per_frame"] = static_cast<double>(cost.allocations) / passes;
    state.counters["frames_that_allocated"] = static_cast<double>(cost.passesThatAllocated);
    state.counters["objects_per_frame"] = static_cast<double>(objectsSeen) / passes;
    return true;
}

// Heap allocations per pass, and whose they are: the game's own code must
// make none. Finding each allocation's owner costs time, so this benchmark's
// times say nothing; BM_SteadyPlayPass measures those.
void BM_AllocationsPerPass(benchmark::State& state) {
    Core* core = playingGame(state);
    if (core == nullptr) {
        return;
    }
    if (!benchalloc::available()) {
        state.SkipWithError("allocation counting needs a build without AddressSanitizer");
        return;
    }
    // backtrace loads its unwinder on first use; not during the count.
    void* warm[4];
    backtrace(warm, 4);
    Dl_info self{};
    dladdr(reinterpret_cast<void*>(&mainLoopPass), &self);
    gameBase = self.dli_fbase;
    benchalloc::setObserver(noteOwner);
    PassCost cost;
    const bool steady = countedPasses(state, *core, cost);
    benchalloc::setObserver(nullptr);
    if (steady) {
        reportOwners(state.iterations());
        state.counters["game_allocs_per_frame"] =
            static_cast<double>(gameAllocations()) / static_cast<double>(state.iterations());
    }
}
BENCHMARK(BM_AllocationsPerPass)->Iterations(kCountedPasses)->Unit(benchmark::kMicrosecond);

// Wall and CPU time per pass: the game's thread in the frame step and in the
// scene pass, and the whole process (the GL driver's rasteriser threads and
// the sound output included).
void BM_SteadyPlayPass(benchmark::State& state) {
    Core* core = playingGame(state);
    if (core == nullptr) {
        return;
    }
    PassCost cost;
    const double processCpuStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    if (!countedPasses(state, *core, cost)) {
        return;
    }
    const double passes = static_cast<double>(state.iterations());
    state.counters["frame_step_cpu_us"] = cost.frameStepCpu / passes * 1e6;
    state.counters["scene_pass_cpu_us"] = cost.scenePassCpu / passes * 1e6;
    state.counters["process_cpu_us"] = (cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processCpuStart) / passes * 1e6;
    state.counters["points"] = player.getPoints();
}
BENCHMARK(BM_SteadyPlayPass)->Iterations(kCountedPasses)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!benchalloc::available()) {
        std::fprintf(stderr, "allocation counting needs a build without AddressSanitizer\n");
    } else if (!benchalloc::verify()) {
        return 1;
    }
    std::printf("frame step = keys, pad or mouse, present; scene pass = course, ship, bodies, sun, overlay\n");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
