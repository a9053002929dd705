#include "tests/e2e/sink_recorder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pipewire/pipewire.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "audio/engine/pipewire_format.h"

extern char** environ;

namespace e2e {

namespace {

constexpr std::size_t kFrameBytes = 2 * sizeof(float);

}  // namespace

// The capture stream and what its real-time callback hands to the drain
// thread: the left channel in one ring and, in another, how many frames had
// come at the end of each cycle and when. The callback never waits.
struct SinkRecorder::Capture {
    static constexpr std::uint64_t kFrames = 1u << 21;  // 44 s
    static constexpr std::uint64_t kCycles = 1u << 14;  // 44 s at 128 frames a cycle
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_stream* stream = nullptr;
    spa_hook listener{};
    std::vector<float> frames = std::vector<float>(kFrames);
    std::vector<std::pair<std::uint64_t, Clock::time_point>> cycles = std::vector<std::pair<std::uint64_t, Clock::time_point>>(kCycles);
    std::atomic<std::uint64_t> framesIn{0};
    std::atomic<std::uint64_t> cyclesIn{0};
    std::atomic<std::uint64_t> cyclesOut{0};
    std::atomic<std::uint64_t> dropped{0};  // frames the drain thread had no room for
    // The graph's clock at the last cycle and the frames that came in it:
    // when the clock has gone on further by the next, this stream missed
    // cycles (it was late, and its frames were lost).
    std::uint64_t lastTicks = 0;
    std::uint64_t lastCount = 0;
    std::atomic<std::uint64_t> missed{0};
    // Where in the recording each such loss is, the first kGaps of them.
    static constexpr std::uint64_t kGaps = 4096;
    std::vector<std::uint64_t> gapAt = std::vector<std::uint64_t>(kGaps);
    std::atomic<std::uint64_t> gaps{0};

    static void process(void* user) {
        auto* self = static_cast<Capture*>(user);
        pw_buffer* buffer = pw_stream_dequeue_buffer(self->stream);
        if (buffer == nullptr) {
            return;
        }
        const Clock::time_point now = Clock::now();
        const spa_data& data = buffer->buffer->datas[0];
        if (data.data != nullptr && data.chunk != nullptr) {
            const auto* in = reinterpret_cast<const float*>(static_cast<const std::uint8_t*>(data.data) +
                                                            data.chunk->offset % data.maxsize);
            const std::uint64_t count = std::min<std::uint64_t>(data.chunk->size, data.maxsize) / kFrameBytes;
            pw_time time{};
            if (pw_stream_get_time_n(self->stream, &time, sizeof time) == 0 && time.rate.denom == kSinkRate) {
                if (self->lastCount != 0 && time.ticks > self->lastTicks + self->lastCount) {
                    self->missed.fetch_add(time.ticks - self->lastTicks - self->lastCount, std::memory_order_relaxed);
                    const std::uint64_t gap = self->gaps.load(std::memory_order_relaxed);
                    if (gap < kGaps) {
                        self->gapAt[gap] = self->framesIn.load(std::memory_order_relaxed);
                        self->gaps.store(gap + 1, std::memory_order_release);
                    }
                }
                self->lastTicks = time.ticks;
                self->lastCount = count;
            }
            const std::uint64_t cycle = self->cyclesIn.load(std::memory_order_relaxed);
            const std::uint64_t head = self->framesIn.load(std::memory_order_relaxed);
            const std::uint64_t oldest = self->cyclesOut.load(std::memory_order_acquire);
            const std::uint64_t tail = cycle == oldest ? head : self->cycles[(oldest - 1) % kCycles].first;
            if (cycle - oldest < kCycles && head + count - tail <= kFrames) {
                for (std::uint64_t i = 0; i < count; ++i) {
                    self->frames[(head + i) % kFrames] = in[2 * i];
                }
                self->cycles[cycle % kCycles] = {head + count, now};
                self->framesIn.store(head + count, std::memory_order_relaxed);
                self->cyclesIn.store(cycle + 1, std::memory_order_release);
            } else {
                self->dropped.fetch_add(count, std::memory_order_relaxed);
            }
        }
        pw_stream_queue_buffer(self->stream, buffer);
    }

