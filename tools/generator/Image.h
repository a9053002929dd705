#pragma once

// A picture being made: float colour per pixel, rows from the top.

#include <algorithm>
#include <cstdint>
#include <vector>

struct Color {
    float r = 0, g = 0, b = 0, a = 1;
};

inline Color rgb(float r, float g, float b, float a = 1.0f) { return Color{r / 255.0f, g / 255.0f, b / 255.0f, a}; }

inline Color mix(const Color& x, const Color& y, float t) {
    return Color{x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

inline Color scaled(const Color& c, float f) { return Color{c.r * f, c.g * f, c.b * f, c.a}; }

inline float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

inline float smoothstep(float edge0, float edge1, float x) {
    const float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

struct Image {
    Image(int w, int h, bool alpha) : width(w), height(h), hasAlpha(alpha), pixels(static_cast<size_t>(w) * h) {}

    Color& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    const Color& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }

    // Fills every pixel from a function of its centre in [0,1)^2 (v from the top).
    template <typename F>
    void fill(F shade) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                at(x, y) = shade((x + 0.5f) / width, (y + 0.5f) / height);
            }
        }
    }

    // Bytes in R G B (A) order, rows from the top.
    std::vector<std::uint8_t> bytes() const {
        const int channels = hasAlpha ? 4 : 3;
        std::vector<std::uint8_t> out;
        out.reserve(pixels.size() * channels);
        for (const Color& c : pixels) {
            out.push_back(toByte(c.r));
            out.push_back(toByte(c.g));
            out.push_back(toByte(c.b));
            if (hasAlpha) {
                out.push_back(toByte(c.a));
            }
        }
        return out;
    }

    static std::uint8_t toByte(float v) { return static_cast<std::uint8_t>(clamp01(v) * 255.0f + 0.5f); }

    int width;
    int height;
    bool hasAlpha;
    std::vector<Color> pixels;
};
