// How the engine picks its sound server, and how an output hands the mixing
// between its stream and the clock.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "audio/engine/output.h"

namespace {

using snd::SoundServer;

TEST(SoundServersToTry, FollowTheDriverAskedForElsePipeWireFirstUnlessOnlyAPulseAudioServerIsNamed) {
    struct Case {
        const char* sdlDriver;
        const char* pulseServer;
        const char* pipewireRemote;
        std::vector<SoundServer> expected;
    };
    const std::vector<SoundServer> pipewireFirst = {SoundServer::PipeWire, SoundServer::PulseAudio};
    const std::vector<SoundServer> pulseFirst = {SoundServer::PulseAudio, SoundServer::PipeWire};
    const Case cases[] = {
        // A desktop as it comes: nothing set.
        {nullptr, nullptr, nullptr, pipewireFirst},
        {"", "", "", pipewireFirst},
        {nullptr, nullptr, "/run/user/1000/pipewire-0", pipewireFirst},
        // A PulseAudio server named, and no PipeWire: the player wants that one.
        {nullptr, "unix:/tmp/pulse/native", nullptr, pulseFirst},
        {nullptr, "tcp:music-box", "", pulseFirst},
        // Both named: PipeWire's own is the better path to it.
        {nullptr, "unix:/run/user/1000/pulse/native", "pipewire-0", pipewireFirst},
        // SDL's driver named: that server alone, or none for another driver.
        {"pipewire", "unix:/tmp/pulse/native", nullptr, {SoundServer::PipeWire}},
        {"pulseaudio", nullptr, "pipewire-0", {SoundServer::PulseAudio}},
        {"pulse", nullptr, nullptr, {SoundServer::PulseAudio}},
        {"alsa", "unix:/tmp/pulse/native", "pipewire-0", {}},
        {"dummy", nullptr, nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("SDL_AUDIODRIVER=") + (c.sdlDriver ? c.sdlDriver : "(unset)") + " PULSE_SERVER=" +
                     (c.pulseServer ? c.pulseServer : "(unset)") +
                     " PIPEWIRE_REMOTE=" + (c.pipewireRemote ? c.pipewireRemote : "(unset)"));
        EXPECT_EQ(snd::soundServersToTry(c.sdlDriver, c.pulseServer, c.pipewireRemote), c.expected);
    }
}

// A stream's callback tries to mix as fast as it can while the other side
// hands the mixing to the clock, mixes there, and hands it back, over and
// over: never do both mix at once, and both get their turns.
TEST(MixHandover, StreamAndClockNeverMixAtOnce) {
    snd::MixHandover handover;
    std::atomic<int> mixing{0};
    std::atomic<int> overlaps{0};
    std::atomic<bool> quit{false};
    std::atomic<long> streamMixes{0};
    auto mix = [&] {
        if (mixing.fetch_add(1) != 0) {
            overlaps.fetch_add(1);
        }
        for (volatile int spin = 0; spin < 200; spin = spin + 1) {
        }
        mixing.fetch_sub(1);
    };
    std::thread stream([&] {
        while (!quit.load()) {
            if (handover.enter()) {
                mix();
                streamMixes.fetch_add(1);
                handover.leave();
            }
        }
    });
    constexpr int kRounds = 20000;
    long streamMixesSeen = 0;
    for (int round = 0; round < kRounds; ++round) {
        handover.toClock();
        mix();
        handover.toStream();
        // Now and then the stream gets a while to mix.
        if (round % 100 == 0) {
            const long before = streamMixes.load();
            while (streamMixes.load() == before) {
                std::this_thread::yield();
            }
            ++streamMixesSeen;
        }
    }
    quit.store(true);
    stream.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(streamMixesSeen, kRounds / 100);
}

}  // namespace
