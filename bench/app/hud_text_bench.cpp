// What the overlay costs as the game draws it now (each print one vertex
// array of glyph quads, one glDrawArrays; no veil while it is wholly
// transparent) beside the way it was drawn before (one display list per
// glyph, each a quad and a move of the pen, called with glCallLists; the
// veil blended over the picture in every pass, at opacity 0 while a song
// plays), in the same run on the game's own window: the wall time of the
// prints in a main-loop pass, the median wall time of whole passes, and the
// CPU time of the passes, in the Welcome menu and in steady play. The two
// ways take turns in blocks of passes, so that both see the same load on
// the machine.
//
// Every FontHandler::print of the game lands in this program first (a linker
// wrap), which times it and draws it one way or the other; the overlay as a
// whole (drawHud, which adds the transparent veil the old way) and the
// present (the buffer swap, which waits for the rasteriser to finish the
// picture before) are timed the same way, to show where the rest of a pass
// goes.

#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <numeric>
#include <vector>

#include "app/Core.h"
#include "game/PlayState.h"
#include "platform/system.h"
#include "bench/audio/alloc_counter.h"
#include "bench/app/bench_world.h"
#include "platform/key_codes.h"
#include "platform/window.h"
#include "render/FontHandler.h"
#include "text/glyph_text.h"

struct SceneView;
namespace plat {
struct DeviceContextRecord;
}

extern "C" {
void __real__Z7drawHudRK9PlayStateRK9SceneView(const PlayState& play, const SceneView& view);
bool __real__ZN4plat11swapBuffersEPNS_19DeviceContextRecordE(plat::DeviceContextRecord* dc);
void __real__ZN11FontHandler5printEjjjjjjfPKcz(FontHandler* self, std::uint32_t fontId, std::uint32_t y,
                                                std::uint32_t x, std::uint32_t red, std::uint32_t green,
                                                std::uint32_t blue, float scale, const char* format, ...);
}

namespace {

using Clock = std::chrono::steady_clock;

// The glyph lists as the fonts were built before: a block of one list per
// byte value, each the glyph's quad (when the sheet has a cell for it) and
// a move of the pen by one cell.
GLuint buildGlyphLists(const Font& font) {
    const GLuint block = glGenLists(256);
    const auto cell = static_cast<GLint>(font.cellSize);
    for (unsigned code = 0; code < 256; ++code) {
        glNewList(block + code, GL_COMPILE);
        if (code >= kFirstGlyphCode && code < kFirstGlyphCode + kGlyphCount) {
            const Font::Cell& c = font.cells[code - kFirstGlyphCode];
            glBegin(GL_QUADS);
            glTexCoord2f(c.s0, c.t0);
            glVertex2i(0, 0);
            glTexCoord2f(c.s1, c.t0);
            glVertex2i(cell, 0);
            glTexCoord2f(c.s1, c.t1);
            glVertex2i(cell, cell);
            glTexCoord2f(c.s0, c.t1);
            glVertex2i(0, cell);
            glEnd();
        }
        glTranslated(static_cast<double>(font.cellSize), 0.0, 0.0);
        glEndList();
    }
    return block;
}

// Wall time spent in a part of the pass since the last reset.
struct Part {
    double seconds = 0.0;
    template <typename Call>
    auto timed(Call call) {
        const Clock::time_point start = Clock::now();
        struct Add {
            Part& part;
            Clock::time_point start;
            ~Add() { part.seconds += std::chrono::duration<double>(Clock::now() - start).count(); }
        } add{*this, start};
        return call();
    }
};
Part overlay, present;

struct Prints {
    bool before = false;  // the overlay drawn as it was before
    GLuint listBlock = 0;
    double seconds = 0.0;  // in prints since the last reset
    long count = 0;
    long allocations = 0;  // on the game's thread, the GL driver's included
    char text[512] = {};
    char glyphs[512] = {};
} prints;

// A print as it was drawn before: the same state, then the glyph lists.
void printWithLists(const Font& font, std::uint32_t y, std::uint32_t x, std::uint32_t red, std::uint32_t green,
                    std::uint32_t blue, float scale) {
    beginText(font, y, x, red, green, blue, scale);
    const std::size_t count = toGlyphCodes(prints.text, prints.glyphs, sizeof prints.glyphs);
    glListBase(prints.listBlock);
    glCallLists(static_cast<GLsizei>(count), GL_UNSIGNED_BYTE, prints.glyphs);
    endText();
}

}  // namespace

