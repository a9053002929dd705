#pragma once

// One loaded image and its OpenGL texture name.

#include <cstdint>

struct Texture {
    std::uint8_t* data;  // width * height * bpp/8 bytes, R G B (A), rows in file order; null when none held
    std::uint32_t bpp;   // 24 or 32
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t texID;  // OpenGL name, given by the texture set
    std::uint32_t type;   // GL_RGB or GL_RGBA
};

// Frees the pixels (allocated by the reader with new[]) and leaves none held.
inline void releaseTextureData(Texture& texture) {
    delete[] texture.data;
    texture.data = nullptr;
}

// The eleven images the game draws with, at fixed indices (image/texture_set.cpp).
inline constexpr int kTextureCount = 11;
extern Texture textures[kTextureCount];

inline constexpr int TEXTURE_PLAYER = 0;
inline constexpr int TEXTURE_CAR = 1;
inline constexpr int TEXTURE_FONT = 2;
inline constexpr int TEXTURE_VENUS = 3;
inline constexpr int TEXTURE_BONUS = 4;
inline constexpr int TEXTURE_DEATH = 5;
inline constexpr int TEXTURE_SUN = 6;
inline constexpr int TEXTURE_EARTH = 7;
inline constexpr int TEXTURE_MERCURY = 8;
inline constexpr int TEXTURE_MOON = 9;
inline constexpr int TEXTURE_BAR = 10;

// The files, by index, relative to the game's working folder.
extern const char* const kTextureFiles[kTextureCount];
