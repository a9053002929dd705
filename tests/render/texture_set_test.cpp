// The texture set on the generated resources tree, in a real OpenGL context:
// names 1 to 11 in index order, pixels released, fonts on the font image, and
// what a missing file leaves behind.

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "diag/ErrorHandler.h"
#include "image/ImageLoader.h"
#include "render/texture_set.h"
#include "render/FontHandler.h"
#include "tests/render/test_support.h"
#include "tools/generator/tga_writer.h"

namespace {

namespace fs = std::filesystem;

const fs::path kGenerated = fs::path(REDAVAVE_RUN_DIR) / "resources";

class TextureSetTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!window.ready()) {
            GTEST_SKIP() << window.reason();
        }
        ASSERT_TRUE(fs::exists(kGenerated / "Textures")) << "build the 'resources' target first";
        for (Texture& texture : textures) {
            releaseTextureData(texture);
            texture = Texture{};
        }
        fontHandler.releaseAll();
        errorHandler.open("log.txt", true);
        folder.clearLog();
        // A tree of links to the generated files, which a test may then change.
        testsupport::linkTree(kGenerated.string(), "resources");
    }
    void TearDown() override { fontHandler.releaseAll(); }

    static void replace(const char* file, const std::vector<std::uint8_t>& bytes) {
        fs::remove(file);
        std::FILE* out = std::fopen(file, "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
    }

    testsupport::ScratchFolder folder;
    testsupport::BoxRecorder boxes;
    testsupport::GlWindow window{64, 64};
};

TEST_F(TextureSetTest, AllElevenGetNamesOneToElevenInIndexOrder) {
    ASSERT_TRUE(loadTextures());
    for (int i = 0; i < kTextureCount; ++i) {
        SCOPED_TRACE(kTextureFiles[i]);
        const Texture& t = textures[i];
        EXPECT_EQ(t.texID, static_cast<std::uint32_t>(i + 1));
        EXPECT_EQ(t.data, nullptr) << "released after the upload";
        glBindTexture(GL_TEXTURE_2D, t.texID);
        GLint width = 0, height = 0, format = 0, minFilter = 0, magFilter = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
        EXPECT_EQ(static_cast<std::uint32_t>(width), t.width);
        EXPECT_EQ(static_cast<std::uint32_t>(height), t.height);
        EXPECT_EQ(format, static_cast<GLint>(t.bpp / 8)) << "uploaded with 3 or 4 components";
        EXPECT_EQ(t.type, static_cast<std::uint32_t>(t.bpp == 32 ? GL_RGBA : GL_RGB));
        EXPECT_EQ(minFilter, GL_LINEAR);
        EXPECT_EQ(magFilter, GL_LINEAR);
    }
    ASSERT_EQ(fontHandler.fonts.size(), 15u);
    for (const auto& font : fontHandler.fonts) {
        EXPECT_EQ(font->texture, 3u) << "every font is built on the font image";
        EXPECT_EQ(font->cellSize, 50u);
    }
    EXPECT_EQ(folder.log(), "Loaded All Textures: OK\n");
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(TextureSetTest, UploadedPixelsAreTheImagesOwnEvenForOddWidths) {
    // A 24-bit image whose rows are not a multiple of four bytes long.
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < 5 * 3; ++i) {
        rgb.insert(rgb.end(), {static_cast<std::uint8_t>(i * 10), static_cast<std::uint8_t>(200 - i), 7});
    }
    replace("resources/Textures/World/player_texture1.tga", encodeTga(rgb, 5, 3, 24, TgaKind::Uncompressed));
    ASSERT_TRUE(loadTextures());
    ImageLoader loader;
    for (const int index : {TEXTURE_PLAYER, TEXTURE_FONT, TEXTURE_EARTH}) {
        SCOPED_TRACE(kTextureFiles[index]);
        Texture expected{};
        ASSERT_TRUE(loader.loadTGA(expected, kTextureFiles[index]));
        const std::size_t size = static_cast<std::size_t>(expected.width) * expected.height * expected.bpp / 8;
        std::vector<std::uint8_t> uploaded(size);
        glBindTexture(GL_TEXTURE_2D, textures[index].texID);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, expected.type, GL_UNSIGNED_BYTE, uploaded.data());
        EXPECT_EQ(std::memcmp(uploaded.data(), expected.data, size), 0);
        releaseTextureData(expected);
    }
}