    bool start(const std::string& remote, int latencyMs) {
        pw_init(nullptr, nullptr);
        loop = pw_thread_loop_new("sink-recorder", nullptr);
        if (loop == nullptr) {
            return false;
        }
        context = pw_context_new(pw_thread_loop_get_loop(loop),
                                 pw_properties_new(PW_KEY_CONFIG_NAME, "client-rt.conf", nullptr), 0);
        if (context == nullptr || pw_thread_loop_start(loop) < 0) {
            return false;
        }
        pw_thread_loop_lock(loop);
        core = pw_context_connect(context, pw_properties_new(PW_KEY_REMOTE_NAME, remote.c_str(), nullptr), 0);
        if (core != nullptr) {
            const std::string latency = std::to_string(latencyMs * kSinkRate / 1000) + "/" + std::to_string(kSinkRate);
            stream = pw_stream_new(core, "sink recorder",
                                   pw_properties_new(PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture",
                                                     PW_KEY_TARGET_OBJECT, "game", PW_KEY_STREAM_CAPTURE_SINK, "true",
                                                     PW_KEY_NODE_LATENCY, latency.c_str(), nullptr));
        }
        bool connected = false;
        if (stream != nullptr) {
            static const pw_stream_events events = [] {
                pw_stream_events e{};
                e.version = PW_VERSION_STREAM_EVENTS;
                e.process = &Capture::process;
                return e;
            }();
            pw_stream_add_listener(stream, &listener, &events, this);
            std::uint8_t space[256];
            spa_pod_builder builder{};
            spa_pod_builder_init(&builder, space, sizeof space);
            const spa_pod* formats[] = {snd::stereoFloatFormat(&builder, kSinkRate)};
            connected = pw_stream_connect(stream, PW_DIRECTION_INPUT, PW_ID_ANY,
                                          static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT |
                                                                       PW_STREAM_FLAG_MAP_BUFFERS |
                                                                       PW_STREAM_FLAG_RT_PROCESS),
                                          formats, 1) >= 0;
        }
        pw_thread_loop_unlock(loop);
        return connected;
    }

    ~Capture() {
        if (loop != nullptr) {
            pw_thread_loop_lock(loop);
            if (stream != nullptr) {
                pw_stream_destroy(stream);
            }
            if (core != nullptr) {
                pw_core_disconnect(core);
            }
            pw_thread_loop_unlock(loop);
            pw_thread_loop_stop(loop);
        }
        if (context != nullptr) {
            pw_context_destroy(context);
        }
        if (loop != nullptr) {
            pw_thread_loop_destroy(loop);
        }
    }
};

SinkRecorder::SinkRecorder(const std::string& server, int latencyMs, Recorder recorder) {
    left_.reserve(static_cast<std::size_t>(kSinkRate) * 120);
    if (recorder == Recorder::Parec) {
        startParec(server, latencyMs);
        return;
    }
    capture_ = std::make_unique<Capture>();
    if (!capture_->start(server, latencyMs)) {
        capture_.reset();
        return;
    }
    reader_ = std::thread([this] { drainLoop(); });
}

void SinkRecorder::startParec(const std::string& server, int latencyMs) {
    int fds[2];
    if (pipe(fds) != 0) {
        return;
    }
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "PULSE_SERVER=", 13) != 0) {
            environment.emplace_back(*entry);
        }
    }
    environment.push_back("PULSE_SERVER=" + server);
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> args = {"parec",        "--raw",
                                     "--format=float32le", "--rate=48000",
                                     "--channels=2", "--latency-msec=" + std::to_string(latencyMs),
                                     "--device=game.monitor"};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    if (posix_spawnp(&pid_, argv.front(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (pid_ <= 0) {
        close(fds[0]);
        return;
    }
    pipe_ = fds[0];
    reader_ = std::thread([this] { readLoop(); });
}

SinkRecorder::~SinkRecorder() {
    quit_.store(true);
    capture_.reset();
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (reader_.joinable()) {
        reader_.join();
    }
    if (pipe_ >= 0) {
        close(pipe_);
    }
}

void SinkRecorder::readLoop() {
    std::vector<float> buffer(2 * 256);
    std::size_t carried = 0;  // bytes of a frame split between reads
    auto* bytes = reinterpret_cast<char*>(buffer.data());
    const std::size_t capacity = buffer.size() * sizeof(float);
    while (!quit_.load()) {
        const ssize_t got = read(pipe_, bytes + carried, capacity - carried);
        if (got <= 0) {
            break;
        }
        const auto now = Clock::now();
        const std::size_t total = carried + static_cast<std::size_t>(got);
        const std::size_t frameBytes = 2 * sizeof(float);
        const std::size_t whole = total / frameBytes;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (std::size_t i = 0; i < whole; ++i) {
                left_.push_back(buffer[2 * i]);
            }
            arrivals_.emplace_back(static_cast<std::int64_t>(left_.size()), now);
        }
        carried = total - whole * frameBytes;
        std::memmove(bytes, bytes + whole * frameBytes, carried);
    }
}

void SinkRecorder::drainLoop() {
    Capture& capture = *capture_;
    std::uint64_t taken = 0;  // frames moved on so far
    while (!quit_.load()) {
        const std::uint64_t in = capture.cyclesIn.load(std::memory_order_acquire);
        std::uint64_t cycle = capture.cyclesOut.load(std::memory_order_relaxed);
        if (cycle == in) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        for (; cycle < in; ++cycle) {
            const auto [end, when] = capture.cycles[cycle % Capture::kCycles];
            for (; taken < end; ++taken) {
                left_.push_back(capture.frames[taken % Capture::kFrames]);
            }
            arrivals_.emplace_back(static_cast<std::int64_t>(left_.size()), when);
        }
        capture.cyclesOut.store(cycle, std::memory_order_release);
    }
}

std::int64_t SinkRecorder::missedFrames() const {
    return capture_ != nullptr ? static_cast<std::int64_t>(capture_->missed.load() + capture_->dropped.load()) : -1;
}

std::vector<std::int64_t> SinkRecorder::missedAt() const {
    std::vector<std::int64_t> at;
    if (capture_ != nullptr) {
        const std::uint64_t count = capture_->gaps.load(std::memory_order_acquire);
        at.assign(capture_->gapAt.begin(), capture_->gapAt.begin() + static_cast<std::ptrdiff_t>(count));
    }
    return at;
}

std::int64_t SinkRecorder::frames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::int64_t>(left_.size());
}