extern "C" void __wrap__Z7drawHudRK9PlayStateRK9SceneView(const PlayState& play, const SceneView& view) {
    overlay.timed([&] {
        if (prints.before && play.menuFade == 0.0f) {
            // The veil as it was drawn in every pass: over all above the bar, here wholly transparent.
            const float W = static_cast<float>(plat::getSystemMetrics(plat::SM_CXSCREEN));
            const float H = static_cast<float>(plat::getSystemMetrics(plat::SM_CYSCREEN));
            glDisable(GL_LIGHTING);
            glLoadIdentity();
            glEnable(GL_BLEND);
            glColor4f(0.0f, 0.0f, 0.4f, 0.0f);
            glBegin(GL_QUADS);
            glVertex2f(-10.0f * H, 100.0f);
            glVertex2f(H + play.banner.width, 100.0f);
            glVertex2f(H + play.banner.width, 10.0f * W + 100.0f);
            glVertex2f(-10.0f * H, 10.0f * W + 100.0f);
            glEnd();
            glDisable(GL_BLEND);
        }
        __real__Z7drawHudRK9PlayStateRK9SceneView(play, view);
    });
}

extern "C" bool __wrap__ZN4plat11swapBuffersEPNS_19DeviceContextRecordE(plat::DeviceContextRecord* dc) {
    return present.timed([&] { return __real__ZN4plat11swapBuffersEPNS_19DeviceContextRecordE(dc); });
}

extern "C" void __wrap__ZN11FontHandler5printEjjjjjjfPKcz(FontHandler* self, std::uint32_t fontId, std::uint32_t y,
                                                           std::uint32_t x, std::uint32_t red, std::uint32_t green,
                                                           std::uint32_t blue, float scale, const char* format, ...) {
    // Both ways format the text here, then the game's own print formats it
    // once more from "%s": a little against the vertex arrays.
    const Clock::time_point start = Clock::now();
    benchalloc::start();
    va_list args;
    va_start(args, format);
    std::vsnprintf(prints.text, sizeof prints.text, format, args);
    va_end(args);
    if (prints.before && fontId >= 1 && fontId <= self->fonts.size()) {
        printWithLists(*self->fonts[fontId - 1], y, x, red, green, blue, scale);
    } else {
        __real__ZN11FontHandler5printEjjjjjjfPKcz(self, fontId, y, x, red, green, blue, scale, "%s", prints.text);
    }
    prints.allocations += benchalloc::stop();
    prints.seconds += std::chrono::duration<double>(Clock::now() - start).count();
    ++prints.count;
}

