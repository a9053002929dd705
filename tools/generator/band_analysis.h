#pragma once

// How a song drives the course: every frame the game takes the strongest bin
// of the spectrum of the song's last 16384 samples (left channel, triangle
// window) and sorts its frequency into a band: below 50 Hz, 50 to 200 Hz,
// above 200 Hz. This replays that measurement over a whole song.

#include <vector>

struct BandReport {
    double seconds = 0;
    int frames = 0;
    double share[3] = {0, 0, 0};  // fraction of frames in the low, middle and high band
    int changes = 0;              // frames whose band differs from the frame before
    double longestStretch = 0;    // seconds, the longest time one band stayed current
};

int bandOf(double hz);  // 0 low, 1 middle, 2 high

// `left` at `sampleRate`; one measurement every `frameSeconds`.
BandReport analyseBands(const std::vector<float>& left, int sampleRate, double frameSeconds);

// Frequency of the strongest bin of the last 16384 samples ending at `end`.
double peakFrequency(const std::vector<float>& left, int sampleRate, std::size_t end);
