#pragma once

// Magnitude spectra of a channel's recent output: a window, a real FFT
// (libavutil's av_tx) and magnitudes scaled to the sine amplitude.

#include <cstddef>
#include <cstdint>

struct AVTXContext;

namespace snd {

class SpectrumAnalyser {
public:
    SpectrumAnalyser() = default;
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser&) = delete;
    SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

    // Sets up every transform size up front so that analysing never allocates.
    bool init();

    static bool validCount(int count);

    // Analyses the last 2 * count samples of a ring of `ringFrames` samples
    // (a power of two) whose newest sample is number `end` - 1; samples
    // before number `start` count as silence. Writes `count` magnitudes.
    void run(const float* ring, int ringFrames, std::uint64_t start, std::uint64_t end, int count, int window,
             float* out);

private:
    static constexpr int kSizes = 8;  // transforms of 128 .. 16384 samples
    static int slotFor(int count);

    AVTXContext* contexts[kSizes] = {};
    void (*transforms[kSizes])(AVTXContext*, void*, void*, std::ptrdiff_t) = {};
    float triangleScale[kSizes] = {};
    float* samples = nullptr;
    float* spectrum = nullptr;  // count + 1 complex values
};

}  // namespace snd
