// The sound where the player hears it: the real game, left to choose its own
// sound driver, plays to a private sound server whose null sink is recorded
// with parec, on PulseAudio and on PipeWire alike: on PipeWire through
// PipeWire's own API, as where libpipewire is there, and through
// pipewire-pulse, as where it is not. scripts/test.sh starts both servers and
// names them in REDAVAVE_SOUND_SERVER, REDAVAVE_PIPEWIRE_SERVER (pipewire-pulse)
// and REDAVAVE_PIPEWIRE_REMOTE (PipeWire's own socket); run by hand without
// them, the tests are skipped.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "tests/e2e/game_process.h"
#include "tests/e2e/pictures.h"
#include "tests/e2e/sink_recorder.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/sound_server.h"

namespace {

using namespace e2e;

constexpr double kToneHz = 1000.0;
constexpr double kToneAmplitude = 0.5;
constexpr std::int64_t kFramesPerMs = kSinkRate / 1000;

// How the game reaches a server.
struct Route {
    const char* name;
    const char* kind;     // the server's, as scripts/sound-server.sh names it
    bool native;          // PipeWire: the game on PipeWire's own API, else through pipewire-pulse
    const char* inLog;    // how the log names the server, before its address
};
const Route kPulseAudio{"PulseAudio", "pulseaudio", false, "PulseAudio server "};
const Route kPipeWire{"PipeWire", "pipewire", true, "PipeWire server "};
const Route kPipeWirePulse{"PipewirePulse", "pipewire", false, "pipewire-pulse server "};

std::string routeName(const ::testing::TestParamInfo<Route>& info) { return info.param.name; }
void PrintTo(const Route& route, std::ostream* out) { *out << route.name; }

// Every state below is waited for with this much time at most: a busy
// machine may be slow, but the state has to come.
constexpr double kPatience = 30.0;

class SoundTestBase : public ::testing::Test {
protected:
    // Skips unless there is a display and the run's server for `way`.
    void needServer(const Route& way) {
        route = way;
        if (std::getenv("DISPLAY") == nullptr) {
            GTEST_SKIP() << "needs an X display (DISPLAY is unset); the test command starts Xvfb";
        }
        const bool pipewire = std::string(way.kind) == "pipewire";
        for (const char* variable : {pipewire ? "REDAVAVE_PIPEWIRE_SERVER" : "REDAVAVE_SOUND_SERVER",
                                     pipewire ? "REDAVAVE_PIPEWIRE_REMOTE" : nullptr}) {
            if (variable == nullptr) {
                continue;
            }
            const char* named = std::getenv(variable);
            if (named == nullptr || *named == '\0') {
                GTEST_SKIP() << "needs a " << way.kind << " server to listen to (" << variable
                             << " is unset); scripts/test.sh starts one, or: scripts/sound-server.sh start DIR "
                             << way.kind;
            }
            (pipewire && std::strcmp(variable, "REDAVAVE_PIPEWIRE_REMOTE") == 0 ? remote : server) = named;
        }
    }

    void writeSong(const std::string& name, const fixtures::ToneSong& song) {
        std::string error;
        ASSERT_TRUE(fixtures::writeSong((folder.musicFolder() / name).string(), fixtures::AudioFormat::Flac, song, &error))
            << error;
    }

    // The song at the sink's own rate, so that what arrives can be compared
    // sample for sample.
    static fixtures::ToneSong at48k(fixtures::ToneSong song) {
        song.sampleRate = kSinkRate;
        return song;
    }

    // Starts the game on the sound server (the run's, unless others are
    // named), the way the route says, and waits for its menu. On PipeWire
    // the server must have the game's stream from the way asked for. A game
    // on PipeWire's own API finds pipewire-pulse as well, as on a desktop.
    void startGame(std::unique_ptr<GameProcess>& game, const std::string& otherServer = {},
                   const std::string& otherRemote = {}, const std::vector<std::string>& environment = {}) {
        Launch launch;
        launch.soundServer = otherServer.empty() ? server : otherServer;
        const std::string pipewire = otherRemote.empty() ? remote : otherRemote;
        if (route.native) {
            launch.pipewireRemote = pipewire;
        }
        launch.environment = environment;
        game = std::make_unique<GameProcess>(folder, std::vector<std::string>{"-window"}, launch);
        ASSERT_NE(game->waitForWindow(), 0u) << game->standardError();
        ASSERT_TRUE(folder.waitForLogLine("#Initalized Audio")) << folder.logText();
        if (!pipewire.empty()) {
            EXPECT_EQ(soundserver::playbackStreamApis(pipewire, "Redavave"),
                      std::vector<std::string>{route.native ? "pipewire" : "pipewire-pulse"})
                << "the game's streams at the server";
        }
    }

