#include "image/ImageLoader.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "diag/ErrorHandler.h"
#include "image/file_bytes.h"

namespace {

const std::uint8_t kUncompressedHeader[12] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
const std::uint8_t kCompressedHeader[12] = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// Each failure has a log line and a box text, both naming the file.
struct Failure {
    const char* logLine;
    const char* boxText;
};

const Failure kCannotOpen = {"Could not load '%s'!", "Could not load texture file '%s'! Please check that file!"};
const Failure kNoHeader = {"Could not read TGA header! = '%s'!", "Could not read TGA header!\nFile: '%s'!"};
const Failure kWrongType = {"TGA file MUST be type 2 or type 10! = '%s'!",
                            "TGA file MUST be type 2 or type 10!\nFile: '%s'!"};
const Failure kNoInfo = {"Could not read TGA info header! = '%s'!", "Could not read TGA info header!\nFile: '%s'!"};
const Failure kBadInfo = {"Invalid texture information! = '%s'!", "Invalid texture information!\nFile: '%s'!"};
const Failure kNoMemory = {"Could not allocate memory for image! = '%s'!",
                           "Could not allocate memory for TGA!\nFile: '%s'!"};
const Failure kNoData = {"Could not read TGA data! = '%s'!", "Could not read TGA data!\nFile: '%s'!"};
const Failure kNoPacket = {"Could not read RLE header! = '%s'!", "Could not read RLE header!\nFile: '%s'!"};
const Failure kTooMany = {"Too many pixels to read! = '%s'!", "Too many pixels to read on TGA\nFile: '%s'!"};
const Failure kNoRunPixel = {"Could not read from TGA! = '%s'!", "Could not read from TGA!\nFile: '%s'!"};

// Set for the reads of a quiet loader on this thread.
thread_local bool failuresUnreported = false;

struct QuietScope {
    explicit QuietScope(bool quiet) : before(failuresUnreported) { failuresUnreported = quiet; }
    ~QuietScope() { failuresUnreported = before; }
    bool before;
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
// The texts above each take the file name once, as their only argument.
bool report(const Failure& failure, const char* filename) {
    if (failuresUnreported) {
        return false;
    }
    errorHandler.log(failure.logLine, filename);
    errorHandler.setError(ERROR_KIND_GAME, failure.boxText, filename);
    errorHandler.show();
    return false;
}
#pragma GCC diagnostic pop

// Writes b2 b1 b0 (b3): the file keeps blue first, OpenGL wants red first.
inline void storePixel(std::uint8_t* out, const std::uint8_t* pixel, std::uint32_t bytesPerPixel) {
    out[0] = pixel[2];
    out[1] = pixel[1];
    out[2] = pixel[0];
    if (bytesPerPixel == 4) {
        out[3] = pixel[3];
    }
}

enum class RleResult { Ok, NoPacket, NoRawPixel, TooMany, NoRunPixel, RunTooLong };

// Decodes the packets of a type-10 image. With `out` null it only walks the
// packets, so that a file that cannot supply its pixels is found out before
// the (possibly huge) pixel buffer is allocated. Never stores more than
// `pixelCount` pixels.
RleResult decodeRle(TgaStream& file, std::size_t pixelCount, std::uint32_t bytesPerPixel, std::uint8_t* out) {
    std::size_t written = 0;
    std::uint8_t pixel[4];
    while (written < pixelCount) {
        std::uint8_t packet = 0;
        if (!file.read(&packet, 1)) {
            return RleResult::NoPacket;
        }
        if (packet < 128) {
            const unsigned count = packet + 1u;
            for (unsigned i = 0; i < count; ++i) {
                if (!file.read(pixel, bytesPerPixel)) {
                    return RleResult::NoRawPixel;
                }
                if (written == pixelCount) {
                    return RleResult::TooMany;
                }
                if (out != nullptr) {
                    storePixel(out + written * bytesPerPixel, pixel, bytesPerPixel);
                }
                ++written;
            }
        } else {
            const unsigned count = packet - 127u;
            if (!file.read(pixel, bytesPerPixel)) {
                return RleResult::NoRunPixel;
            }
            if (count > pixelCount - written) {
                return RleResult::RunTooLong;
            }
            if (out != nullptr) {
                for (unsigned i = 0; i < count; ++i) {
                    storePixel(out + (written + i) * bytesPerPixel, pixel, bytesPerPixel);
                }
            }
            written += count;
        }
    }
    return RleResult::Ok;
}

bool reportRle(RleResult result, const char* filename) {
    switch (result) {
        case RleResult::NoPacket: return report(kNoPacket, filename);
        case RleResult::NoRawPixel: return report(kNoData, filename);
        case RleResult::TooMany: return report(kTooMany, filename);
        case RleResult::NoRunPixel: return report(kNoRunPixel, filename);
        case RleResult::RunTooLong: return false;  // the one failure that is not reported
        case RleResult::Ok: break;
    }
    return true;
}

}  // namespace

bool TgaStream::read(void* out, std::size_t count) {
    if (count > remaining()) {
        return false;
    }
    std::memcpy(out, data + position, count);
    position += count;
    return true;
}

bool ImageLoader::loadTGA(Texture& texture, const char* filename) {
    const QuietScope scope(quiet);
    // The whole file is taken at once; the parser never looks past the last pixel.
    std::vector<std::uint8_t> bytes;
    if (!readFileBytes(filename, bytes)) {
        releaseTextureData(texture);
        return report(kCannotOpen, filename);
    }
    return loadTGA(texture, bytes.data(), bytes.size(), filename);
}

bool ImageLoader::loadTGA(Texture& texture, const std::uint8_t* data, std::size_t size, const char* filename) {
    const QuietScope scope(quiet);
    if (filename == nullptr) {
        filename = "";
    }
    // Whatever the record held before is replaced, and a failed read leaves no pixels.
    releaseTextureData(texture);
    TgaStream file{data, data == nullptr ? 0 : size, 0};
    bytesUsed = 0;
    bool ok = false;
    if (!file.read(header, sizeof header)) {
        ok = report(kNoHeader, filename);
    } else if (std::memcmp(header, kUncompressedHeader, sizeof header) == 0) {
        ok = loadUncompressedTGA(texture, filename, file);
    } else if (std::memcmp(header, kCompressedHeader, sizeof header) == 0) {
        ok = loadCompressedTGA(texture, filename, file);
    } else {
        ok = report(kWrongType, filename);
    }
    bytesUsed = file.position;
    return ok;
}

bool ImageLoader::readInfo(Texture& texture, const char* filename, TgaStream& file) {
    if (!file.read(info, sizeof info)) {
        return report(kNoInfo, filename);
    }
    width = info[0] + 256u * info[1];
    height = info[2] + 256u * info[3];
    bpp = info[4];
    texture.width = width;
    texture.height = height;
    texture.bpp = bpp;
    if (width == 0 || height == 0 || (bpp != 24 && bpp != 32)) {
        return report(kBadInfo, filename);
    }
    texture.type = bpp == 24 ? PIXELS_RGB : PIXELS_RGBA;
    bytesPerPixel = bpp / 8;
    imageSize = static_cast<std::size_t>(bytesPerPixel) * width * height;
    return true;
}

bool ImageLoader::loadUncompressedTGA(Texture& texture, const char* filename, TgaStream& file) {
    if (!readInfo(texture, filename, file)) {
        return false;
    }
    // A short file is refused before its buffer is allocated.
    if (file.remaining() < imageSize) {
        return report(kNoData, filename);
    }
    texture.data = new (std::nothrow) std::uint8_t[imageSize];
    if (texture.data == nullptr) {
        return report(kNoMemory, filename);
    }
    file.read(texture.data, imageSize);
    for (std::size_t i = 0; i < imageSize; i += bytesPerPixel) {
        const std::uint8_t blue = texture.data[i];
        texture.data[i] = texture.data[i + 2];
        texture.data[i + 2] = blue;
    }
    return true;
}

bool ImageLoader::loadCompressedTGA(Texture& texture, const char* filename, TgaStream& file) {
    if (!readInfo(texture, filename, file)) {
        return false;
    }
    const std::size_t pixelCount = static_cast<std::size_t>(width) * height;
    TgaStream walk = file;
    const RleResult result = decodeRle(walk, pixelCount, bytesPerPixel, nullptr);
    if (result != RleResult::Ok) {
        file = walk;
        return reportRle(result, filename);
    }
    texture.data = new (std::nothrow) std::uint8_t[imageSize];
    if (texture.data == nullptr) {
        return report(kNoMemory, filename);
    }
    decodeRle(file, pixelCount, bytesPerPixel, texture.data);
    return true;
}