TEST_F(TextureSetTest, AMissingFileStopsTheReadingButNotTheFonts) {
    fs::remove("resources/Textures/World/planet_venus.tga");
    EXPECT_FALSE(loadTextures());
    EXPECT_EQ(folder.log(), "Could not load 'resources/Textures/World/planet_venus.tga'!\n"
                            "Could not load texture file 'resources/Textures/World/planet_venus.tga'! Please check "
                            "that file!\n");
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].title, "Game Error");
    for (int i = 0; i < kTextureCount; ++i) {
        SCOPED_TRACE(kTextureFiles[i]);
        EXPECT_EQ(textures[i].texID, 0u);
        EXPECT_EQ(textures[i].data, nullptr);
        if (i > TEXTURE_VENUS) {
            EXPECT_EQ(textures[i].width, 0u) << "never opened";
        }
    }
    EXPECT_EQ(textures[TEXTURE_FONT].width, 512u) << "read before the failure";
    EXPECT_FALSE(glIsTexture(1));
    GLuint next = 0;
    glGenTextures(1, &next);
    EXPECT_EQ(next, 1u) << "no texture name was generated";
    ASSERT_EQ(fontHandler.fonts.size(), 15u);
    EXPECT_EQ(fontHandler.fonts[14]->texture, 0u);
}

// Read ahead on a thread, the images upload as read in place, and a file that
// cannot be read is reported once, when the set is loaded, as it always is.
TEST_F(TextureSetTest, ImagesReadAheadAreTheSameAndTheirFailuresAreReportedWhenLoaded) {
    std::vector<std::uint8_t> rgb;
    for (int i = 0; i < 5 * 3; ++i) {
        rgb.insert(rgb.end(), {static_cast<std::uint8_t>(i * 10), static_cast<std::uint8_t>(200 - i), 7});
    }
    replace("resources/Textures/World/player_texture1.tga", encodeTga(rgb, 5, 3, 24, TgaKind::Uncompressed));
    readTexturesAhead();
    ASSERT_TRUE(loadTextures());
    std::vector<std::uint8_t> uploaded(rgb.size());
    glBindTexture(GL_TEXTURE_2D, textures[TEXTURE_PLAYER].texID);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, uploaded.data());
    Texture expected{};
    ASSERT_TRUE(ImageLoader().loadTGA(expected, kTextureFiles[TEXTURE_PLAYER]));
    EXPECT_EQ(std::memcmp(uploaded.data(), expected.data, uploaded.size()), 0);
    releaseTextureData(expected);
    EXPECT_EQ(folder.log(), "Loaded All Textures: OK\n");

    // The header of the earth's image, and none of its pixels.
    std::vector<std::uint8_t> cut = encodeTga(rgb, 5, 3, 24, TgaKind::Uncompressed);
    cut.resize(18);
    replace("resources/Textures/World/planet_earth.tga", cut);
    for (Texture& texture : textures) {
        texture = Texture{};
    }
    fontHandler.releaseAll();
    folder.clearLog();
    readTexturesAhead();
    EXPECT_FALSE(loadTextures());
    EXPECT_EQ(folder.log(), "Could not read TGA data! = 'resources/Textures/World/planet_earth.tga'!\n"
                            "Could not read TGA data!\nFile: 'resources/Textures/World/planet_earth.tga'!\n");
    EXPECT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(textures[TEXTURE_PLAYER].width, 5u) << "taken from the reading ahead";
    EXPECT_EQ(textures[TEXTURE_MERCURY].width, 0u) << "after the failure: not taken";
    for (Texture& texture : textures) {
        releaseTextureData(texture);
    }
}

}  // namespace
