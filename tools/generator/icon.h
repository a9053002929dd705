#pragma once

// The game's icon, and the two file formats it is kept in: PNG for the
// desktop's icon theme, BMP for the window itself.

#include <cstdint>
#include <vector>

#include "tools/generator/Image.h"

// The icon at `size` by `size` pixels, with alpha.
Image paintIcon(int size);

// A complete PNG file (8-bit RGBA, unfiltered, stored deflate blocks).
std::vector<std::uint8_t> encodePng(const Image& image);
// A complete 32-bit BMP file with an alpha mask (BITMAPV4HEADER, bottom-up).
std::vector<std::uint8_t> encodeBmp(const Image& image);
