// Time from process start to the first presented picture: the game, full
// screen with the generated resources and 1000 songs in its music folder,
// beside a bare SDL program that opens a window with an OpenGL context and
// presents one cleared frame, both started in turns in the same run; and the
// game with twenty thousand files in its music folder beside the game with
// none, and with twenty thousand songs in artist and album folders. The
// figures are the ratios of the medians.
//
// A preloaded probe notes the time of each buffer swap; the game's time is
// that of the first swap that presents anything but black (the probe reads
// the picture back after it has taken the time). The bare window presents
// black, and its first swap counts. REDAVAVE_BENCH_BEFORE may name another
// build of the game (of an earlier version, say), which then takes its turn
// beside them.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "bench/app/bench_world.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using fixtures::AudioFormat;

constexpr int kSongs = 1000;
// A big collection: songs and other files, twenty thousand in all.
constexpr int kHugeSongs = 14000;
constexpr int kHugeOthers = 6000;

long long monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

// A game folder whose music folder holds `songs` songs: one short song in
// each format, the rest links to them under their own names, some with
// upper-case extensions; and `others` files that are no songs, as a player's
// folder has them (covers, play lists, notes), with a few subfolders.
benchworld::Folder* makeFolder(int songs, int others) {
    auto* f = new benchworld::Folder;
    std::vector<fs::path> originals;
    for (AudioFormat format : fixtures::musicFormats()) {
        if (static_cast<int>(originals.size()) >= songs) {
            break;
        }
        const std::string name =
            std::string("Song 0000-") + fixtures::extension(format) + "." + fixtures::extension(format);
        if (!f->ready() || !f->addSong(name, format, fixtures::tone(220.0, 1.0))) {
            return f;
        }
        originals.push_back(f->music() / name);
    }
    for (int i = static_cast<int>(originals.size()); i < songs; ++i) {
        const fs::path& original = originals[static_cast<std::size_t>(i) % originals.size()];
        std::string extension = original.extension().string();
        if (i % 10 == 0) {
            std::transform(extension.begin(), extension.end(), extension.begin(), ::toupper);
        }
        char name[64];
        std::snprintf(name, sizeof name, "Song %05d%s", i, extension.c_str());
        fs::create_hard_link(original, f->music() / name);
    }
    const char* const kOtherKinds[] = {".jpg", ".txt", ".m3u", ".nfo", ".cue", ".lrc", ".png", ""};
    for (int i = 0; i < others; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "Other %05d%s", i, kOtherKinds[i % 8]);
        std::ofstream(f->music() / name) << "not a song";
    }
    for (int i = 0; i < others / 1000; ++i) {
        fs::create_directories(f->music() / ("Album " + std::to_string(i) + ".mp3"));
    }
    fs::create_directories(f->path() / "runtime");
    fs::permissions(f->path() / "runtime", fs::perms::owner_all);
    return f;
}

benchworld::Folder& gameFolder() {
    static benchworld::Folder* folder = makeFolder(kSongs, 0);
    return *folder;
}

struct Timing {
    std::vector<double> swapMs;  // time of each swap since the spawn
    double pictureMs = -1;       // of the first one with a picture
    double pictureCpuMs = -1;    // CPU time of the program (all its threads) by then
    std::string error;
};

// A game shows its first picture within this many swaps.
constexpr int kGameSwaps = 3;