    // How many lines of the log start with `prefix`.
    int logLinesStartingWith(const std::string& prefix) const {
        int count = 0;
        for (const std::string& line : folder.logLines()) {
            count += line.rfind(prefix, 0) == 0 ? 1 : 0;
        }
        return count;
    }

    // Waits until a line of the log starts with `prefix`.
    bool waitForLogLineStartingWith(const std::string& prefix, double seconds = kPatience) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (logLinesStartingWith(prefix) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            sleepFor(0.05);
        }
        return true;
    }

    Route route = kPulseAudio;
    std::string server;  // for PULSE_SERVER, and parec
    std::string remote;  // PipeWire: for PIPEWIRE_REMOTE
    GameFolder folder;
};

// The tests every way to a server must pass, run on each.
class SoundTest : public SoundTestBase, public ::testing::WithParamInterface<Route> {
protected:
    void SetUp() override { needServer(GetParam()); }
};

// The recorded frames between two marks, leaving out the first `settleMs`
// after the first mark while a change takes effect.
std::vector<float> between(const SinkRecorder& recorder, std::int64_t from, std::int64_t to, int settleMs = 150) {
    return recorder.left(from + settleMs * kFramesPerMs, to);
}

// Records for `seconds` from now; the marks of the stretch.
std::pair<std::int64_t, std::int64_t> stretch(const SinkRecorder& recorder, double seconds) {
    const std::int64_t from = recorder.frames();
    sleepFor(seconds);
    return {from, recorder.frames()};
}

// Waits until `holds` is true of the recording; false when it never is.
template <typename Test>
bool waitForSound(const SinkRecorder& recorder, Test holds, double seconds = kPatience) {
    const auto deadline = SinkRecorder::Clock::now() + std::chrono::duration<double>(seconds);
    while (!holds(recorder)) {
        if (SinkRecorder::Clock::now() > deadline) {
            return false;
        }
        sleepFor(0.05);
    }
    return true;
}

// The tone's level over the last `seconds` recorded, in hundredths of
// `amplitude`, when every 10 ms block of it has the same one; -1 while it
// changes or there is not that much yet.
int steadyLevel(const SinkRecorder& recorder, double seconds, double amplitude) {
    const std::int64_t to = recorder.frames();
    const std::int64_t from = to - static_cast<std::int64_t>(seconds * kSinkRate);
    if (from < 0) {
        return -1;
    }
    const std::vector<float> heard = recorder.left(from, to);
    int level = -1;
    for (std::size_t at = 0; at + kBlockFrames <= heard.size(); at += kBlockFrames) {
        const double hundredths = fitTone(heard.data() + at, kBlockFrames, kToneHz).amplitude / amplitude * 100.0;
        const int block = static_cast<int>(std::lround(hundredths));
        if (std::fabs(hundredths - block) > 0.05 || (level >= 0 && block != level)) {
            return -1;
        }
        level = block;
    }
    return level;
}

// Whether the last `seconds` recorded are silent.
bool silentFor(const SinkRecorder& recorder, double seconds) {
    const std::int64_t to = recorder.frames();
    const std::int64_t from = to - static_cast<std::int64_t>(seconds * kSinkRate);
    return from >= 0 && peakOf(recorder.left(from, to)) == 0.0f;
}

