// What the per-frame sound work costs: the spectrum peak beside a bare FFT
// of the same size, stream decoding against real time, and the heap
// allocations of a peak analysis and of one audio callback (both must be 0).

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/tx.h>
}

#include "audio/Audio.h"
#include "audio/engine/internal.h"
#include "audio/engine/testing.h"
#include "bench/audio/alloc_counter.h"
#include "tests/support/audio_fixtures.h"
#include "tests/support/temp_resources.h"

namespace {

using fixtures::AudioFormat;

// A scratch resources tree with the three effects and a ten-second song in
// every format, made once for the whole run.
class Workspace {
public:
    Workspace() {
        root = testworld::makeTempFolder("bench");
        std::filesystem::create_directories(root / "resources/Sounds");
        std::filesystem::create_directories(root / "resources/Music");
        for (const char* effect : {"blockHit", "bonusHit", "SkullHit"}) {
            write(root / "resources/Sounds" / (std::string(effect) + ".mp3"), AudioFormat::Mp3, fixtures::tone(1500.0, 0.2));
        }
        fixtures::ToneSong song = fixtures::mixture({{440.0, 0.3}, {110.0, 0.3}}, 5.0);
        song.then(fixtures::mixture({{40.0, 0.4}, {3000.0, 0.2}}, 5.0));
        for (AudioFormat format : fixtures::musicFormats()) {
            write(songPath(format), format, song);
        }
        std::filesystem::current_path(root);
    }
    ~Workspace() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    std::filesystem::path songPath(AudioFormat format) const {
        return root / "resources/Music" / (std::string("song.") + fixtures::extension(format));
    }

private:
    static void write(const std::filesystem::path& path, AudioFormat format, const fixtures::ToneSong& song) {
        std::string error;
        if (!fixtures::writeSong(path.string(), format, song, &error)) {
            std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), error.c_str());
            std::exit(1);
        }
    }
    std::filesystem::path root;
};

Workspace& workspace() {
    static Workspace instance;
    return instance;
}

Audio* startedAudio = nullptr;

// The game's Audio on the offline output, half a second into a song.
Audio& playingAudio() {
    static Audio* instance = [] {
        workspace();
        snd::testing::useOfflineOutput(true);
        auto* created = new Audio();
        created->init();
        created->playSong(workspace().songPath(AudioFormat::Ogg).c_str());
        snd::testing::useOfflineOutput(false);
        snd::testing::render(snd::kMixRate / 2);
        startedAudio = created;
        return created;
    }();
    return *instance;
}

snd::System* startOfflineSystem() {
    snd::testing::useOfflineOutput(true);
    snd::System* system = nullptr;
    snd::createSystem(&system);
    system->init(16, 0, nullptr);
    snd::testing::useOfflineOutput(false);
    return system;
}

struct BareFft {
    BareFft() {
        const float scale = 1.0f;
        av_tx_init(&context, &transform, AV_TX_FLOAT_RDFT, 0, kSize, &scale, 0);
        input = static_cast<float*>(av_malloc(sizeof(float) * kSize));
        output = static_cast<float*>(av_malloc(sizeof(float) * (kSize + 2)));
        for (int i = 0; i < kSize; ++i) {
            input[i] = static_cast<float>(i % 97) / 97.0f - 0.5f;
        }
    }
    ~BareFft() {
        av_tx_uninit(&context);
        av_free(input);
        av_free(output);
    }
    void run() {
        transform(context, output, input, sizeof(float));
        benchmark::DoNotOptimize(output[kSize / 2]);
    }
    static constexpr int kSize = 16384;
    AVTXContext* context = nullptr;
    av_tx_fn transform = nullptr;
    float* input = nullptr;
    float* output = nullptr;
};

void BM_AnalyseSpectrum(benchmark::State& state) {
    Audio& audio = playingAudio();
    for (auto _ : state) {
        audio.analyseSpectrum();
        benchmark::DoNotOptimize(audio.peakFrequency);
    }
}
BENCHMARK(BM_AnalyseSpectrum)->Unit(benchmark::kMicrosecond);

void BM_BareRealFft16384(benchmark::State& state) {
    BareFft fft;
    for (auto _ : state) {
        fft.run();
    }
}
BENCHMARK(BM_BareRealFft16384)->Unit(benchmark::kMicrosecond);

