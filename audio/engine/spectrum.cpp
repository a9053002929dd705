#include "audio/engine/spectrum.h"

#include <algorithm>
#include <cmath>

#include "audio/engine/ffmpeg.h"
#include "audio/engine/sound.h"

namespace snd {

namespace {

constexpr int kSmallestTransform = 128;
constexpr int kLargestTransform = 2 * kMaxSpectrumBins;

// The loops around the transform get a copy for 256-bit vectors beside the
// baseline one where the toolchain can pick between them at load time.
#if defined(__x86_64__) && defined(__ELF__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define REDAVAVE_WIDE_VECTORS __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef REDAVAVE_WIDE_VECTORS
#define REDAVAVE_WIDE_VECTORS
#endif

// target[i] = source[i] * (1 - |base + i * step|): a stretch of the triangle.
REDAVAVE_WIDE_VECTORS void applyTriangle(const float* __restrict source, float* __restrict target, int run,
                                         float base, float step) {
    for (int i = 0; i < run; ++i) {
        target[i] = source[i] * (1.0f - std::fabs(base + static_cast<float>(i) * step));
    }
}

// out[k] = |bin k| * scale for the interleaved complex bins of `spectrum`.
REDAVAVE_WIDE_VECTORS void magnitudes(const float* __restrict spectrum, float* __restrict out, int count,
                                      float scale) {
    for (int k = 0; k < count; ++k) {
        const float re = spectrum[2 * k];
        const float im = spectrum[2 * k + 1];
        out[k] = std::sqrt(re * re + im * im) * scale;
    }
}

}  // namespace

SpectrumAnalyser::~SpectrumAnalyser() {
    for (int i = 0; i < kSizes; ++i) {
        ff::av_tx_uninit(&contexts[i]);
    }
    ff::av_freep(&samples);
    ff::av_freep(&spectrum);
}

bool SpectrumAnalyser::validCount(int count) {
    return count >= kSmallestTransform / 2 && count <= kMaxSpectrumBins && (count & (count - 1)) == 0;
}

int SpectrumAnalyser::slotFor(int count) {
    int slot = 0;
    while ((kSmallestTransform / 2 << slot) < count) {
        ++slot;
    }
    return slot;
}

bool SpectrumAnalyser::init() {
    samples = static_cast<float*>(ff::av_malloc(sizeof(float) * kLargestTransform));
    spectrum = static_cast<float*>(ff::av_malloc(sizeof(float) * (kLargestTransform + 2)));
    if (samples == nullptr || spectrum == nullptr) {
        return false;
    }
    for (int slot = 0; slot < kSizes; ++slot) {
        const int size = kSmallestTransform << slot;
        const float unscaled = 1.0f;
        if (ff::av_tx_init(&contexts[slot], &transforms[slot], AV_TX_FLOAT_RDFT, 0, size, &unscaled, 0) < 0) {
            return false;
        }
        double sum = 0.0;
        for (int n = 0; n < size; ++n) {
            sum += 1.0 - std::fabs(2.0 * n / size - 1.0);
        }
        // A sine of amplitude A centred on a bin puts A/2 * sum(window) into
        // that bin's magnitude, so 2 / sum(window) turns magnitudes back into
        // amplitudes: a full-scale sine reads about 1.0. For this triangle the
        // sum is size / 2, giving 4 / size; without a window it is 2 / size.
        triangleScale[slot] = static_cast<float>(2.0 / sum);
    }
    return true;
}

void SpectrumAnalyser::run(const float* ring, int ringFrames, std::uint64_t start, std::uint64_t end, int count,
                           int window, float* out) {
    const int slot = slotFor(count);
    const int size = 2 * count;
    const float scale = window == WINDOW_TRIANGLE ? triangleScale[slot] : 2.0f / static_cast<float>(size);

    // Silence before `start`, then up to two straight runs of the ring, read
    // and windowed in one pass.
    std::uint64_t from = end >= static_cast<std::uint64_t>(size) ? end - size : 0;
    from = std::max(from, std::min(start, end));
    const int silent = size - static_cast<int>(end - from);
    std::fill(samples, samples + silent, 0.0f);
    const std::uint64_t mask = static_cast<std::uint64_t>(ringFrames) - 1;
    int n = silent;
    while (n < size) {
        const std::uint64_t at = (from + static_cast<std::uint64_t>(n - silent)) & mask;
        const int run = std::min(size - n, static_cast<int>(static_cast<std::uint64_t>(ringFrames) - at));
        const float* source = ring + at;
        float* target = samples + n;
        if (window == WINDOW_TRIANGLE) {
            // 1 - |2m/size - 1| for sample m of the frame: 0 at both ends, 1 in the middle.
            const float step = 2.0f / static_cast<float>(size);
            applyTriangle(source, target, run, static_cast<float>(n) * step - 1.0f, step);
        } else {
            std::copy(source, source + run, target);
        }
        n += run;
    }

    transforms[slot](contexts[slot], spectrum, samples, sizeof(float));
    magnitudes(spectrum, out, count, scale);
}

}  // namespace snd