TEST_P(SoundTest, ToneArrivesWholeAtTheLevelTheVolumeSetsThroughPauseAndRestart) {
    writeSong("Tone.flac", at48k(fixtures::tone(kToneHz, 40.0, kToneAmplitude)));
    SinkRecorder recorder(server);
    ASSERT_TRUE(recorder.started());
    ASSERT_TRUE(recorder.waitForFrames(kSinkRate / 10, kPatience)) << "parec delivers nothing";
    std::unique_ptr<GameProcess> game;
    startGame(game);
    if (HasFatalFailure()) return;

    // The menu is silent.
    sleepFor(0.3);
    auto [menuFrom, menuTo] = stretch(recorder, 0.7);
    EXPECT_EQ(peakOf(recorder.left(menuFrom, menuTo)), 0.0f) << "heard in the menu";

    // Enter plays the tone at full level. The ship is steered out of the
    // middle lane at once, so that nothing is collected and no effect joins
    // the tone.
    const std::int64_t enterFrame = recorder.frames();
    const auto enterTime = SinkRecorder::Clock::now();
    ASSERT_TRUE(game->key({"Return"}));
    run("xdotool keydown Left; sleep 0.8; xdotool keyup Left");
    ASSERT_TRUE(waitForSound(recorder, [&](const SinkRecorder& r) { return r.firstAbove(enterFrame, 0.01f) >= 0; }))
        << "the song never reached the sink";
    const std::int64_t first = recorder.firstAbove(enterFrame, 0.01f);
    std::printf("Enter to the first sample at the sink: %.1f ms\n",
                std::chrono::duration<double, std::milli>(recorder.arrival(first) - enterTime).count());

    // Page Up/Down step the volume by 0.01 in every frame the key is down; a
    // press lasts one frame or a few. The level at the sink must sit on that
    // grid, below (or above) the one before by at least one step a press. The
    // engine holds the stored 1.01 at its full 1.0.
    struct Step {
        std::vector<std::string> keys;
        int direction;  // -1 down, +1 up, 0 none
        const char* what;
    };
    const Step steps[] = {
        {{}, 0, "full level"},
        {{"Next"}, -1, "one Page Down"},
        {std::vector<std::string>(29, "Next"), -1, "29 more Page Downs"},
        {{"Prior"}, +1, "one Page Up"},
    };
    int level = 100;  // in hundredths of full volume
    for (const Step& step : steps) {
        if (!step.keys.empty()) {
            ASSERT_TRUE(game->key(step.keys));
        }
        // The game takes the keys one frame at a time: the level is measured
        // once it has moved a step a press and stays put.
        const int wanted = static_cast<int>(step.keys.size());
        const bool settled = waitForSound(recorder, [&](const SinkRecorder& r) {
            const int now = steadyLevel(r, 0.5, kToneAmplitude);
            return now >= 0 && (step.direction == 0 || (now - level) * step.direction >= wanted);
        });
        EXPECT_TRUE(settled) << step.what << ": the level never settled " << wanted << " steps away from " << level;
        auto [from, to] = stretch(recorder, 1.5);
        const std::vector<float> heard = between(recorder, from, to);
        const ToneFit fit = fitTone(heard.data(), kBlockFrames, kToneHz);
        const double hundredths = fit.amplitude / kToneAmplitude * 100.0;
        const int onGrid = static_cast<int>(std::lround(hundredths));
        EXPECT_NEAR(hundredths, onGrid, 0.05) << step.what << ": not a whole number of 0.01 steps";
        const int moved = (onGrid - level) * (step.direction == 0 ? 1 : step.direction);
        if (step.direction == 0) {
            EXPECT_EQ(onGrid, 100) << step.what;
        } else {
            EXPECT_GE(moved, static_cast<int>(step.keys.size())) << step.what << " moved " << onGrid - level << " steps";
            EXPECT_LE(moved, 3 * static_cast<int>(step.keys.size())) << step.what << " moved " << onGrid - level << " steps";
        }
        level = onGrid;
        const ToneReport report = checkTone(heard, kToneHz, kToneAmplitude * level / 100.0, 0.003);
        EXPECT_GE(report.blocks, 100) << step.what;
        EXPECT_EQ(report.faults, 0) << step.what << ": " << report.firstFault << " (mean amplitude "
                                    << report.meanAmplitude << ")";
    }

    // Paused: nothing, and for good.
    ASSERT_TRUE(game->key({"p"}));
    EXPECT_TRUE(waitForSound(recorder, [](const SinkRecorder& r) { return silentFor(r, 0.2); })) << "never paused";
    auto [pauseFrom, pauseTo] = stretch(recorder, 1.0);
    EXPECT_EQ(peakOf(recorder.left(pauseFrom, pauseTo)), 0.0f) << "heard while paused";

    // Space restarts the song from paused, at the volume the player set.
    const std::int64_t spaceFrame = recorder.frames();
    ASSERT_TRUE(game->key({"space"}));
    ASSERT_TRUE(waitForSound(recorder, [&](const SinkRecorder& r) { return r.firstAbove(spaceFrame, 0.01f) >= 0; }))
        << "the song never came back after Space";
    sleepFor(0.2);
    auto [restartFrom, restartTo] = stretch(recorder, 2.0);
    const ToneReport restarted = checkTone(between(recorder, restartFrom, restartTo), kToneHz,
                                           kToneAmplitude * level / 100.0, 0.003);
    EXPECT_GE(restarted.blocks, 150);
    EXPECT_EQ(restarted.faults, 0) << "after the restart: " << restarted.firstFault << " (mean amplitude "
                                   << restarted.meanAmplitude << ")";

    ASSERT_TRUE(game->key({"Escape"}));
    EXPECT_EQ(game->waitForExit(20.0), 0) << game->standardError();
}

