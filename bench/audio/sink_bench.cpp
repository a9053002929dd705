// The sound where the player hears it, timed and counted at a null sink, on
// PulseAudio and on PipeWire in the same run: the time from the Enter key to
// the first sample of the song and from the P key to silence (the keys
// pressed from this process through XTest, so that no helper program's start
// is in the figure), the time from an effect's start (what a collection does)
// to its first sample, and the faulty 10 ms blocks half a minute of a steady
// 1 kHz tone shows on a quiet machine and with two busy processes on the
// cores; where the recorder can tell (the capture stream on PipeWire), also
// how many of those fall where it came late to the graph itself and lost
// frames: those are the recorder's faults, not the game's. One table at the
// end, the servers side by side with the load average before and after each.
//
//   audio_sink_bench [--recorder-ms=N] [--pipewire-recorder=own|parec]
//                    [--pipewire-pulse]
//
// Each column names how the game reaches its server and what records the
// sink: on PulseAudio the game's PulseAudio output and parec; on PipeWire
// the game's PipeWire output and, unless told otherwise, a capture stream of
// this process's own on PipeWire's API, so that each server is recorded by a
// client of its own (parec there goes through pipewire-pulse). --pipewire-pulse
// adds a column of the game's PulseAudio output on pipewire-pulse, as where
// libpipewire is missing. The recorder asks for 5 ms unless told otherwise:
// on PipeWire that sets the quantum of the whole graph, as a voice chat or a
// music program of the player's does. The servers are private ones started
// with scripts/sound-server.sh; without DISPLAY a private Xvfb is started
// too. About two minutes a column.

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "audio/engine/sound.h"
#include "tests/e2e/game_process.h"
#include "tests/e2e/pictures.h"
#include "tests/e2e/sink_recorder.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/temp_resources.h"

namespace {

using namespace e2e;
using Clock = SinkRecorder::Clock;

constexpr double kToneHz = 1000.0;
constexpr double kToneAmplitude = 0.5;
constexpr int kEnterRounds = 15;
constexpr int kEffectRounds = 20;
constexpr double kToneSeconds = 30.0;

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Spread {
    double median = -1, worst = -1;
    int count = 0;
};

Spread spreadOf(std::vector<double> values) {
    Spread s;
    s.count = static_cast<int>(values.size());
    if (values.empty()) {
        return s;
    }
    std::sort(values.begin(), values.end());
    s.median = values[values.size() / 2];
    s.worst = values.back();
    return s;
}

// The script's one line of output, or nothing when it failed.
std::string soundServerScript(const std::string& arguments) {
    int status = 0;
    std::string line = run("bash " REDAVAVE_SOURCE_DIR "/scripts/sound-server.sh " + arguments, &status);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    return status == 0 ? line : std::string();
}

// A private sound server of each kind, and an X server when there is no
// display; all stopped at the end.
class Servers {
public:
    Servers() {
        for (const char* kind : {"pulseaudio", "pipewire"}) {
            Server server;
            server.kind = kind;
            server.dir = testworld::makeTempFolder("sink-bench").string();
            server.address = soundServerScript("start " + server.dir + " " + kind);
            if (server.kind == "pipewire" && !server.address.empty()) {
                server.remote = soundServerScript("remote " + server.dir);
            }
            sound.push_back(server);
        }
        if (std::getenv("DISPLAY") == nullptr) {
            for (int n = 71; n < 200 && xvfb <= 0; ++n) {
                const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
                const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
                if (std::filesystem::exists(lock) || std::filesystem::exists(socket)) {
                    continue;
                }
                const std::string display = ":" + std::to_string(n);
                xvfb = fork();
                if (xvfb == 0) {
                    execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
                           "-noreset", static_cast<char*>(nullptr));
                    _exit(127);
                }
                setenv("DISPLAY", display.c_str(), 1);
                for (int i = 0; i < 100; ++i) {
                    int status = 0;
                    run("xdpyinfo -display " + display + " >/dev/null 2>&1", &status);
                    if (status == 0) {
                        break;
                    }
                    sleepFor(0.1);
                }
            }
        }
    }
    ~Servers() {
        for (const Server& server : sound) {
            run("bash " REDAVAVE_SOURCE_DIR "/scripts/sound-server.sh stop " + server.dir);
            std::filesystem::remove_all(server.dir);
        }
        if (xvfb > 0) {
            kill(xvfb, SIGTERM);
            waitpid(xvfb, nullptr, 0);
        }
    }
    struct Server {
        std::string kind;
        std::string dir;
        std::string address;  // its PulseAudio server; empty when it did not start
        std::string remote;   // PipeWire: its own socket
    };
    std::vector<Server> sound;

private:
    pid_t xvfb = -1;
};

