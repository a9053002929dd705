#include "tools/generator/band_analysis.h"

#include <cmath>
#include <complex>

namespace {

constexpr std::size_t kWindow = 16384;

void fft(std::vector<std::complex<double>>& a) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) {
            j ^= bit;
        }
        j ^= bit;
        if (i < j) {
            std::swap(a[i], a[j]);
        }
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = -2.0 * M_PI / static_cast<double>(len);
        const std::complex<double> root(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1.0);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= root;
            }
        }
    }
}

}  // namespace

int bandOf(double hz) { return hz < 50.0 ? 0 : (hz <= 200.0 ? 1 : 2); }

double peakFrequency(const std::vector<float>& left, int sampleRate, std::size_t end) {
    std::vector<std::complex<double>> buffer(kWindow);
    for (std::size_t i = 0; i < kWindow; ++i) {
        const double sample = (end >= kWindow - i && end - kWindow + i < left.size()) ? left[end - kWindow + i] : 0.0;
        const double triangle = 1.0 - std::fabs((static_cast<double>(i) - kWindow / 2.0) / (kWindow / 2.0));
        buffer[i] = sample * triangle;
    }
    fft(buffer);
    std::size_t best = 0;
    double bestValue = 0;
    for (std::size_t bin = 1; bin < kWindow / 2; ++bin) {
        const double value = std::abs(buffer[bin]);
        if (value > bestValue) {
            bestValue = value;
            best = bin;
        }
    }
    return static_cast<double>(best) * sampleRate / static_cast<double>(kWindow);
}

BandReport analyseBands(const std::vector<float>& left, int sampleRate, double frameSeconds) {
    BandReport report;
    report.seconds = static_cast<double>(left.size()) / sampleRate;
    int previous = -1;
    double stretch = 0;
    int counts[3] = {0, 0, 0};
    for (double t = static_cast<double>(kWindow) / sampleRate; t <= report.seconds; t += frameSeconds) {
        const int band = bandOf(peakFrequency(left, sampleRate, static_cast<std::size_t>(t * sampleRate)));
        ++counts[band];
        ++report.frames;
        if (band == previous) {
            stretch += frameSeconds;
        } else {
            if (previous >= 0) {
                ++report.changes;
            }
            stretch = frameSeconds;
        }
        report.longestStretch = std::max(report.longestStretch, stretch);
        previous = band;
    }
    for (int b = 0; b < 3; ++b) {
        report.share[b] = report.frames > 0 ? static_cast<double>(counts[b]) / report.frames : 0.0;
    }
    return report;
}
