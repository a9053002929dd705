#pragma once

// Writes TGA files the way common tools do: true colour, bottom-left origin
// (rows from the bottom), B G R (A) byte order, a TGA 2.0 footer.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/generator/Image.h"

enum class TgaKind { Uncompressed = 2, RunLength = 10 };

// The bytes of a whole file; `rgb` holds rows from the top, R G B (A).
std::vector<std::uint8_t> encodeTga(const std::vector<std::uint8_t>& rgb, int width, int height, int bitsPerPixel,
                                    TgaKind kind);
bool writeTga(const std::string& path, const Image& image, TgaKind kind);
