// The best scores of 100,000 songs: reading them at start, writing them all
// anew, keeping a new best among them, and what a new best costs the main
// loop. The last runs the game on its real window in steady play and sets a
// new best every 60th pass; the pass that hands it to the writer thread, and
// the passes while that thread writes, are timed against the passes around them.

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/Core.h"
#include "bench/app/bench_world.h"
#include "game/screens.h"
#include "platform/key_codes.h"
#include "platform/window.h"

namespace {

constexpr int kSongs = 100000;
constexpr int kRuns = 15;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// CPU time of this thread: on a busy machine the wall time also counts other programs' turns.
double cpuNow() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

BestScores manySongs() {
    BestScores scores;
    char name[160];
    for (int i = 0; i < kSongs; ++i) {
        std::snprintf(name, sizeof name, "Artist %03d/Album %02d/%02d - A Song Title Of Some Length %06d.mp3", i / 400,
                      (i / 20) % 20, i % 20, i);
        scores.offer(name, (i * 7919) % 5000 - 300);
    }
    return scores;
}

void mainLoopPass(Core& core) {
    if (plat::peekMessage(&core.msg, true)) {
        plat::translateMessage(core.msg);
        plat::dispatchMessage(core.msg);
    }
    core.frame();
    core.drawScene();
}

void reportPasses(Core& core) {
    core.play.active = true;
    core.appState = APP_STATE_RUNNING;
    core.handleMessage(plat::WM_KEYDOWN, plat::VK_RETURN, 0);
    mainLoopPass(core);
    core.handleMessage(plat::WM_KEYUP, plat::VK_RETURN, 0);
    for (int pass = 0; pass < 200; ++pass) {
        mainLoopPass(core);
    }
    constexpr int kPasses = 1200, kEvery = 60, kWriting = 10;
    std::vector<double> quiet, handing, writing;
    for (int pass = 0; pass < kPasses; ++pass) {
        const bool newBest = pass % kEvery == kEvery / 2;
        if (newBest) {
            // As the song's end does it: the score offered, then the pass hands it over.
            core.play.playingSong = "Bench/New Best " + std::to_string(pass) + ".ogg";
            keepBest(core.play, pass);
        }
        const double start = now();
        mainLoopPass(core);
        const double took = (now() - start) * 1e3;
        const int since = pass % kEvery - kEvery / 2;
        (newBest ? handing : (since > 0 && since <= kWriting) ? writing : quiet).push_back(took);
    }
    core.scoreKeeper.finish(core.play);
    if (core.play.inMenu || core.play.paused) {
        std::printf("the song ended during the measurement; the pass figures are not of steady play\n");
    }
    std::printf("main-loop pass, ms (median / worst): without a write %.2f / %.2f; handing a new best over %.2f / %.2f; "
                "the %d passes after it, while the writer writes %.2f / %.2f (%zu new bests)\n",
                median(quiet), *std::max_element(quiet.begin(), quiet.end()), median(handing),
                *std::max_element(handing.begin(), handing.end()), kWriting, median(writing),
                *std::max_element(writing.begin(), writing.end()), handing.size());
}

}  // namespace

int main() {
    benchworld::Game& game = benchworld::gameWithSong(150.0, "");
    if (game.core == nullptr) {
        std::printf("skipped: %s\n", game.error.c_str());
        return 0;
    }
    Core& core = *game.core;

    // The file as the game writes it, in the game's working folder.
    const std::string content = serialiseBestScores(manySongs());
    std::ofstream(kBestScoresFile, std::ios::binary) << content;
    std::vector<double> loads, loadsCpu;
    for (int run = 0; run < kRuns; ++run) {
        PlayState play;
        ScoreKeeper keeper;
        const double start = now(), startCpu = cpuNow();
        keeper.load(play);
        loads.push_back((now() - start) * 1e3);
        loadsCpu.push_back((cpuNow() - startCpu) * 1e3);
        if (play.bestScores.size() != kSongs) {
            std::printf("read %zu songs of %d\n", play.bestScores.size(), kSongs);
            return 1;
        }
    }
    std::printf("%d songs' best scores (%.1f MB): load at start %.1f ms (median of %d, fastest %.1f; CPU time %.1f ms)\n",
                kSongs, static_cast<double>(content.size()) / 1e6, median(loads), kRuns,
                *std::min_element(loads.begin(), loads.end()), median(loadsCpu));

    std::vector<double> writes;
    for (int run = 0; run < 5; ++run) {
        const BestScores scores = manySongs();
        const double start = now();
        const std::string text = serialiseBestScores(scores);
        std::string error;
        if (!plat::replaceFile(kBestScoresFile, text.data(), text.size(), &error)) {
            std::printf("write failed: %s\n", error.c_str());
            return 1;
        }
        writes.push_back((now() - start) * 1e3);
    }
    std::printf("writing them all anew (serialise, write, flush, rename, flush the folder): %.1f ms (median of 5) "
                "on the writer thread\n",
                median(writes));

    // What the writer thread does for a new best: the lock, the file read as
    // it is then (another copy may have written it), the best added, all written.
    std::vector<double> merges;
    {
        PlayState play;
        ScoreKeeper keeper;
        keeper.load(play);
        for (int run = 0; run < 5; ++run) {
            play.playingSong = "Bench/Kept " + std::to_string(run) + ".ogg";
            keepBest(play, run);
            const double start = now();
            keeper.finish(play);
            merges.push_back((now() - start) * 1e3);
            if (play.songEnd.notKept) {
                std::printf("a new best was not kept: see log.txt\n");
                return 1;
            }
        }
    }
    std::printf("a new best kept among them (lock, read the file as it is, add, write, flush): %.1f ms (median of 5) "
                "on the writer thread\n",
                median(merges));

    core.scoreKeeper.load(core.play);
    reportPasses(core);
    return 0;
}