// One block's loudness above the song: the first difference of the samples,
// which a 30 Hz tone hardly has and a chime or a snare has plenty of.
double highBandLevel(const std::vector<float>& samples, std::size_t at) {
    double sum = 0.0;
    for (std::size_t i = at + 1; i < at + kBlockFrames; ++i) {
        const double d = samples[i] - samples[i - 1];
        sum += d * d;
    }
    return std::sqrt(sum / (kBlockFrames - 1));
}

// What the game does with its sound, on the one server.
class SoundOnPulseAudioTest : public SoundTestBase {
protected:
    void SetUp() override { needServer(kPulseAudio); }
};

TEST_F(SoundOnPulseAudioTest, HitEffectIsHeardWhenTheObjectReachesTheShip) {
    // Half a second of a low tone, then half a second a step higher, over and
    // over: each return of the low tone sends an object down the middle lane
    // where the ship stands, meeting it about a second later. Several come,
    // because a slow frame on a busy machine can carry one past the ship
    // uncollected. Both tones are too smooth to pass for an effect, and each
    // part ends on a whole number of periods.
    fixtures::ToneSong song = fixtures::tone(30.0, 0.5, kToneAmplitude);
    for (int i = 0; i < 8; ++i) {
        song.then(fixtures::tone(100.0, 0.5, kToneAmplitude)).then(fixtures::tone(30.0, 0.5, kToneAmplitude));
    }
    writeSong("Low.flac", at48k(song));
    SinkRecorder recorder(server);
    ASSERT_TRUE(recorder.started());
    ASSERT_TRUE(recorder.waitForFrames(kSinkRate / 10, kPatience)) << "parec delivers nothing";
    std::unique_ptr<GameProcess> game;
    startGame(game);
    if (HasFatalFailure()) return;

    sleepFor(0.3);
    const std::int64_t enterFrame = recorder.frames();
    ASSERT_TRUE(game->key({"Return"}));
    ASSERT_TRUE(recorder.waitForFrames(enterFrame + 6 * kSinkRate, kPatience));
    const std::vector<float> heard = recorder.left(enterFrame, enterFrame + 6 * kSinkRate);

    std::vector<int> effectBlocks;
    for (std::size_t at = 0; at + kBlockFrames <= heard.size(); at += kBlockFrames) {
        if (highBandLevel(heard, at) > 0.01) {
            effectBlocks.push_back(static_cast<int>(at / kBlockFrames));
        }
    }
    ASSERT_FALSE(effectBlocks.empty()) << "no effect in the 6 s after Enter";
    // Objects are born 110 units ahead and travel 110 units a second: the hit
    // comes a second or more after the song starts, never at once.
    const double firstMs = effectBlocks.front() * 10.0;
    std::printf("first effect %.0f ms after Enter\n", firstMs);
    EXPECT_GT(firstMs, 900.0);
    // And the song itself plays before it.
    const std::int64_t before = static_cast<std::int64_t>(effectBlocks.front()) * kBlockFrames;
    EXPECT_GT(peakOf(std::vector<float>(heard.begin() + before - kSinkRate / 2, heard.begin() + before)), 0.4f);

    ASSERT_TRUE(game->key({"Escape"}));
    EXPECT_EQ(game->waitForExit(20.0), 0) << game->standardError();
}

