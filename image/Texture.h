#pragma once

// One loaded image and its OpenGL texture name.

#include <cstdint>

struct Texture {
    std::uint8_t* data;  // width * height * bpp/8 bytes, R G B (A), rows in file order; null when none held
    std::uint32_t bpp;   // 24 or 32
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t texID;  // OpenGL name, given by the texture set
    std::uint32_t type;   // PIXELS_RGB or PIXELS_RGBA
};

// Pixel layouts of `type`; the numbers are OpenGL's own (GL_RGB, GL_RGBA), so
// the set uploads them as they are.
inline constexpr std::uint32_t PIXELS_RGB = 0x1907;
inline constexpr std::uint32_t PIXELS_RGBA = 0x1908;

// Frees the pixels (allocated by the reader with new[]) and leaves none held.
inline void releaseTextureData(Texture& texture) {
    delete[] texture.data;
    texture.data = nullptr;
}
