#pragma once

// Scratch folders, fixture songs and offline rendering for the sound tests.

#include <gtest/gtest.h>

#include <string>

#include "audio/engine/sound.h"
#include "audio/engine/testing.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/temp_resources.h"

namespace audiotest {

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class TempDir {
public:
    TempDir();
    const std::string& path() const { return root; }
    std::string file(const std::string& name) const { return root + "/" + name; }

private:
    testworld::TempResources world;
    std::string root;
};

// Writes the song and fails the test when the encoder cannot.
std::string writeSong(const TempDir& dir, const std::string& stem, fixtures::AudioFormat format,
                      const fixtures::ToneSong& song);

// An engine system on the offline output, released at the end of the scope.
class OfflineSystem {
public:
    explicit OfflineSystem(int channels = 16);
    ~OfflineSystem();
    snd::System* operator->() const { return system; }
    snd::System* get() const { return system; }

private:
    snd::System* system = nullptr;
};

struct Playing {
    snd::Sound* sound = nullptr;
    snd::Channel* channel = nullptr;
};
// Opens `path` as a stream or as a sound in memory and starts it; nulls, and
// a failed test, when either step fails.
Playing play(snd::System* system, const std::string& path, bool stream);

// Renders in small steps until the channel has stopped playing; the frames
// rendered, or -1 when it still plays after `limitSeconds`.
long renderUntilDone(snd::Channel* channel, double limitSeconds);

// Index of the largest of `count` values.
int loudestBin(const float* values, int count);

inline constexpr double kBinHz = 24000.0 / 8192.0;

}  // namespace audiotest
