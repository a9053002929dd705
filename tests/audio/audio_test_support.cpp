#include "tests/audio/audio_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "tests/support/temp_resources.h"

namespace audiotest {

TempDir::TempDir() : world("audio"), root(world.path().string()) {
    if (root.empty()) {
        ADD_FAILURE() << "cannot create a temporary folder";
    }
}

std::string writeSong(const TempDir& dir, const std::string& stem, fixtures::AudioFormat format,
                      const fixtures::ToneSong& song) {
    const std::string path = dir.file(stem + "." + fixtures::extension(format));
    std::string error;
    EXPECT_TRUE(fixtures::writeSong(path, format, song, &error)) << error;
    return path;
}

OfflineSystem::OfflineSystem(int channels) {
    snd::testing::useOfflineOutput(true);
    EXPECT_EQ(snd::createSystem(&system), snd::OK);
    EXPECT_EQ(system->init(channels, 0, nullptr), snd::OK);
    snd::testing::useOfflineOutput(false);
}

OfflineSystem::~OfflineSystem() {
    if (system != nullptr) {
        system->release();
    }
}

Playing play(snd::System* system, const std::string& path, bool stream) {
    Playing started;
    const snd::Result opened = stream ? system->createStream(path.c_str(), 0x49, nullptr, &started.sound)
                                      : system->createSound(path.c_str(), 0x20, nullptr, &started.sound);
    EXPECT_EQ(opened, snd::OK) << path;
    if (opened != snd::OK) {
        return Playing{};
    }
    EXPECT_EQ(system->playSound(snd::CHANNEL_FREE, started.sound, false, &started.channel), snd::OK) << path;
    return started;
}

long renderUntilDone(snd::Channel* channel, double limitSeconds) {
    constexpr int kStep = 480;  // 10 ms
    long rendered = 0;
    const long limit = static_cast<long>(limitSeconds * snd::kMixRate);
    bool playing = true;
    while (channel->isPlaying(&playing) == snd::OK && playing) {
        if (rendered > limit) {
            return -1;
        }
        snd::testing::render(kStep);
        rendered += kStep;
    }
    return rendered;
}

int loudestBin(const float* values, int count) {
    return static_cast<int>(std::max_element(values, values + count) - values);
}

}  // namespace audiotest
