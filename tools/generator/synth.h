#pragma once

// A small synthesiser: drums, a sub bass, a bass, a lead, a pad, mixed into
// stereo buses. Every voice adds itself into a bus at a sample position.

#include <cstddef>
#include <vector>

#include "tools/generator/encoder.h"
#include "tools/generator/noise.h"

inline constexpr int kSampleRate = 44100;

float midiToHz(float note);

struct Bus {
    explicit Bus(std::size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
    std::size_t frames() const { return left.size(); }
    // Adds a mono signal with a constant-power pan (-1 left, +1 right).
    void add(std::size_t start, const std::vector<float>& mono, float pan);
    void mixInto(Bus& target, float gain) const;
    // A feedback echo, for the lead.
    void echo(float seconds, float feedback, float wet);
    std::vector<float> left;
    std::vector<float> right;
};

// Each voice returns its samples; `seconds` is how long the note is held.
std::vector<float> kick(float velocity);
std::vector<float> snare(float velocity, Random& random);
std::vector<float> hat(float velocity, bool open, Random& random);
std::vector<float> subBass(float hz, float seconds, float velocity);
std::vector<float> bass(float hz, float seconds, float velocity);
std::vector<float> lead(float hz, float seconds, float velocity, float brightness);
std::vector<float> pad(const std::vector<float>& hz, float seconds, float velocity);

// Scales the mix to a peak of `peak` after a gentle soft clip.
StereoSamples master(const Bus& mix, float peak);
