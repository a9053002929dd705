#pragma once

// Reads true-colour TGA images (uncompressed type 2 and run-length encoded
// type 10, 24 or 32 bits) into a Texture, pixels in R G B (A) order. Every
// failure goes to the log and to a "Game Error" box through the global
// errorHandler; the caller learns of it from the result.

#include <cstddef>
#include <cstdint>

#include "image/Texture.h"

// The bytes of one image file and how far the reader has taken them.
struct TgaStream {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;

    // Copies `count` bytes to `out` and advances; false (and nothing copied)
    // when fewer than `count` remain.
    bool read(void* out, std::size_t count);
    std::size_t remaining() const { return size - position; }
};

class ImageLoader {
public:
    ImageLoader() {}
    virtual ~ImageLoader() {}

    // Reads the file `filename` into `texture`.
    bool loadTGA(Texture& texture, const char* filename);
    // Reads an image held in memory; `filename` only names it in the messages.
    bool loadTGA(Texture& texture, const std::uint8_t* data, std::size_t size, const char* filename);

    // The type-specific reads, with the stream just past the 12-byte header.
    bool loadUncompressedTGA(Texture& texture, const char* filename, TgaStream& file);
    bool loadCompressedTGA(Texture& texture, const char* filename, TgaStream& file);

    // A quiet loader reports its failures only through its results: no log
    // line, no box (for reading ahead what is read again when it fails).
    bool quiet = false;

    std::uint8_t header[12] = {};
    std::uint8_t info[6] = {};
    std::uint32_t bytesPerPixel = 0;
    std::size_t imageSize = 0;  // 64-bit: 4 * 65535 * 65535 does not fit in 32
    std::uint32_t height = 0;
    std::uint32_t width = 0;
    std::uint32_t bpp = 0;
    // Bytes of the image taken by the last read; what follows was never looked at.
    std::size_t bytesUsed = 0;

private:
    bool readInfo(Texture& texture, const char* filename, TgaStream& file);
};