// Keys pressed into the game's window from this process, as the X server's
// own input: the time taken is when the press leaves for the server.
class Keyboard {
public:
    Keyboard() : display(XOpenDisplay(nullptr)) {
        int event = 0, error = 0, major = 0, minor = 0;
        usable = display != nullptr && XTestQueryExtension(display, &event, &error, &major, &minor);
    }
    ~Keyboard() {
        if (display != nullptr) {
            XCloseDisplay(display);
        }
    }
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    bool ready() const { return usable; }
    // Keys go to `window` from now on (there is no window manager to move the focus).
    void focus(unsigned long window) {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
    }
    void down(KeySym key) { send(key, true); }
    void up(KeySym key) { send(key, false); }
    // Down and up; when the down went out.
    Clock::time_point press(KeySym key) {
        const Clock::time_point at = send(key, true);
        send(key, false);
        return at;
    }

private:
    Clock::time_point send(KeySym key, bool down) {
        const Clock::time_point at = Clock::now();
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), down ? True : False, CurrentTime);
        XFlush(display);
        XSync(display, False);
        return at;
    }
    Display* display;
    bool usable = false;
};

// The first frame at or after `from` that starts `frames` frames of silence
// (every magnitude at most `threshold`), or -1.
std::int64_t firstSilence(const SinkRecorder& recorder, std::int64_t from, int frames, float threshold) {
    const std::vector<float> samples = recorder.left(from, recorder.frames());
    int quiet = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        quiet = std::fabs(samples[i]) <= threshold ? quiet + 1 : 0;
        if (quiet == frames) {
            return from + static_cast<std::int64_t>(i) + 1 - frames;
        }
    }
    return -1;
}

