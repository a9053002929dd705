#pragma once

// What the player would hear: what a sink plays, recorded with parec from its
// monitor on a PulseAudio server (pipewire-pulse's too) or by a PipeWire
// client of this process's own (48 kHz stereo float), and the checks a steady
// tone must pass there.

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

inline constexpr int kSinkRate = 48000;
// Analysis blocks: 10 ms, ten whole periods of a 1 kHz tone.
inline constexpr int kBlockFrames = 480;

// What records.
enum class Recorder {
    Parec,     // a PulseAudio client: the server is an address for PULSE_SERVER
    PipeWire,  // a capture stream in this process, in PipeWire's real-time thread: the server is
               // its socket, as PIPEWIRE_REMOTE names it. Its frames are timed as they come,
               // with no pipe or program between. (pw-record lost a quarter of the frames
               // at 5 ms, quiet or not.)
};

class SinkRecorder {
public:
    using Clock = std::chrono::steady_clock;

    // Records what the sink "game" of the server at `server` plays until
    // destroyed, asking for `latencyMs` of latency. pipewire-pulse hands a
    // recorder that asks for none two-second fragments; what a recorder asks
    // for also sets the quantum PipeWire runs its whole graph at.
    explicit SinkRecorder(const std::string& server, int latencyMs = 5, Recorder recorder = Recorder::Parec);
    ~SinkRecorder();
    SinkRecorder(const SinkRecorder&) = delete;
    SinkRecorder& operator=(const SinkRecorder&) = delete;

    bool started() const { return pid_ > 0 || capture_ != nullptr; }
    // Frames recorded so far.
    std::int64_t frames() const;
    // Frames the recorder itself lost so far, because it came late to the
    // graph; -1 when it cannot tell (parec).
    std::int64_t missedFrames() const;
    // The frames of the recording after which the recorder lost some (as
    // many as it can keep); empty when it cannot tell.
    std::vector<std::int64_t> missedAt() const;
    // Waits until at least `count` frames are in; false on time-out.
    bool waitForFrames(std::int64_t count, double seconds) const;
    // The left channel of frames [from, to), clipped to what is recorded.
    std::vector<float> left(std::int64_t from, std::int64_t to) const;
    // When the block holding `frame` came out of the recorder; Clock::time_point{}
    // when that frame has not come yet.
    Clock::time_point arrival(std::int64_t frame) const;
    // The first frame at or after `from` whose magnitude exceeds `threshold`, or -1.
    std::int64_t firstAbove(std::int64_t from, float threshold) const;

private:
    struct Capture;
    void startParec(const std::string& server, int latencyMs);
    void readLoop();
    void drainLoop();

    pid_t pid_ = -1;
    int pipe_ = -1;
    std::unique_ptr<Capture> capture_;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::vector<float> left_;
    std::vector<std::pair<std::int64_t, Clock::time_point>> arrivals_;  // frames after a read, and when
    std::atomic<bool> quit_{false};
};

// Least-squares fit of a sine of `hz` to one block.
struct ToneFit {
    double amplitude = 0.0;
    double phase = 0.0;     // radians, at the block's first frame
    double residual = 0.0;  // root mean square of what the sine leaves
    double peak = 0.0;      // largest magnitude in the block
};
ToneFit fitTone(const float* samples, int frames, double hz);

// A steady tone judged block by block: each block must hold the tone at
// `amplitude` (within `tolerance`, relative) with nothing else in it, and
// follow on from the block before without a jump of phase. A dropout, a
// repeated or skipped piece, a clipped peak or another sound fails a block.
struct ToneReport {
    int blocks = 0;
    int faults = 0;
    std::vector<int> faultyBlocks;  // their indices
    double meanAmplitude = 0.0;
    std::string firstFault;  // what and where, for the failure message
};
ToneReport checkTone(const std::vector<float>& samples, double hz, double amplitude, double tolerance = 0.01);

// Largest magnitude in `samples`.
float peakOf(const std::vector<float>& samples);

}  // namespace e2e
