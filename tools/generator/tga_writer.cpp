#include "tools/generator/tga_writer.h"

#include <cstring>

#include "tools/generator/file_out.h"

namespace {

// Pixels in file order: bottom row first, blue before red.
std::vector<std::uint8_t> filePixels(const std::vector<std::uint8_t>& rgb, int width, int height, int bpp) {
    std::vector<std::uint8_t> out(rgb.size());
    const size_t row = static_cast<size_t>(width) * bpp;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* src = &rgb[static_cast<size_t>(height - 1 - y) * row];
        std::uint8_t* dst = &out[static_cast<size_t>(y) * row];
        for (int x = 0; x < width; ++x, src += bpp, dst += bpp) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            if (bpp == 4) {
                dst[3] = src[3];
            }
        }
    }
    return out;
}

// Packets run on across row ends, as the format allows.
void appendRunLength(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& pixels, int bpp) {
    const size_t count = pixels.size() / bpp;
    auto same = [&](size_t i, size_t j) { return std::memcmp(&pixels[i * bpp], &pixels[j * bpp], bpp) == 0; };
    size_t i = 0;
    while (i < count) {
        size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run)) {
            ++run;
        }
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(127 + run));
            out.insert(out.end(), &pixels[i * bpp], &pixels[i * bpp] + bpp);
            i += run;
            continue;
        }
        // A raw packet lasts until the next pair of equal pixels.
        size_t raw = 1;
        while (i + raw < count && raw < 128 && !(i + raw + 1 < count && same(i + raw, i + raw + 1))) {
            ++raw;
        }
        out.push_back(static_cast<std::uint8_t>(raw - 1));
        out.insert(out.end(), &pixels[i * bpp], &pixels[(i + raw) * bpp]);
        i += raw;
    }
}

}  // namespace

std::vector<std::uint8_t> encodeTga(const std::vector<std::uint8_t>& rgb, int width, int height, int bitsPerPixel,
                                    TgaKind kind) {
    const int bpp = bitsPerPixel / 8;
    std::vector<std::uint8_t> out(18, 0);
    out[2] = static_cast<std::uint8_t>(kind);
    out[12] = static_cast<std::uint8_t>(width & 0xFF);
    out[13] = static_cast<std::uint8_t>(width >> 8);
    out[14] = static_cast<std::uint8_t>(height & 0xFF);
    out[15] = static_cast<std::uint8_t>(height >> 8);
    out[16] = static_cast<std::uint8_t>(bitsPerPixel);
    out[17] = bpp == 4 ? 8 : 0;  // alpha bits; origin bottom-left
    const std::vector<std::uint8_t> pixels = filePixels(rgb, width, height, bpp);
    if (kind == TgaKind::Uncompressed) {
        out.insert(out.end(), pixels.begin(), pixels.end());
    } else {
        appendRunLength(out, pixels, bpp);
    }
    // Extension and developer areas absent: eight zero bytes, then the signature.
    static const char kFooter[] = "TRUEVISION-XFILE.";
    out.insert(out.end(), 8, 0);
    out.insert(out.end(), kFooter, kFooter + sizeof kFooter);
    return out;
}

bool writeTga(const std::string& path, const Image& image, TgaKind kind) {
    return writeFile(path, encodeTga(image.bytes(), image.width, image.height, image.hasAlpha ? 32 : 24, kind));
}
