// The TGA reader on byte fixtures: pixel order, run-length packets, and every
// refusal with its log line and "Game Error" box.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "diag/ErrorHandler.h"
#include "image/ImageLoader.h"
#include "tests/render/test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Header {
    std::uint8_t type = 2;
    std::uint16_t width = 1;
    std::uint16_t height = 1;
    std::uint8_t bpp = 24;
    std::uint8_t idLength = 0;
    std::uint8_t colorMapType = 0;
    std::uint8_t xOrigin = 0;
};

Bytes tga(const Header& h, const Bytes& payload) {
    Bytes out = {h.idLength, h.colorMapType, h.type, 0, 0, 0, 0, 0, h.xOrigin, 0, 0, 0,
                 static_cast<std::uint8_t>(h.width & 0xFF), static_cast<std::uint8_t>(h.width >> 8),
                 static_cast<std::uint8_t>(h.height & 0xFF), static_cast<std::uint8_t>(h.height >> 8), h.bpp, 0};
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

Bytes repeat(const Bytes& unit, int times) {
    Bytes out;
    for (int i = 0; i < times; ++i) {
        out.insert(out.end(), unit.begin(), unit.end());
    }
    return out;
}

Bytes truncated(Bytes bytes, std::size_t size) {
    bytes.resize(size);
    return bytes;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

class TgaReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        errorHandler.open("log.txt", true);
        folder.clearLog();
    }
    void TearDown() override { releaseTextureData(texture); }

    bool load(const Bytes& bytes) { return loader.loadTGA(texture, bytes.data(), bytes.size(), "fixture.tga"); }

    testsupport::ScratchFolder folder;
    testsupport::BoxRecorder boxes;
    ImageLoader loader;
    Texture texture{};
};

