#include "tools/generator/icon.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

float roundedSquare(float x, float y, float half, float radius) {
    const float qx = std::fabs(x) - half + radius;
    const float qy = std::fabs(y) - half + radius;
    return std::hypot(std::fmax(qx, 0.0f), std::fmax(qy, 0.0f)) + std::fmin(std::fmax(qx, qy), 0.0f) - radius;
}

// Coverage of the inside of a signed distance, soft over about one pixel.
float cover(float distance, float pixel) { return 1.0f - smoothstep(-pixel, pixel, distance); }

Color over(const Color& below, const Color& above, float alpha) {
    Color c = mix(below, above, alpha);
    c.a = below.a;
    return c;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int shift : {24, 16, 8, 0}) {
        out.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

void putLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        c = table[(c ^ data[i]) & 0xFFu] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

void chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
    put32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, crc32(out.data() + start, out.size() - start));
}

}  // namespace

Image paintIcon(int size) {
    Image image(size, size, true);
    const float pixel = 2.0f / static_cast<float>(size);
    image.fill([&](float u, float v) {
        const float x = u * 2 - 1, y = 1 - v * 2;  // y up
        // Night sky on a rounded card.
        const float card = roundedSquare(x, y, 0.94f, 0.24f);
        Color c = mix(rgb(44, 26, 92), rgb(6, 8, 24), clamp01(std::hypot(x, y - 0.5f) * 0.8f));
        c.a = cover(card, pixel);

        // A large planet rising over the horizon, lit from the upper right.
        const float planet = std::hypot(x - 0.1f, y - 0.95f) - 0.72f;
        const float light = clamp01(0.55f + 0.5f * (x - 0.1f) - 0.2f * (0.95f - y));
        c = over(c, mix(rgb(150, 60, 20), rgb(255, 178, 70), light), cover(planet, pixel) * (y > 0.02f ? 1.0f : 0.0f));

        // Three lanes running to the horizon.
        if (y < 0.05f) {
            const float depth = (0.05f - y) / 1.0f;  // 0 at the horizon
            for (float lane : {-1.0f, 0.0f, 1.0f}) {
                const float centre = lane * 0.55f * depth;
                const float half = 0.02f + 0.012f * depth;
                const float d = std::fabs(x - centre) - half;
                c = over(c, rgb(120, 140, 255), 0.55f * cover(d, pixel));
            }
        }
        // A red, a green and a blue block coming down the lanes, nearer lower down.
        struct Block {
            float x, y, half;
            Color colour;
        };
        const Block blocks[] = {{-0.42f, -0.62f, 0.17f, rgb(255, 40, 40)},
                                {0.0f, -0.22f, 0.11f, rgb(40, 235, 60)},
                                {0.36f, -0.48f, 0.14f, rgb(50, 90, 255)}};
        for (const Block& b : blocks) {
            const float d = roundedSquare(x - b.x, y - b.y, b.half, b.half * 0.25f);
            c = over(c, scaled(b.colour, 0.45f), cover(d, pixel));
            c = over(c, b.colour, cover(d + pixel * 1.5f, pixel));
        }
        // A thin rim keeps the card readable on light and dark panels alike.
        c = over(c, rgb(150, 130, 230), cover(std::fabs(card + pixel * 1.2f) - pixel * 0.6f, pixel) * 0.8f);
        return c;
    });
    return image;
}

std::vector<std::uint8_t> encodePng(const Image& image) {
    const std::vector<std::uint8_t> pixels = image.bytes();
    const int channels = image.hasAlpha ? 4 : 3;
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * channels;

    // The scanlines, each after its filter byte (0, none).
    std::vector<std::uint8_t> raw;
    raw.reserve((rowBytes + 1) * image.height);
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), pixels.begin() + static_cast<std::ptrdiff_t>(y * rowBytes),
                   pixels.begin() + static_cast<std::ptrdiff_t>((y + 1) * rowBytes));
    }

    // A zlib stream of stored blocks: the files are small and this needs no library.
    std::vector<std::uint8_t> z = {0x78, 0x01};
    std::size_t at = 0;
    do {
        const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
        const bool last = at + length == raw.size();
        z.push_back(last ? 1 : 0);
        putLe(z, static_cast<std::uint32_t>(length), 2);
        putLe(z, static_cast<std::uint32_t>(~length & 0xFFFFu), 2);
        z.insert(z.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                 raw.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < raw.size());
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t byte : raw) {
        a = (a + byte) % 65521u;
        b = (b + a) % 65521u;
    }
    put32(z, (b << 16) | a);

    std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    put32(header, static_cast<std::uint32_t>(image.width));
    put32(header, static_cast<std::uint32_t>(image.height));
    header.insert(header.end(), {8, static_cast<std::uint8_t>(image.hasAlpha ? 6 : 2), 0, 0, 0});
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", z);
    chunk(out, "IEND", {});
    return out;
}

std::vector<std::uint8_t> encodeBmp(const Image& image) {
    const std::vector<std::uint8_t> pixels = image.bytes();
    const int channels = image.hasAlpha ? 4 : 3;
    const std::uint32_t headerSize = 14 + 108;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(image.width) * image.height * 4;
    std::vector<std::uint8_t> out = {'B', 'M'};
    putLe(out, headerSize + dataSize, 4);
    putLe(out, 0, 4);
    putLe(out, headerSize, 4);
    putLe(out, 108, 4);  // BITMAPV4HEADER
    putLe(out, static_cast<std::uint32_t>(image.width), 4);
    putLe(out, static_cast<std::uint32_t>(image.height), 4);  // positive: rows from the bottom
    putLe(out, 1, 2);
    putLe(out, 32, 2);
    putLe(out, 3, 4);  // BI_BITFIELDS
    putLe(out, dataSize, 4);
    putLe(out, 2835, 4);  // 72 dpi
    putLe(out, 2835, 4);
    putLe(out, 0, 4);
    putLe(out, 0, 4);
    putLe(out, 0x00FF0000u, 4);  // red, green, blue and alpha masks: B G R A in memory
    putLe(out, 0x0000FF00u, 4);
    putLe(out, 0x000000FFu, 4);
    putLe(out, 0xFF000000u, 4);
    putLe(out, 0x73524742u, 4);  // 'sRGB'
    out.insert(out.end(), 48, 0);  // end points and gamma, unused with sRGB
    for (int y = image.height - 1; y >= 0; --y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * image.width + x) * channels];
            out.insert(out.end(), {p[2], p[1], p[0], static_cast<std::uint8_t>(channels == 4 ? p[3] : 255)});
        }
    }
    return out;
}