// Starts `program` in `folder` with the probe, which ends it after `swaps`
// swaps, or with `drawn` at the first swap that shows a picture.
Timing runProbed(const std::string& program, const std::vector<std::string>& args, const fs::path& folder,
                 int swaps, bool drawn) {
    Timing timing;
    const fs::path out = folder / "probe.txt";
    fs::remove(out);
    fs::remove(folder / "log.txt");

    // The programs inherit this process's environment, with the probe preloaded.
    setenv("LD_PRELOAD", REDAVAVE_SWAP_PROBE, 1);
    setenv("REDAVAVE_PROBE_OUT", out.c_str(), 1);
    setenv("REDAVAVE_PROBE_SWAPS", std::to_string(swaps).c_str(), 1);
    if (drawn) {
        setenv("REDAVAVE_PROBE_DRAWN", "1", 1);
    } else {
        unsetenv("REDAVAVE_PROBE_DRAWN");
    }
    setenv("XDG_RUNTIME_DIR", (gameFolder().path() / "runtime").c_str(), 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("REDAVAVE_MESSAGE_BOXES", "stderr", 1);
    std::vector<std::string> argvText = {program};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : argvText) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const std::string errPath = (folder / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    const long long start = monotonicNs();
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        timing.error = "cannot start " + program;
        return timing;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            timing.error = program + " showed no picture within 30 s";
            return timing;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::ifstream in(out);
    int swap = 0;
    long long at = 0;
    int picture = 0;
    long long cpu = 0;
    while (in >> swap >> at >> picture >> cpu) {
        timing.swapMs.push_back(static_cast<double>(at - start) / 1e6);
        if (picture != 0 && timing.pictureMs < 0) {
            timing.pictureMs = timing.swapMs.back();
            timing.pictureCpuMs = static_cast<double>(cpu) / 1e6;
        }
    }
    if (timing.pictureMs < 0) {
        std::ifstream err(errPath);
        const std::string why((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
        timing.error = program + " ended before its picture: " + why;
    }
    return timing;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

void BM_StartToFirstPicture(benchmark::State& state) {
    if (std::getenv("DISPLAY") == nullptr) {
        state.SkipWithError("needs an X display (DISPLAY is unset)");
        return;
    }
    benchworld::Folder& folder = gameFolder();
    if (!folder.ready()) {
        state.SkipWithError(folder.error().c_str());
        return;
    }
    // Another build of the game (an earlier version, say) started in the same turns.
    const char* before = std::getenv("REDAVAVE_BENCH_BEFORE");
    std::vector<double> game, gameFirstSwap, bare, beforeGame, gameCpu, bareCpu, beforeCpu;
    for (auto _ : state) {
        const Timing b = runProbed(REDAVAVE_BARE_WINDOW, {}, folder.path(), 1, false);
        const Timing g = runProbed(REDAVAVE_GAME_BINARY, {}, folder.path(), kGameSwaps, true);
        const Timing o = before != nullptr ? runProbed(before, {}, folder.path(), kGameSwaps, true) : Timing{};
        if (!b.error.empty() || !g.error.empty() || !o.error.empty()) {
            state.SkipWithError((b.error + g.error + o.error).c_str());
            return;
        }
        bare.push_back(b.pictureMs);
        gameFirstSwap.push_back(g.swapMs[0]);
        game.push_back(g.pictureMs);
        beforeGame.push_back(o.pictureMs);
        gameCpu.push_back(g.pictureCpuMs);
        bareCpu.push_back(b.pictureCpuMs);
        beforeCpu.push_back(o.pictureCpuMs);
        state.SetIterationTime(g.pictureMs / 1000.0);
    }
    std::ifstream log(folder.path() / "log.txt");
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    if (text.find("#Initalized Audio") == std::string::npos || text.find("Could Not Find Any Music!") != std::string::npos) {
        state.SkipWithError(("the game did not start as it should: " + text).c_str());
        return;
    }
    state.counters["game_first_picture_ms"] = median(game);
    state.counters["game_first_swap_ms"] = median(gameFirstSwap);
    state.counters["bare_sdl_gl_ms"] = median(bare);
    state.counters["ratio"] = median(game) / median(bare);
    // The CPU both took by then: what the wall times are made of when the
    // machine is busy with other work as well.
    state.counters["game_cpu_ms"] = median(gameCpu);
    state.counters["bare_cpu_ms"] = median(bareCpu);
    if (before != nullptr) {
        state.counters["before_first_picture_ms"] = median(beforeGame);
        state.counters["before_ratio"] = median(beforeGame) / median(bare);
        state.counters["before_cpu_ms"] = median(beforeCpu);
    }
}
BENCHMARK(BM_StartToFirstPicture)->Iterations(9)->UseManualTime()->Unit(benchmark::kMillisecond);

// The same start-up with twenty thousand files in the music folder, beside
// an empty music folder, in turns in the same run. The ratio of the medians
// is the cost of the scan as a player with a big collection feels it.
void BM_StartWithHugeMusicFolder(benchmark::State& state) {
    if (std::getenv("DISPLAY") == nullptr) {
        state.SkipWithError("needs an X display (DISPLAY is unset)");
        return;
    }
    static benchworld::Folder* empty = makeFolder(0, 0);
    static benchworld::Folder* huge = makeFolder(kHugeSongs, kHugeOthers);
    for (benchworld::Folder* folder : {empty, huge}) {
        if (!folder->ready()) {
            state.SkipWithError(folder->error().c_str());
            return;
        }
    }
    std::vector<double> emptyMs, hugeMs;
    for (auto _ : state) {
        const Timing e = runProbed(REDAVAVE_GAME_BINARY, {}, empty->path(), kGameSwaps, true);
        const Timing h = runProbed(REDAVAVE_GAME_BINARY, {}, huge->path(), kGameSwaps, true);
        if (!e.error.empty() || !h.error.empty()) {
            state.SkipWithError((e.error + h.error).c_str());
            return;
        }
        emptyMs.push_back(e.pictureMs);
        hugeMs.push_back(h.pictureMs);
        state.SetIterationTime(h.pictureMs / 1000.0);
    }
    std::ifstream log(huge->path() / "log.txt");
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    if (text.find("#Initalized Audio") == std::string::npos || text.find("Could Not Find Any Music!") != std::string::npos) {
        state.SkipWithError(("the game did not start as it should: " + text).c_str());
        return;
    }
    state.counters["files"] = kHugeSongs + kHugeOthers;
    state.counters["empty_folder_ms"] = median(emptyMs);
    state.counters["huge_folder_ms"] = median(hugeMs);
    state.counters["ratio"] = median(hugeMs) / median(emptyMs);
}
BENCHMARK(BM_StartWithHugeMusicFolder)->Iterations(11)->UseManualTime()->Unit(benchmark::kMillisecond);

// A player's library as music players lay it out: twenty thousand songs in a
// thousand album folders under a hundred artist folders, every format among
// them (hard links to one short song of each), beside twenty thousand songs
// directly in the music folder and an empty music folder, in turns in the
// same run. The ratios to the empty folder are what the walk of the folders costs.
constexpr int kArtists = 100;
constexpr int kAlbumsPerArtist = 10;
constexpr int kTracksPerAlbum = 20;

benchworld::Folder* makeLibrary(bool nested) {
    auto* f = makeFolder(0, 0);
    if (!f->ready()) {
        return f;
    }
    std::vector<fs::path> originals;
    const fs::path originalsFolder = f->path() / "originals";
    fs::create_directories(originalsFolder);
    for (const auto* formats : {&fixtures::musicFormats(), &fixtures::moreMusicFormats()}) {
        for (AudioFormat format : *formats) {
            const fs::path song = originalsFolder / (std::string("song-") + fixtures::formatName(format) + "." +
                                                     fixtures::extension(format));
            if (!fixtures::writeSong(song.string(), format, fixtures::tone(220.0, 0.5))) {
                return f;
            }
            originals.push_back(song);
        }
    }
    int n = 0;
    for (int artist = 0; artist < kArtists; ++artist) {
        for (int album = 0; album < kAlbumsPerArtist; ++album) {
            char folderName[64];
            std::snprintf(folderName, sizeof folderName, "Artist %03d/Album %02d", artist, album);
            const fs::path albumFolder = nested ? f->music() / folderName : f->music();
            fs::create_directories(albumFolder);
            for (int track = 0; track < kTracksPerAlbum; ++track, ++n) {
                const fs::path& original = originals[static_cast<std::size_t>(n) % originals.size()];
                char name[64];
                std::snprintf(name, sizeof name, nested ? "%02d - Track%s" : "Song %05d%s", nested ? track : n,
                              original.extension().c_str());
                fs::create_hard_link(original, albumFolder / name);
            }
        }
    }
    return f;
}

void BM_StartWithNestedLibrary(benchmark::State& state) {
    if (std::getenv("DISPLAY") == nullptr) {
        state.SkipWithError("needs an X display (DISPLAY is unset)");
        return;
    }
    static benchworld::Folder* empty = makeFolder(0, 0);
    static benchworld::Folder* flat = makeLibrary(false);
    static benchworld::Folder* nested = makeLibrary(true);
    for (benchworld::Folder* folder : {empty, flat, nested}) {
        if (!folder->ready()) {
            state.SkipWithError(folder->error().c_str());
            return;
        }
    }
    std::vector<double> emptyMs, flatMs, nestedMs;
    for (auto _ : state) {
        const Timing e = runProbed(REDAVAVE_GAME_BINARY, {}, empty->path(), kGameSwaps, true);
        const Timing l = runProbed(REDAVAVE_GAME_BINARY, {}, flat->path(), kGameSwaps, true);
        const Timing n = runProbed(REDAVAVE_GAME_BINARY, {}, nested->path(), kGameSwaps, true);
        if (!e.error.empty() || !l.error.empty() || !n.error.empty()) {
            state.SkipWithError((e.error + l.error + n.error).c_str());
            return;
        }
        emptyMs.push_back(e.pictureMs);
        flatMs.push_back(l.pictureMs);
        nestedMs.push_back(n.pictureMs);
        state.SetIterationTime(n.pictureMs / 1000.0);
    }
    std::ifstream log(nested->path() / "log.txt");
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    if (text.find("#Initalized Audio") == std::string::npos || text.find("Could Not Find Any Music!") != std::string::npos) {
        state.SkipWithError(("the game did not start as it should: " + text).c_str());
        return;
    }
    state.counters["songs"] = kArtists * kAlbumsPerArtist * kTracksPerAlbum;
    state.counters["empty_folder_ms"] = median(emptyMs);
    state.counters["flat_songs_ms"] = median(flatMs);
    state.counters["nested_songs_ms"] = median(nestedMs);
    state.counters["flat_ratio"] = median(flatMs) / median(emptyMs);
    state.counters["nested_ratio"] = median(nestedMs) / median(emptyMs);
}
BENCHMARK(BM_StartWithNestedLibrary)->Iterations(11)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
