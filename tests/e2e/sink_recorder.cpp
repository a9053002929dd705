#include "tests/e2e/sink_recorder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace e2e {

SinkRecorder::SinkRecorder(const std::string& server, const std::string& source, int latencyMs) {
    int fds[2];
    if (pipe(fds) != 0) {
        return;
    }
    std::vector<std::string> environment;
    for (char** variable = environ; *variable != nullptr; ++variable) {
        if (std::strncmp(*variable, "PULSE_SERVER=", 13) != 0) {
            environment.emplace_back(*variable);
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
                                     "--device=" + source};
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
    if (posix_spawnp(&pid_, "parec", &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (pid_ <= 0) {
        close(fds[0]);
        return;
    }
    pipe_ = fds[0];
    left_.reserve(static_cast<std::size_t>(kSinkRate) * 120);
    reader_ = std::thread([this] { readLoop(); });
}

SinkRecorder::~SinkRecorder() {
    quit_.store(true);
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
    char text[200];
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
            if (++report.faults == 1) {
                std::snprintf(text, sizeof text, "%s in block %d: amplitude %.4f (want %.4f), residual %.5f, peak %.4f, jump %.3f rad",
                              what, report.blocks - 1, fit.amplitude, amplitude, fit.residual, fit.peak, jump);
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