// What goes away and comes back in a restart test.
struct Restart {
    Route route;
    bool pulseOnly;  // PipeWire: only pipewire-pulse restarts, the graph and the sink stay
    const char* name;
};

class SoundServerRestartTest : public SoundTestBase, public ::testing::WithParamInterface<Restart> {
protected:
    void SetUp() override { needServer(GetParam().route); }
};

std::string restartName(const ::testing::TestParamInfo<Restart>& info) { return info.param.name; }
void PrintTo(const Restart& restart, std::ostream* out) { *out << restart.name; }

// The sound server stopped while the tone plays, and started again at the
// same address a little later: the game, silent meanwhile, finds it again by
// itself, and the tone goes on at the level the player set, every block of it
// whole. The server is the test's own, since the others share the run's.
TEST_P(SoundServerRestartTest, ToneIsBackSoonAfterTheServerRestartsWholeAndAtItsLevel) {
    const Restart& restart = GetParam();
    soundserver::PrivateServer own(restart.route.kind);
    ASSERT_TRUE(own.start());
    writeSong("Tone.flac", at48k(fixtures::tone(kToneHz, 60.0, kToneAmplitude)));
    auto recorder = std::make_unique<SinkRecorder>(own.address());
    ASSERT_TRUE(recorder->started());
    ASSERT_TRUE(recorder->waitForFrames(kSinkRate / 10, kPatience)) << "parec delivers nothing";
    std::unique_ptr<GameProcess> game;
    startGame(game, own.address(), own.remote());
    if (HasFatalFailure()) return;
    const std::string named = restart.route.inLog + (restart.route.native ? own.remote() : own.address());

    // The tone, the ship out of the middle lane, a volume of the player's:
    // the level once ten Page Downs have taken it down and it stays there.
    sleepFor(0.3);
    ASSERT_TRUE(game->key({"Return"}));
    run("xdotool keydown Left; sleep 0.8; xdotool keyup Left");
    ASSERT_TRUE(game->key(std::vector<std::string>(10, "Next")));
    int hundredths = -1;
    ASSERT_TRUE(waitForSound(*recorder, [&](const SinkRecorder& r) {
        hundredths = steadyLevel(r, 0.5, kToneAmplitude);
        return hundredths >= 0 && hundredths <= 90;
    })) << "ten Page Downs never took the tone down ten steps";
    const double level = hundredths / 100.0 * kToneAmplitude;

    if (restart.pulseOnly) {
        own.stopPulse();
    } else {
        own.stop();
    }
    recorder.reset();
    ASSERT_TRUE(waitForLogLineStartingWith("#Sound Output Lost: " + named)) << folder.logText();
    sleepFor(2.5);  // a try at the missing server fails meanwhile
    ASSERT_TRUE(restart.pulseOnly ? own.startPulse() : own.start());
    const auto restarted = SinkRecorder::Clock::now();
    recorder = std::make_unique<SinkRecorder>(own.address());
    ASSERT_TRUE(recorder->started());
    ASSERT_TRUE(waitForSound(*recorder, [](const SinkRecorder& r) { return r.firstAbove(0, 0.01f) >= 0; }))
        << "the tone never came back; stderr: " << game->standardError() << "\nthe log:\n" << folder.logText();
    const std::int64_t first = recorder->firstAbove(0, 0.01f);
    const double backMs = std::chrono::duration<double, std::milli>(recorder->arrival(first) - restarted).count();
    std::printf("the tone back at the sink %.0f ms after the server's restart\n", backMs);
    EXPECT_LT(backMs, 3000.0);

    ASSERT_TRUE(recorder->waitForFrames(first + 2 * kSinkRate, kPatience));
    const ToneReport after = checkTone(recorder->left(first, first + 2 * kSinkRate), kToneHz, level, 0.003);
    std::printf("after the return: %d blocks, %d faulty, mean amplitude %.4f (before: %.4f)\n", after.blocks,
                after.faults, after.meanAmplitude, level);
    EXPECT_GE(after.blocks, 190);
    EXPECT_EQ(after.faults, 0) << after.firstFault << " (mean amplitude " << after.meanAmplitude << ")";
    EXPECT_EQ(logLinesStartingWith("#Sound Output Lost: "), 1) << folder.logText();
    EXPECT_EQ(logLinesStartingWith("#Sound Output Back: " + named), 1) << folder.logText();

    ASSERT_TRUE(game->key({"Escape"}));
    EXPECT_EQ(game->waitForExit(20.0), 0) << game->standardError();
}

