#include "audio/engine/testing.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <mutex>
#include <vector>

#include "audio/engine/internal.h"

namespace snd {

namespace {

std::atomic<bool> offlineWanted{false};
std::atomic<SystemImpl*> currentOffline{nullptr};
std::atomic<unsigned> forcedVersion{0};

// Set and read on the game's thread only, like every other engine call.
testing::SpectrumSource scriptSource = nullptr;
void* scriptUser = nullptr;

}  // namespace

SystemImpl* offlineSystem() { return currentOffline.load(); }
void setOfflineSystem(SystemImpl* system) { currentOffline.store(system); }
bool offlineRequested() { return offlineWanted.load(); }
unsigned versionOverride() { return forcedVersion.load(); }

bool scriptedSpectrum(float* out, int count) {
    if (scriptSource == nullptr) {
        return false;
    }
    scriptSource(out, count, scriptUser);
    return true;
}

namespace testing {

void useOfflineOutput(bool on) { offlineWanted.store(on); }

void render(float* out, int frames) {
    SystemImpl* system = currentOffline.load();
    if (system == nullptr) {
        return;
    }
    std::vector<float> block(static_cast<size_t>(kDeviceBufferFrames) * 2);
    while (frames > 0) {
        const int step = std::min(frames, kDeviceBufferFrames);
        {
            std::lock_guard<std::mutex> decodeLock(system->decodeMutex);
            system->pump(step, INT_MAX);
        }
        system->mix(out != nullptr ? out : block.data(), step);
        if (out != nullptr) {
            out += static_cast<size_t>(step) * 2;
        }
        frames -= step;
    }
}

void render(int frames) { render(nullptr, frames); }

void setSpectrumSource(SpectrumSource source, void* user) {
    scriptSource = source;
    scriptUser = user;
}

void overrideVersion(unsigned version) { forcedVersion.store(version); }

int liveSounds(System* system) { return static_cast<int>(impl(system)->sounds.size()); }

}  // namespace testing

}  // namespace snd
