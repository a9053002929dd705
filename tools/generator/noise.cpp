#include "tools/generator/noise.h"

#include <cmath>

Noise3::Noise3(std::uint64_t seed) {
    Random random(seed);
    for (int i = 0; i < 256; ++i) {
        perm_[i] = static_cast<std::uint8_t>(i);
    }
    for (int i = 255; i > 0; --i) {
        const int j = random.below(i + 1);
        const std::uint8_t t = perm_[i];
        perm_[i] = perm_[j];
        perm_[j] = t;
    }
    for (int i = 0; i < 256; ++i) {
        perm_[256 + i] = perm_[i];
    }
}

namespace {

float fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
float lerp(float a, float b, float t) { return a + (b - a) * t; }
float grad(int hash, float x, float y, float z) {
    const int h = hash & 15;
    const float u = h < 8 ? x : y;
    const float v = h < 4 ? y : (h == 12 || h == 14 ? x : z);
    return ((h & 1) ? -u : u) + ((h & 2) ? -v : v);
}

}  // namespace

float Noise3::at(float x, float y, float z) const {
    const float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const int X = static_cast<int>(fx) & 255, Y = static_cast<int>(fy) & 255, Z = static_cast<int>(fz) & 255;
    x -= fx;
    y -= fy;
    z -= fz;
    const float u = fade(x), v = fade(y), w = fade(z);
    const int A = perm_[X] + Y, AA = perm_[A] + Z, AB = perm_[A + 1] + Z;
    const int B = perm_[X + 1] + Y, BA = perm_[B] + Z, BB = perm_[B + 1] + Z;
    return lerp(lerp(lerp(grad(perm_[AA], x, y, z), grad(perm_[BA], x - 1, y, z), u),
                     lerp(grad(perm_[AB], x, y - 1, z), grad(perm_[BB], x - 1, y - 1, z), u), v),
                lerp(lerp(grad(perm_[AA + 1], x, y, z - 1), grad(perm_[BA + 1], x - 1, y, z - 1), u),
                     lerp(grad(perm_[AB + 1], x, y - 1, z - 1), grad(perm_[BB + 1], x - 1, y - 1, z - 1), u), v),
                w);
}

float Noise3::fbm(float x, float y, float z, int octaves, float gain) const {
    float sum = 0.0f, amplitude = 1.0f, norm = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * at(x, y, z);
        norm += amplitude;
        amplitude *= gain;
        x *= 2.0f;
        y *= 2.0f;
        z *= 2.0f;
    }
    return sum / norm;
}
