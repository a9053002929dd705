#pragma once

// The eleven images the game draws with, read at start-up, uploaded to OpenGL
// and kept by index; the fonts are cut from the font sheet among them.

#include "image/Texture.h"

inline constexpr int kTextureCount = 11;
extern Texture textures[kTextureCount];

// Indices into the set.
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

// The set is uploaded in index order, so a fresh context names entry i with
// i + 1. The ship and the course's cards are bound by these names, not by the
// table: a failed load leaves them to whatever the context holds.
inline constexpr unsigned TEXTURE_NAME_SHIP = TEXTURE_PLAYER + 1;
inline constexpr unsigned TEXTURE_NAME_BONUS_CARD = TEXTURE_BONUS + 1;
inline constexpr unsigned TEXTURE_NAME_SKULL_CARD = TEXTURE_DEATH + 1;

// The game's fonts are cut from the font sheet in cells of this many texels,
// which a text at scale 1 draws as as many pixels.
inline constexpr unsigned kFontCell = 50;

// The files, by index, relative to the game's working folder.
extern const char* const kTextureFiles[kTextureCount];

// Reads the eleven files and uploads them; stops at the first that cannot be
// read and then uploads none. Builds the game's fonts either way. Needs a
// current OpenGL context.
bool loadTextures();

// Starts reading and decoding the eleven files on a thread of their own, in
// the working folder of the moment, for the next loadTextures() to upload;
// loadTextures() waits for it. A file that fails there is read again by
// loadTextures(), which reports it as it always does.
void readTexturesAhead();