// Both in one loop, alternating, so that the ratio is not skewed by the
// other programs sharing the machine at different moments.
void BM_AnalyseVersusBareFft(benchmark::State& state) {
    using Clock = std::chrono::steady_clock;
    Audio& audio = playingAudio();
    BareFft fft;
    Clock::duration analyseTime{};
    Clock::duration fftTime{};
    for (auto _ : state) {
        const auto a = Clock::now();
        audio.analyseSpectrum();
        const auto b = Clock::now();
        fft.run();
        const auto c = Clock::now();
        analyseTime += b - a;
        fftTime += c - b;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["analyse_us"] = std::chrono::duration<double, std::micro>(analyseTime).count() / n;
    state.counters["fft_us"] = std::chrono::duration<double, std::micro>(fftTime).count() / n;
    state.counters["ratio"] = static_cast<double>(analyseTime.count()) / static_cast<double>(fftTime.count());
}
BENCHMARK(BM_AnalyseVersusBareFft)->Unit(benchmark::kMicrosecond);

// A whole ten-second song streamed through the engine (decode, resample,
// mix) as fast as it goes; x_realtime is seconds of song per second of work.
void BM_StreamDecode(benchmark::State& state) {
    const AudioFormat format = fixtures::musicFormats()[static_cast<size_t>(state.range(0))];
    const std::string path = workspace().songPath(format).string();
    state.SetLabel(fixtures::formatName(format));
    double songSeconds = 0.0;
    for (auto _ : state) {
        snd::System* system = startOfflineSystem();
        snd::Sound* song = nullptr;
        snd::Channel* channel = nullptr;
        if (system->createStream(path.c_str(), 0x49, nullptr, &song) != snd::OK ||
            system->playSound(snd::CHANNEL_FREE, song, false, &channel) != snd::OK) {
            state.SkipWithError("cannot play the song");
            break;
        }
        bool playing = true;
        while (channel->isPlaying(&playing) == snd::OK && playing) {
            snd::testing::render(snd::kMixRate);
        }
        unsigned length = 0;
        song->getLength(&length, snd::TIMEUNIT_MS);
        songSeconds += length / 1000.0;
        system->release();
    }
    state.counters["x_realtime"] = benchmark::Counter(songSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_StreamDecode)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_AllocationsPerAnalyse(benchmark::State& state) {
    if (!benchalloc::available()) {
        state.SkipWithError("allocation counting needs a build without AddressSanitizer");
        return;
    }
    Audio& audio = playingAudio();
    audio.analyseSpectrum();  // anything lazy happens before counting
    long allocations = 0;
    for (auto _ : state) {
        benchalloc::start();
        audio.analyseSpectrum();
        allocations += benchalloc::stop();
    }
    state.counters["allocs_per_call"] = static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_AllocationsPerAnalyse);

// One device callback's work: System::mix of 512 frames with a stream, two
// effects and a paused channel in it. The stream's ring is topped up by the
// decoder outside the counted part, as the decoding thread would.
void BM_AllocationsPerCallback(benchmark::State& state) {
    if (!benchalloc::available()) {
        state.SkipWithError("allocation counting needs a build without AddressSanitizer");
        return;
    }
    workspace();
    snd::System* system = startOfflineSystem();
    snd::Sound* song = nullptr;
    snd::Sound* effect = nullptr;
    system->createStream(workspace().songPath(AudioFormat::Mp3).c_str(), 0x49, nullptr, &song);
    system->createSound("resources/Sounds/blockHit.mp3", 0x20, nullptr, &effect);
    snd::Channel* channel = nullptr;
    system->playSound(snd::CHANNEL_FREE, song, false, &channel);
    system->playSound(snd::CHANNEL_FREE, effect, true, &channel);
    std::vector<float> block(2 * snd::kDeviceBufferFrames);
    snd::SystemImpl* engine = snd::impl(system);
    long allocations = 0;
    long callbacks = 0;
    for (auto _ : state) {
        if (callbacks % 32 == 0) {
            state.PauseTiming();
            {
                std::lock_guard<std::mutex> decodeLock(engine->decodeMutex);
                engine->pump(snd::kStreamRingFrames, INT_MAX);
            }
            snd::Channel* effectChannel = nullptr;
            system->playSound(snd::CHANNEL_FREE, effect, false, &effectChannel);
            state.ResumeTiming();
        }
        benchalloc::start();
        system->mix(block.data(), snd::kDeviceBufferFrames);
        allocations += benchalloc::stop();
        ++callbacks;
    }
    state.counters["allocs_per_callback"] = static_cast<double>(allocations) / static_cast<double>(callbacks);
    system->release();
}
BENCHMARK(BM_AllocationsPerCallback);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::printf("device buffer: %d frames at %d Hz = %.1f ms per callback\n", snd::kDeviceBufferFrames, snd::kMixRate,
                1000.0 * snd::kDeviceBufferFrames / snd::kMixRate);
    // The zero counts below mean something only if the counter sees allocations at all.
    if (!benchalloc::verify()) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (startedAudio != nullptr) {
        startedAudio->shutdown();
    }
    return 0;
}