bool SinkRecorder::waitForFrames(std::int64_t count, double seconds) const {
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (frames() < count) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<float> SinkRecorder::left(std::int64_t from, std::int64_t to) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto size = static_cast<std::int64_t>(left_.size());
    from = std::clamp<std::int64_t>(from, 0, size);
    to = std::clamp<std::int64_t>(to, from, size);
    return std::vector<float>(left_.begin() + from, left_.begin() + to);
}

SinkRecorder::Clock::time_point SinkRecorder::arrival(std::int64_t frame) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = std::lower_bound(arrivals_.begin(), arrivals_.end(), frame + 1,
                                        [](const auto& entry, std::int64_t wanted) { return entry.first < wanted; });
    return found == arrivals_.end() ? Clock::time_point{} : found->second;
}

std::int64_t SinkRecorder::firstAbove(std::int64_t from, float threshold) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto i = static_cast<std::size_t>(std::max<std::int64_t>(from, 0)); i < left_.size(); ++i) {
        if (std::fabs(left_[i]) > threshold) {
            return static_cast<std::int64_t>(i);
        }
    }
    return -1;
}

ToneFit fitTone(const float* samples, int frames, double hz) {
    // Sine and cosine over a whole number of periods are orthogonal, so the
    // fit is two projections.
    const double step = 2.0 * M_PI * hz / kSinkRate;
    double s = 0.0, c = 0.0, ss = 0.0, cc = 0.0;
    ToneFit fit;
    for (int i = 0; i < frames; ++i) {
        const double x = samples[i];
        const double sn = std::sin(step * i), cs = std::cos(step * i);
        s += x * sn;
        c += x * cs;
        ss += sn * sn;
        cc += cs * cs;
        fit.peak = std::max(fit.peak, std::fabs(x));
    }
    const double a = ss > 0 ? s / ss : 0.0;
    const double b = cc > 0 ? c / cc : 0.0;
    fit.amplitude = std::hypot(a, b);
    fit.phase = std::atan2(b, a);
    double left = 0.0;
    for (int i = 0; i < frames; ++i) {
        const double d = samples[i] - (a * std::sin(step * i) + b * std::cos(step * i));
        left += d * d;
    }
    fit.residual = frames > 0 ? std::sqrt(left / frames) : 0.0;
    return fit;
}

ToneReport checkTone(const std::vector<float>& samples, double hz, double amplitude, double tolerance) {
    ToneReport report;
    const int periodFrames = static_cast<int>(std::lround(kSinkRate / hz));
    bool havePrevious = false;
    double previousPhase = 0.0;
    double sum = 0.0;
    char text[300];
    for (std::size_t at = 0; at + kBlockFrames <= samples.size(); at += kBlockFrames) {
        const ToneFit fit = fitTone(samples.data() + at, kBlockFrames, hz);
        ++report.blocks;
        sum += fit.amplitude;
        double jump = 0.0;
        if (havePrevious && kBlockFrames % periodFrames == 0) {
            jump = std::remainder(fit.phase - previousPhase, 2.0 * M_PI);
        }
        const char* what = nullptr;
        if (std::fabs(fit.amplitude - amplitude) > tolerance * amplitude) {
            what = "level";
        } else if (fit.residual > tolerance * amplitude) {
            what = "something besides the tone";
        } else if (fit.peak > amplitude * (1.0 + tolerance)) {
            what = "peak";
        } else if (std::fabs(jump) > 0.02) {
            what = "phase jump (piece lost or repeated)";
        }
        if (what != nullptr) {
            report.faultyBlocks.push_back(report.blocks - 1);
            if (++report.faults == 1) {
                // A gap the sink filled with silence shows as a run of
                // zeros; a piece the recorder lost, as none.
                int silent = 0;
                int longest = 0;
                for (int i = 0; i < kBlockFrames; ++i) {
                    silent = samples[at + i] == 0.0f ? silent + 1 : 0;
                    longest = std::max(longest, silent);
                }
                std::snprintf(text, sizeof text,
                              "%s in block %d: amplitude %.4f (want %.4f), residual %.5f, peak %.4f, jump %.3f rad, "
                              "%d frames of silence in a row",
                              what, report.blocks - 1, fit.amplitude, amplitude, fit.residual, fit.peak, jump, longest);
                report.firstFault = text;
            }
        }
        havePrevious = true;
        previousPhase = fit.phase;
    }
    report.meanAmplitude = report.blocks > 0 ? sum / report.blocks : 0.0;
    return report;
}

float peakOf(const std::vector<float>& samples) {
    float peak = 0.0f;
    for (float x : samples) {
        peak = std::max(peak, std::fabs(x));
    }
    return peak;
}

}  // namespace e2e
