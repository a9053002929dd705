#pragma once

// What stands behind the engine's handles. Only the engine's own files
// include this.

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/engine/decoder.h"
#include "audio/engine/frame_ring.h"
#include "audio/engine/output.h"
#include "audio/engine/sound.h"
#include "audio/engine/spectrum.h"

namespace snd {

struct SystemImpl;

struct SoundImpl final : Sound {
    SystemImpl* owner = nullptr;
    bool stream = false;
    std::string path;         // streams open their file again for each play
    std::vector<float> pcm;   // the whole sound, for sounds decoded into memory
    // In 48 kHz frames; for streams replaced by the exact count once a play
    // has decoded to the end.
    std::atomic<std::int64_t> lengthFrames{0};
};

enum ChannelState : int { kIdle = 0, kPlaying = 1, kFinished = 2 };

// The last samples each channel sent out: a few times the largest analysis,
// so the mixer writing the newest block never touches what is being read.
inline constexpr int kHistoryFrames = 32768;
// What a stream may be decoded ahead of its mixer: 0.68 s.
inline constexpr int kStreamRingFrames = 32768;

struct ChannelImpl final : Channel {
    SystemImpl* owner = nullptr;
    int index = 0;

    // Held by the game's thread while it changes what the channel plays; the
    // mixer only tries it.
    TryLock lock;
    std::atomic<int> state{kIdle};
    std::atomic<bool> paused{false};
    std::atomic<float> volume{1.0f};
    std::atomic<SoundImpl*> sound{nullptr};
    std::atomic<std::int64_t> framesPlayed{0};
    std::uint64_t startSerial = 0;  // game's thread only

    // Streams: the decoder belongs to whoever holds the system's decodeMutex.
    FrameRing ring;
    std::unique_ptr<Decoder> decoder;
    std::atomic<bool> decodeDone{false};

    // Mixer writes, spectrum reads the frames before historyEnd. Left then
    // right, each kHistoryFrames long: the analysis reads one straight run.
    std::vector<float> history;
    std::atomic<std::uint64_t> historyEnd{0};
    std::atomic<std::uint64_t> historyStart{0};  // frames before this are silence
    int quietFrames = 0;                         // mixer only
};

struct SystemImpl final : System {
    bool initialised = false;
    int channelCount = 0;
    std::array<ChannelImpl, kMaxChannels> channels;
    std::vector<std::unique_ptr<SoundImpl>> sounds;
    std::uint64_t serial = 0;
    int newestStream = -1;  // the channel that plays the newest stream: never taken over

    std::unique_ptr<Output> output;
    OutputWatcher outputWatcher = nullptr;  // set before init
    void* outputWatcherUser = nullptr;
    bool offline = false;
    std::mutex decodeMutex;
    std::condition_variable decodeWake;
    std::atomic<bool> decodeQuit{false};
    std::thread decodeThread;

    std::vector<float> mixScratch;  // one block of one channel, for the mixer only
    SpectrumAnalyser analyser;      // game's thread only

    // The checks createSound and createStream share, then the file opened.
    Result openFile(const char* path, Sound** sound, std::unique_ptr<Decoder>* decoder);
    std::unique_ptr<SoundImpl> newSound(const char* path, bool stream);
    SoundImpl* adopt(std::unique_ptr<SoundImpl> sound);
    void mixBlock(float* out, int frames);
    void mixChannel(ChannelImpl& channel, float* out, int frames);
    int pickChannel();
    void stopChannel(ChannelImpl& channel);
    // Decodes each playing stream until `ahead` frames wait for the mixer or
    // its file ends, at most `chunk` frames per channel. Needs decodeMutex.
    // True when some stream still wants more.
    bool pump(int ahead, int chunk);
    void decodeLoop();
    void shutDownOutput();
    // An output's news for the watcher, from the output's own thread.
    void tellOutput(OutputEvent event, const char* detail) const;
};

inline SystemImpl* impl(System* system) { return static_cast<SystemImpl*>(system); }
inline SoundImpl* impl(Sound* sound) { return static_cast<SoundImpl*>(sound); }
inline ChannelImpl* impl(Channel* channel) { return static_cast<ChannelImpl*>(channel); }

// Testing hooks that the engine consults.
SystemImpl* offlineSystem();
void setOfflineSystem(SystemImpl* system);
bool offlineRequested();
unsigned versionOverride();
bool scriptedSpectrum(float* out, int count);

}  // namespace snd