// Processes that keep one core each busy until stopped.
class BusyLoops {
public:
    explicit BusyLoops(int count) {
        for (int i = 0; i < count; ++i) {
            const pid_t pid = fork();
            if (pid == 0) {
                volatile unsigned long spin = 0;
                for (;;) {
                    spin = spin + 1;
                }
            }
            pids.push_back(pid);
        }
    }
    ~BusyLoops() {
        for (pid_t pid : pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
    }

private:
    std::vector<pid_t> pids;
};

// A tone's faulty blocks, and the frames the recorder itself lost meanwhile
// with the faulty blocks at those places, its own faults (-1: it cannot
// tell).
struct Listening {
    ToneReport tone;
    std::int64_t recorderLost = -1;
    int recorderFaults = -1;
};

// Records the tone for kToneSeconds from now.
Listening listenToTone(const SinkRecorder& recorder) {
    const std::int64_t from = recorder.frames();
    const std::int64_t lostBefore = recorder.missedFrames();
    sleepFor(kToneSeconds);
    Listening listening;
    listening.tone = checkTone(recorder.left(from, recorder.frames()), kToneHz, kToneAmplitude, 0.003);
    if (lostBefore < 0) {
        return listening;
    }
    listening.recorderLost = recorder.missedFrames() - lostBefore;
    // A loss shows in the block it falls in, and may spill into the next.
    listening.recorderFaults = 0;
    const std::vector<std::int64_t> gaps = recorder.missedAt();
    for (int block : listening.tone.faultyBlocks) {
        const std::int64_t start = from + static_cast<std::int64_t>(block) * kBlockFrames;
        listening.recorderFaults += std::any_of(gaps.begin(), gaps.end(), [&](std::int64_t gap) {
            return gap >= start - kBlockFrames && gap < start + kBlockFrames;
        }) ? 1 : 0;
    }
    return listening;
}

struct GameFigures {
    std::vector<double> enterMs, pauseMs;
    Listening idle, busy;
    std::string trouble;
};

// How one column's game reaches its server, and what records the sink.
struct Route {
    std::string label;
    std::string pulseServer;     // the game's PULSE_SERVER, or empty
    std::string pipewireRemote;  // the game's PIPEWIRE_REMOTE, or empty
    const char* output = "";     // the engine's name for the output the game should pick
    std::string recorderServer;
    Recorder recorder = Recorder::Parec;
    std::string trouble;  // why the column cannot be measured
};

GameFigures measureGame(const Route& route, int recorderMs) {
    GameFigures figures;
    GameFolder folder;
    auto song = fixtures::tone(kToneHz, 3 * kToneSeconds, kToneAmplitude);
    song.sampleRate = kSinkRate;
    std::string error;
    if (!fixtures::writeSong((folder.musicFolder() / "Tone.flac").string(), fixtures::AudioFormat::Flac, song, &error)) {
        figures.trouble = "cannot write the tone song: " + error;
        return figures;
    }
    SinkRecorder recorder(route.recorderServer, recorderMs, route.recorder);
    if (!recorder.started() || !recorder.waitForFrames(kSinkRate / 10, 10.0)) {
        figures.trouble = "the recorder records nothing";
        return figures;
    }
    Keyboard keyboard;
    if (!keyboard.ready()) {
        figures.trouble = "no XTest on the display";
        return figures;
    }
    Launch launch;
    launch.soundServer = route.pulseServer;
    launch.pipewireRemote = route.pipewireRemote;
    GameProcess game(folder, {"-window"}, launch);
    const unsigned long window = game.waitForWindow();
    if (window == 0 || !folder.waitForLogLine("#Initalized Audio")) {
        figures.trouble = "the game did not start: " + game.standardError();
        return figures;
    }
    keyboard.focus(window);
    sleepFor(0.5);

    // Enter, P, then back to the menu (Enter) and again.
    for (int round = 0; round < kEnterRounds; ++round) {
        std::int64_t mark = recorder.frames();
        const auto entered = keyboard.press(XK_Return);
        recorder.waitForFrames(mark + kSinkRate / 2, 5.0);
        const std::int64_t first = recorder.firstAbove(mark, 0.01f);
        if (first >= 0) {
            figures.enterMs.push_back(msBetween(entered, recorder.arrival(first)));
        }
        sleepFor(0.3 + 0.013 * round);  // not in step with the output's blocks
        mark = recorder.frames();
        const auto paused = keyboard.press(XK_p);
        recorder.waitForFrames(mark + kSinkRate / 4, 5.0);
        const std::int64_t silent = firstSilence(recorder, mark, kBlockFrames, 0.01f);
        if (silent >= 0) {
            figures.pauseMs.push_back(msBetween(paused, recorder.arrival(silent)));
        }
        sleepFor(0.2);
        keyboard.press(XK_Return);
        sleepFor(0.5);
    }

    // The tone, with the ship steered out of the lane its objects come in.
    keyboard.press(XK_Return);
    keyboard.down(XK_Left);
    sleepFor(0.8);
    keyboard.up(XK_Left);
    sleepFor(0.5);
    figures.idle = listenToTone(recorder);
    {
        BusyLoops loops(2);
        sleepFor(0.5);
        figures.busy = listenToTone(recorder);
    }
    keyboard.press(XK_Escape);
    game.waitForExit(20.0);
    std::fprintf(stderr, "%s", game.standardError().c_str());
    return figures;
}

// From playSound of a short tone to its first sample at the sink, on the
// engine as the game sets it up; what a collection costs after its frame.
std::vector<double> measureEffects(const Route& route, int recorderMs, std::string* trouble) {
    std::vector<double> ms;
    const std::filesystem::path folder = testworld::makeTempFolder("sink-bench-fx");
    const std::string path = (folder / "hit.flac").string();
    auto hit = fixtures::tone(kToneHz, 0.1, kToneAmplitude);
    hit.sampleRate = kSinkRate;
    std::string error;
    if (!fixtures::writeSong(path, fixtures::AudioFormat::Flac, hit, &error)) {
        *trouble = "cannot write the effect: " + error;
        return ms;
    }
    for (const auto& [variable, value] : {std::pair{"PULSE_SERVER", route.pulseServer},
                                           std::pair{"PIPEWIRE_REMOTE", route.pipewireRemote}}) {
        if (value.empty()) {
            unsetenv(variable);
        } else {
            setenv(variable, value.c_str(), 1);
        }
    }
    unsetenv("PIPEWIRE_RUNTIME_DIR");
    unsetenv("SDL_AUDIODRIVER");
    SinkRecorder recorder(route.recorderServer, recorderMs, route.recorder);
    snd::System* system = nullptr;
    snd::Sound* sound = nullptr;
    if (!recorder.started() || !recorder.waitForFrames(kSinkRate / 10, 10.0) || snd::createSystem(&system) != snd::OK ||
        system->init(16, 0, nullptr) != snd::OK ||
        system->createSound(path.c_str(), snd::MODE_SOFTWARE, nullptr, &sound) != snd::OK) {
        *trouble = "no engine on the server";
    } else if (std::string(system->outputName()) != route.output) {
        *trouble = std::string("the engine chose ") + system->outputName() + ", not " + route.output;
    } else {
        sleepFor(0.5);
        for (int round = 0; round < kEffectRounds; ++round) {
            const std::int64_t mark = recorder.frames();
            const auto started = Clock::now();
            system->playSound(snd::CHANNEL_FREE, sound, false, nullptr);
            recorder.waitForFrames(mark + kSinkRate / 4, 5.0);
            const std::int64_t first = recorder.firstAbove(mark, 0.01f);
            if (first >= 0) {
                ms.push_back(msBetween(started, recorder.arrival(first)));
            }
            sleepFor(0.1 + 0.013 * round);  // not in step with the output's blocks
        }
    }
    if (system != nullptr) {
        system->release();
    }
    std::filesystem::remove_all(folder);
    return ms;
}

double loadAverage() {
    double load = -1;
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (std::fscanf(f, "%lf", &load) != 1) {
            load = -1;
        }
        std::fclose(f);
    }
    return load;
}