TEST_F(TgaReaderTest, UncompressedPixelsComeOutRedFirst) {
    ASSERT_TRUE(load(tga({2, 2, 1, 24}, {10, 20, 30, 1, 2, 3})));
    EXPECT_EQ(Bytes(texture.data, texture.data + 6), (Bytes{30, 20, 10, 3, 2, 1}));
    EXPECT_EQ(texture.type, static_cast<std::uint32_t>(GL_RGB));

    ASSERT_TRUE(load(tga({2, 1, 2, 32}, {10, 20, 30, 40, 5, 6, 7, 8})));
    EXPECT_EQ(Bytes(texture.data, texture.data + 8), (Bytes{30, 20, 10, 40, 7, 6, 5, 8}));
    EXPECT_EQ(texture.type, static_cast<std::uint32_t>(GL_RGBA));
    EXPECT_EQ(texture.width, 1u);
    EXPECT_EQ(texture.height, 2u);
    EXPECT_EQ(texture.bpp, 32u);
    EXPECT_EQ(loader.imageSize, 8u);
    EXPECT_EQ(loader.bytesPerPixel, 4u);
    EXPECT_EQ(folder.log(), "");
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(TgaReaderTest, RowsStayInFileOrderAndTrailingBytesAreNeverRead) {
    const Bytes footer = {0, 0, 0, 0, 0, 0, 0, 0, 'T', 'R', 'U', 'E'};
    ASSERT_TRUE(load(concat({tga({2, 1, 2, 24}, {1, 1, 1, 9, 9, 9}), footer})));
    EXPECT_EQ(texture.data[0], 1);  // the first row of the file stays first
    EXPECT_EQ(texture.data[3], 9);
    EXPECT_EQ(loader.bytesUsed, 18u + 6u);
}

struct PacketCase {
    const char* name;
    std::uint16_t width;
    Bytes packets;
    Bytes expected;  // RGB of every pixel
};

TEST_F(TgaReaderTest, RunLengthPacketsOfEverySize) {
    const Bytes bgr = {3, 2, 1}, rgb = {1, 2, 3};
    const PacketCase cases[] = {
        {"0x00: one raw pixel", 1, concat({{0x00}, bgr}), rgb},
        {"0x7F: 128 raw pixels", 128, concat({{0x7F}, repeat(bgr, 128)}), repeat(rgb, 128)},
        {"0x80: a run of one", 1, concat({{0x80}, bgr}), rgb},
        {"0xFF: a run of 128", 128, concat({{0xFF}, bgr}), repeat(rgb, 128)},
        // Packets run on across row ends: 3 x 2 pixels as a raw pair and a run of four.
        {"across rows", 3, {0x01, 10, 11, 12, 20, 21, 22, 0x83, 30, 31, 32},
         concat({{12, 11, 10, 22, 21, 20}, repeat({32, 31, 30}, 4)})},
    };
    for (const PacketCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint16_t height = static_cast<std::uint16_t>(c.expected.size() / 3 / c.width);
        ASSERT_TRUE(load(tga({10, c.width, height, 24}, c.packets)));
        EXPECT_EQ(Bytes(texture.data, texture.data + c.expected.size()), c.expected);
        EXPECT_EQ(loader.bytesUsed, 18 + c.packets.size());
    }
    EXPECT_EQ(folder.log(), "");
}

TEST_F(TgaReaderTest, TwoByTwoRunFillsTheImageAndReadsNothingMore) {
    ASSERT_TRUE(load(tga({10, 2, 2, 32}, {0x83, 1, 2, 3, 4, 0xEE, 0xEE, 0xEE})));
    EXPECT_EQ(Bytes(texture.data, texture.data + 16), repeat({3, 2, 1, 4}, 4));
    EXPECT_EQ(loader.bytesUsed, 18u + 5u);
}

struct Refusal {
    const char* name;
    Bytes file;
    const char* logLine;  // with 'fixture.tga' in place of the name
    const char* boxText;
};

TEST_F(TgaReaderTest, EveryRefusalIsLoggedAndShownAsGameError) {
    Header idField{2, 1, 1, 24};
    idField.idLength = 1;
    Header colorMap{2, 1, 1, 24};
    colorMap.colorMapType = 1;
    Header origin{2, 1, 1, 24};
    origin.xOrigin = 4;
    const Bytes pixel = {1, 2, 3};
    const Refusal cases[] = {
        {"shorter than the header", Bytes(11, 0), "Could not read TGA header! = 'fixture.tga'!",
         "Could not read TGA header!\nFile: 'fixture.tga'!"},
        {"header without info", truncated(tga({2}, {}), 17),
         "Could not read TGA info header! = 'fixture.tga'!", "Could not read TGA info header!\nFile: 'fixture.tga'!"},
        {"grey-scale type 3", tga({3, 1, 1, 8}, {0}), "TGA file MUST be type 2 or type 10! = 'fixture.tga'!",
         "TGA file MUST be type 2 or type 10!\nFile: 'fixture.tga'!"},
        {"type 2 with an image ID", tga(idField, concat({{0}, pixel})),
         "TGA file MUST be type 2 or type 10! = 'fixture.tga'!",
         "TGA file MUST be type 2 or type 10!\nFile: 'fixture.tga'!"},
        {"type 2 with a colour map", tga(colorMap, pixel), "TGA file MUST be type 2 or type 10! = 'fixture.tga'!",
         "TGA file MUST be type 2 or type 10!\nFile: 'fixture.tga'!"},
        {"type 2 with an origin", tga(origin, pixel), "TGA file MUST be type 2 or type 10! = 'fixture.tga'!",
         "TGA file MUST be type 2 or type 10!\nFile: 'fixture.tga'!"},
        {"16 bits", tga({2, 1, 1, 16}, {1, 2}), "Invalid texture information! = 'fixture.tga'!",
         "Invalid texture information!\nFile: 'fixture.tga'!"},
        {"8 bits, run-length", tga({10, 1, 1, 8}, {0x80, 1}), "Invalid texture information! = 'fixture.tga'!",
         "Invalid texture information!\nFile: 'fixture.tga'!"},
        {"width 0", tga({2, 0, 1, 24}, pixel), "Invalid texture information! = 'fixture.tga'!",
         "Invalid texture information!\nFile: 'fixture.tga'!"},
        {"height 0", tga({10, 1, 0, 24}, {0x80, 1, 2, 3}), "Invalid texture information! = 'fixture.tga'!",
         "Invalid texture information!\nFile: 'fixture.tga'!"},
        {"uncompressed data cut short", tga({2, 2, 2, 24}, repeat(pixel, 3)), "Could not read TGA data! = 'fixture.tga'!",
         "Could not read TGA data!\nFile: 'fixture.tga'!"},
        {"a huge image with a few bytes", tga({2, 65535, 65535, 32}, pixel), "Could not read TGA data! = 'fixture.tga'!",
         "Could not read TGA data!\nFile: 'fixture.tga'!"},
        {"no packet header left", tga({10, 2, 1, 24}, concat({{0x80}, pixel})),
         "Could not read RLE header! = 'fixture.tga'!", "Could not read RLE header!\nFile: 'fixture.tga'!"},
        {"a huge run-length image with one packet", tga({10, 65535, 65535, 32}, {0xFF, 1, 2, 3, 4}),
         "Could not read RLE header! = 'fixture.tga'!", "Could not read RLE header!\nFile: 'fixture.tga'!"},
        {"raw packet cut short", tga({10, 2, 1, 24}, concat({{0x01}, pixel, {1}})),
         "Could not read TGA data! = 'fixture.tga'!", "Could not read TGA data!\nFile: 'fixture.tga'!"},
        {"run packet without its pixel", tga({10, 2, 1, 24}, {0x81, 1, 2}), "Could not read from TGA! = 'fixture.tga'!",
         "Could not read from TGA!\nFile: 'fixture.tga'!"},
        {"raw packet of five in a 2 x 2 image", tga({10, 2, 2, 24}, concat({{0x04}, repeat(pixel, 5)})),
         "Too many pixels to read! = 'fixture.tga'!", "Too many pixels to read on TGA\nFile: 'fixture.tga'!"},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        folder.clearLog();
        boxes.clear();
        EXPECT_FALSE(load(c.file));
        EXPECT_EQ(texture.data, nullptr);
        EXPECT_EQ(folder.log(), std::string(c.logLine) + "\n" + c.boxText + "\n");
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].title, "Game Error");
        EXPECT_NE(boxes.boxes()[0].text.find(c.boxText), std::string::npos) << boxes.boxes()[0].text;
        EXPECT_EQ(errorHandler.kind, ERROR_KIND_GAME);
    }
}

