#pragma once

// Deterministic randomness for the generator: the same seed gives the same
// pictures and songs on every machine (no std:: distributions, whose results
// differ between standard libraries).

#include <cstdint>

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}
    std::uint32_t next() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return static_cast<std::uint32_t>((state_ * 0x2545F4914F6CDD1Dull) >> 32);
    }
    float uniform() { return static_cast<float>(next() >> 8) / 16777216.0f; }  // [0, 1)
    float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }

private:
    std::uint64_t state_;
};

// Gradient noise in three dimensions, about -1 to 1.
class Noise3 {
public:
    explicit Noise3(std::uint64_t seed);
    float at(float x, float y, float z) const;
    // Sum of octaves, each of double frequency and `gain` times the amplitude.
    float fbm(float x, float y, float z, int octaves, float gain = 0.5f) const;

private:
    std::uint8_t perm_[512];
};