// One route's column of the table.
struct Column {
    std::string label;
    double loadBefore = -1, loadAfter = -1;
    Spread enter, pause, effect;
    Listening idle, busy;
    std::string trouble;
};

Column measure(const Route& route, int recorderMs) {
    Column column;
    column.label = route.label;
    if (!route.trouble.empty()) {
        column.trouble = route.trouble;
        return column;
    }
    column.loadBefore = loadAverage();
    const GameFigures game = measureGame(route, recorderMs);
    column.trouble = game.trouble;
    std::vector<double> effects;
    if (column.trouble.empty()) {
        effects = measureEffects(route, recorderMs, &column.trouble);
    }
    column.loadAfter = loadAverage();
    column.enter = spreadOf(game.enterMs);
    column.pause = spreadOf(game.pauseMs);
    column.effect = spreadOf(effects);
    column.idle = game.idle;
    column.busy = game.busy;
    return column;
}

// The table's rows: a title, then 32 characters for each server.
void printTitles(std::size_t count, const char* first, const char* second, const char* third) {
    std::printf("%-42s", "");
    for (std::size_t i = 0; i < count; ++i) {
        std::printf("  %11s %11s %6s", first, second, third);
    }
    std::printf("\n");
}

void printSpread(const char* what, const std::vector<Column>& columns, Spread Column::*field) {
    std::printf("%-42s", what);
    for (const Column& column : columns) {
        const Spread& spread = column.*field;
        std::printf("  %8.1f ms %8.1f ms %6d", spread.median, spread.worst, spread.count);
    }
    std::printf("\n");
}

void printFaults(const char* what, const std::vector<Column>& columns, Listening Column::*field) {
    std::printf("%-42s", what);
    for (const Column& column : columns) {
        const Listening& listening = column.*field;
        std::printf("  %11d %11d %6s", listening.tone.faults, listening.tone.blocks, "");
    }
    std::printf("\n");
}

// The recorder's own losses: the faulty blocks at them and the frames lost.
void printRecorderLost(const char* what, const std::vector<Column>& columns, Listening Column::*field) {
    std::printf("%-42s", what);
    for (const Column& column : columns) {
        const Listening& listening = column.*field;
        if (listening.recorderLost >= 0) {
            std::printf("  %11d %11lld %6s", listening.recorderFaults, static_cast<long long>(listening.recorderLost),
                        "");
        } else {
            std::printf("  %11s %11s %6s", "?", "?", "");
        }
    }
    std::printf("\n");
}