namespace {

constexpr int kBlockPasses = 50;
constexpr int kBlocks = 6;  // per way

double cpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// One pass of the main loop, as Core::runMainLoop makes it; its wall time.
double mainLoopPass(Core& core) {
    const Clock::time_point start = Clock::now();
    if (plat::peekMessage(&core.msg, true)) {
        plat::translateMessage(core.msg);
        plat::dispatchMessage(core.msg);
    }
    core.frame();
    core.drawScene();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Way {
    std::vector<double> passes;  // wall time of each pass, s
    double textSeconds = 0.0;
    double overlaySeconds = 0.0;
    double presentSeconds = 0.0;
    double gameThreadCpu = 0.0;  // s, the game's thread
    double processCpu = 0.0;     // s, every thread: the rasteriser's too
    long textPrints = 0;
    long textAllocations = 0;
};

// Passes in turns of the two ways; the figures of each, per pass.
void compare(benchmark::State& state, Core& core, const char* screen) {
    Way lists, arrays;  // before, now
    for (auto _ : state) {
        for (int block = 0; block < kBlocks; ++block) {
            for (Way* way : {&lists, &arrays}) {
                prints.before = way == &lists;
                prints.seconds = 0.0;
                prints.count = 0;
                prints.allocations = 0;
                overlay.seconds = 0.0;
                present.seconds = 0.0;
                const double threadStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
                const double processStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
                for (int pass = 0; pass < kBlockPasses; ++pass) {
                    way->passes.push_back(mainLoopPass(core));
                }
                way->gameThreadCpu += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadStart;
                way->processCpu += cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
                way->textSeconds += prints.seconds;
                way->textPrints += prints.count;
                way->textAllocations += prints.allocations;
                way->overlaySeconds += overlay.seconds;
                way->presentSeconds += present.seconds;
            }
        }
    }
    prints.before = false;
    const auto msPerPass = [](const Way& way, double seconds) {
        return seconds / static_cast<double>(way.passes.size()) * 1e3;
    };
    const auto perPass = [&](const Way& way) { return msPerPass(way, way.textSeconds); };
    const auto allocationsPerPass = [](const Way& way) {
        return static_cast<double>(way.textAllocations) / static_cast<double>(way.passes.size());
    };
    state.counters["text_ms_lists"] = perPass(lists);
    state.counters["text_ms_arrays"] = perPass(arrays);
    state.counters["pass_median_ms_lists"] = median(lists.passes) * 1e3;
    state.counters["pass_median_ms_arrays"] = median(arrays.passes) * 1e3;
    state.counters["text_allocs_per_pass_lists"] = allocationsPerPass(lists);
    state.counters["text_allocs_per_pass_arrays"] = allocationsPerPass(arrays);
    state.counters["process_cpu_ms_lists"] = msPerPass(lists, lists.processCpu);
    state.counters["process_cpu_ms_arrays"] = msPerPass(arrays, arrays.processCpu);
    state.counters["prints_per_pass"] = static_cast<double>(arrays.textPrints) / static_cast<double>(arrays.passes.size());
    std::printf("%s: HUD text %.3f ms per pass with glyph lists (before), %.3f ms with vertex arrays (now) "
                "(heap allocations in it %.1f, %.1f, the GL driver's); "
                "main-loop pass median %.2f ms -> %.2f ms (%.0f%% lower)\n",
                screen, perPass(lists), perPass(arrays), allocationsPerPass(lists), allocationsPerPass(arrays),
                median(lists.passes) * 1e3, median(arrays.passes) * 1e3,
                100.0 * (1.0 - median(arrays.passes) / median(lists.passes)));
    for (const Way* way : {&lists, &arrays}) {
        const double mean = msPerPass(*way, std::accumulate(way->passes.begin(), way->passes.end(), 0.0));
        std::printf("  %s, mean pass %.2f ms: present (waits for the rasteriser) %.2f, overlay %.2f (text %.2f), "
                    "the rest of the scene pass and the frame step %.2f; CPU per pass %.2f ms on the game's "
                    "thread, %.2f ms in all\n",
                    way == &lists ? "before" : "now   ", mean, msPerPass(*way, way->presentSeconds),
                    msPerPass(*way, way->overlaySeconds), perPass(*way),
                    mean - msPerPass(*way, way->presentSeconds) - msPerPass(*way, way->overlaySeconds),
                    msPerPass(*way, way->gameThreadCpu), msPerPass(*way, way->processCpu));
    }
}

// The game full screen on the desktop, as a player starts it; the glyph
// lists of the old way built for its fonts. Null (with the reason on
// `state`) when there is no game.
Core* theGame(benchmark::State& state) {
    benchworld::Game& g = benchworld::gameWithSong(150.0, "");
    if (g.core == nullptr) {
        state.SkipWithError(g.error.c_str());
        return nullptr;
    }
    if (prints.listBlock == 0) {
        prints.listBlock = buildGlyphLists(*fontHandler.fonts.at(0));
        g.core->play.active = true;
        g.core->appState = APP_STATE_RUNNING;
    }
    return g.core;
}

// The Welcome menu, veil faded in: the menu's texts and the score bar's.
void BM_WelcomeMenuText(benchmark::State& state) {
    Core* core = theGame(state);
    if (core == nullptr) {
        return;
    }
    for (int pass = 0; pass < 30; ++pass) {
        mainLoopPass(*core);
    }
    if (!core->play.inMenu) {
        state.SkipWithError("the game is not in its menu");
        return;
    }
    compare(state, *core, "Welcome menu");
}
BENCHMARK(BM_WelcomeMenuText)->Iterations(1)->Unit(benchmark::kMillisecond);

// Steady play: the song started with Enter, objects on the course, the score
// bar's texts.
void BM_SteadyPlayText(benchmark::State& state) {
    Core* core = theGame(state);
    if (core == nullptr) {
        return;
    }
    core->handleMessage(plat::WM_KEYDOWN, plat::VK_RETURN, 0);
    mainLoopPass(*core);
    core->handleMessage(plat::WM_KEYUP, plat::VK_RETURN, 0);
    for (int pass = 0; pass < 120; ++pass) {
        mainLoopPass(*core);
    }
    if (core->play.inMenu || core->play.paused) {
        state.SkipWithError("the game is not playing; the figures would not be of steady play");
        return;
    }
    compare(state, *core, "Steady play");
    if (core->play.inMenu || core->play.paused) {
        state.SkipWithError("the song ended or paused during the measurement");
    }
}
BENCHMARK(BM_SteadyPlayText)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