TEST_F(TgaReaderTest, OverlongRunFailsWithoutAWord) {
    for (const Bytes& packets : {Bytes{0x84, 1, 2, 3}, Bytes{0x80, 1, 2, 3, 0x83, 1, 2, 3}}) {
        EXPECT_FALSE(load(tga({10, 2, 2, 24}, packets)));
        EXPECT_EQ(texture.data, nullptr);
    }
    EXPECT_EQ(folder.log(), "");
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(TgaReaderTest, FailedReadKeepsWhatTheHeaderSaidAndDropsOldPixels) {
    ASSERT_TRUE(load(tga({2, 1, 1, 24}, {1, 2, 3})));
    ASSERT_NE(texture.data, nullptr);
    EXPECT_FALSE(load(tga({2, 7, 5, 32}, {1, 2, 3})));  // data cut short
    EXPECT_EQ(texture.data, nullptr);
    EXPECT_EQ(texture.width, 7u);
    EXPECT_EQ(texture.height, 5u);
    EXPECT_EQ(texture.bpp, 32u);
    EXPECT_EQ(texture.type, static_cast<std::uint32_t>(GL_RGBA));
}

TEST_F(TgaReaderTest, FilesAreReadThroughTheSameCore) {
    const Bytes file = tga({10, 2, 2, 24}, {0x83, 7, 8, 9});
    std::FILE* out = std::fopen("two by two.tga", "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    ASSERT_TRUE(loader.loadTGA(texture, "two by two.tga"));
    EXPECT_EQ(Bytes(texture.data, texture.data + 3), (Bytes{9, 8, 7}));

    EXPECT_FALSE(loader.loadTGA(texture, "resources/missing 100%.tga"));
    EXPECT_EQ(texture.data, nullptr);
    EXPECT_EQ(folder.log(), "Could not load 'resources/missing 100%.tga'!\n"
                            "Could not load texture file 'resources/missing 100%.tga'! Please check that file!\n");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].title, "Game Error");
}

}  // namespace

namespace {

TEST_F(TgaReaderTest, FuzzRegressionsAreRefusedOrReadWhole) {
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(REDAVAVE_SOURCE_DIR "/fuzz/regressions/tga")) {
        SCOPED_TRACE(entry.path().filename().string());
        const Bytes bytes = testsupport::readBytes(entry.path().string());
        if (load(bytes)) {
            ASSERT_NE(texture.data, nullptr);
            const std::size_t size = static_cast<std::size_t>(texture.width) * texture.height * texture.bpp / 8;
            EXPECT_GE(static_cast<int>(texture.data[size - 1]), 0);  // the last byte is there
        } else {
            EXPECT_EQ(texture.data, nullptr);
        }
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

}  // namespace