// The columns: the game's own output on each server, recorded by a client
// of that server's own (or parec on PipeWire too), and the PulseAudio output
// on pipewire-pulse when asked for.
std::vector<Route> routesOf(const Servers& servers, bool parecOnPipeWire, bool pipewirePulse) {
    std::vector<Route> routes;
    for (const Servers::Server& server : servers.sound) {
        Route route;
        if (server.address.empty() || (server.kind == "pipewire" && server.remote.empty())) {
            route.trouble = "scripts/sound-server.sh could not start " + server.kind;
        }
        if (server.kind == "pulseaudio") {
            route.label = "PulseAudio (parec)";
            route.pulseServer = route.recorderServer = server.address;
            route.output = "pulse";
            routes.push_back(route);
            continue;
        }
        route.label = parecOnPipeWire ? "PipeWire (parec)" : "PipeWire (own capture)";
        route.pipewireRemote = server.remote;
        route.output = "pipewire";
        route.recorderServer = parecOnPipeWire ? server.address : server.remote;
        route.recorder = parecOnPipeWire ? Recorder::Parec : Recorder::PipeWire;
        routes.push_back(route);
        if (pipewirePulse) {
            route.label = "pipewire-pulse (parec)";
            route.pipewireRemote.clear();
            route.pulseServer = route.recorderServer = server.address;
            route.output = "pulse";
            route.recorder = Recorder::Parec;
            routes.push_back(route);
        }
    }
    return routes;
}

}  // namespace

int main(int argc, char** argv) {
    int recorderMs = 5;
    bool parecOnPipeWire = false;
    bool pipewirePulse = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--pipewire-recorder=parec" || argument == "--pipewire-recorder=own") {
            parecOnPipeWire = argument == "--pipewire-recorder=parec";
        } else if (argument == "--pipewire-pulse") {
            pipewirePulse = true;
        } else if (std::sscanf(argv[i], "--recorder-ms=%d", &recorderMs) != 1 || recorderMs <= 0) {
            std::fprintf(stderr, "usage: %s [--recorder-ms=N] [--pipewire-recorder=own|parec] [--pipewire-pulse]\n",
                         argv[0]);
            return 2;
        }
    }
    Servers servers;
    std::vector<Column> columns;
    for (const Route& route : routesOf(servers, parecOnPipeWire, pipewirePulse)) {
        columns.push_back(measure(route, recorderMs));
    }
    bool failed = false;
    for (const Column& column : columns) {
        if (!column.trouble.empty()) {
            std::fprintf(stderr, "sink_bench: %s: %s\n", column.label.c_str(), column.trouble.c_str());
            failed = true;
        }
    }
    std::printf("\nrecorder latency %d ms\n%-42s", recorderMs, "");
    for (const Column& column : columns) {
        std::printf("  %-30s", column.label.c_str());
    }
    std::printf("\n%-42s", "load average 1 min, before -> after");
    for (const Column& column : columns) {
        std::printf("  %5.2f -> %5.2f %16s", column.loadBefore, column.loadAfter, "");
    }
    std::printf("\n");
    printTitles(columns.size(), "median", "worst", "n");
    printSpread("Enter -> first song sample at the sink", columns, &Column::enter);
    printSpread("P -> silence at the sink", columns, &Column::pause);
    printSpread("effect start -> first sample at the sink", columns, &Column::effect);
    printTitles(columns.size(), "faulty", "blocks", "");
    printFaults("tone, faulty 10 ms blocks, quiet", columns, &Column::idle);
    printFaults("tone, faulty 10 ms blocks, two busy", columns, &Column::busy);
    printTitles(columns.size(), "faulty", "frames", "");
    printRecorderLost("of them where the recorder lost, quiet", columns, &Column::idle);
    printRecorderLost("of them where the recorder lost, two busy", columns, &Column::busy);
    for (const Column& column : columns) {
        if (!column.idle.tone.firstFault.empty()) {
            std::printf("%s, first fault, quiet: %s\n", column.label.c_str(), column.idle.tone.firstFault.c_str());
        }
        if (!column.busy.tone.firstFault.empty()) {
            std::printf("%s, first fault, busy: %s\n", column.label.c_str(), column.busy.tone.firstFault.c_str());
        }
    }
    return failed ? 1 : 0;
}