INSTANTIATE_TEST_SUITE_P(Servers, SoundServerRestartTest,
                         ::testing::Values(Restart{kPulseAudio, false, "PulseAudio"},
                                           Restart{kPipeWire, false, "PipeWire"},
                                           Restart{kPipeWirePulse, true, "PipewirePulseAlone"}),
                         restartName);

INSTANTIATE_TEST_SUITE_P(Servers, SoundTest, ::testing::Values(kPulseAudio, kPipeWire, kPipeWirePulse), routeName);

// The server goes away when the game's stream is ready and before the server
// has asked it for any sound: the song plays on, silently, to its Score
// screen, and the log tells of the loss once.
class LossBeforeFirstRequestTestBase : public SoundTestBase {
protected:
    // Enter, the server gone by `cut` a moment later, and the Score screen.
    void playToScoreThroughLoss(GameProcess& game, const std::string& named, void (*cut)(void*), void* what) {
        ASSERT_TRUE(game.key({"Return"}));
        sleepFor(0.3);
        cut(what);
        EXPECT_TRUE(waitForLogLineStartingWith("#Sound Output Lost: " + named)) << folder.logText();
        ASSERT_TRUE(inScoreMenu(waitForPicture(game, "lost_before_first_request_score", 2 * kPatience, inScoreMenu)))
            << "the song never ended; stderr: " << game.standardError() << "\nthe log:\n" << folder.logText();
        EXPECT_EQ(logLinesStartingWith("#Sound Output Lost: "), 1) << folder.logText();
        ASSERT_TRUE(game.key({"Escape"}));
        EXPECT_EQ(game.waitForExit(20.0), 0) << game.standardError();
    }
};

class LossBeforeFirstRequestTest : public LossBeforeFirstRequestTestBase, public ::testing::WithParamInterface<Route> {
protected:
    void SetUp() override { needServer(GetParam()); }
};

// PulseAudio's protocol: a stand-in in front of the run's server makes that
// moment, holding back the server's first request.
TEST_P(LossBeforeFirstRequestTest, GameThatLosesItsServerBeforeItsFirstRequestPlaysTheSongToItsScore) {
    soundserver::PulseProxy proxy(server);
    ASSERT_TRUE(proxy.listening());
    writeSong("Short.flac", at48k(fixtures::tone(kToneHz, 3.0, kToneAmplitude)));
    std::unique_ptr<GameProcess> game;
    startGame(game, proxy.address(), {}, {"PULSE_CLIENTCONFIG=" + proxy.clientConfig()});
    if (HasFatalFailure()) return;
    ASSERT_TRUE(proxy.waitForStreamReady(kPatience)) << "the stand-in never saw the game's stream made";
    playToScoreThroughLoss(*game, route.inLog + proxy.address(),
                           [](void* stand) { static_cast<soundserver::PulseProxy*>(stand)->cut(); }, &proxy);
}

INSTANTIATE_TEST_SUITE_P(Servers, LossBeforeFirstRequestTest, ::testing::Values(kPulseAudio, kPipeWirePulse),
                         routeName);

// PipeWire's own API: a server of the test's own without its session
// manager, so that nothing links the game's stream to the sink and the graph
// never asks it for sound.
class LossBeforeFirstRequestOnPipeWireTest : public LossBeforeFirstRequestTestBase {
protected:
    void SetUp() override { needServer(kPipeWire); }
};

TEST_F(LossBeforeFirstRequestOnPipeWireTest, GameThatLosesItsServerBeforeItsFirstRequestPlaysTheSongToItsScore) {
    soundserver::PrivateServer own("pipewire");
    ASSERT_TRUE(own.start());
    own.stopSessionManager();
    writeSong("Short.flac", at48k(fixtures::tone(kToneHz, 3.0, kToneAmplitude)));
    std::unique_ptr<GameProcess> game;
    startGame(game, own.address(), own.remote());
    if (HasFatalFailure()) return;
    playToScoreThroughLoss(*game, route.inLog + own.remote(),
                           [](void* stack) { static_cast<soundserver::PrivateServer*>(stack)->stop(); }, &own);
}

}  // namespace
