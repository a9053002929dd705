#include "render/texture_set.h"

#include <GL/gl.h>

#include <future>

#include "diag/ErrorHandler.h"
#include "image/ImageLoader.h"
#include "render/FontHandler.h"

static_assert(PIXELS_RGB == GL_RGB && PIXELS_RGBA == GL_RGBA, "pixel layouts are uploaded as they are");

Texture textures[kTextureCount];

const char* const kTextureFiles[kTextureCount] = {
    "resources/Textures/World/player_texture1.tga",
    "resources/Textures/World/car.tga",
    "resources/Textures/UI/Fonts/Impact_mono1.tga",
    "resources/Textures/World/planet_venus.tga",
    "resources/Textures/World/Particles/m_particle_bonus.tga",
    "resources/Textures/World/Particles/m_particle_death.tga",
    "resources/Textures/World/Particles/l_particle_sun.tga",
    "resources/Textures/World/planet_earth.tga",
    "resources/Textures/World/planet_mercury.tga",
    "resources/Textures/World/planet_moon.tga",
    "resources/Textures/UI/HUD/bar_background.tga",
};

namespace {

constexpr int kGameFonts = 15;

// Names are generated in index order, so that a fresh context hands out 1 to
// 11: the scene and the course bind 1, 5 and 6 by number.
void uploadAll() {
    GLint oldAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &oldAlignment);
    // Rows of a 24-bit image whose width is not a multiple of four are not
    // padded in our buffers; the default alignment would read past them.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (Texture& texture : textures) {
        glGenTextures(1, &texture.texID);
        glBindTexture(GL_TEXTURE_2D, texture.texID);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(texture.bpp / 8), static_cast<GLsizei>(texture.width),
                     static_cast<GLsizei>(texture.height), 0, texture.type, GL_UNSIGNED_BYTE, texture.data);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        releaseTextureData(texture);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, oldAlignment);
}

// The images read ahead, for loadTextures to take; what could not be read
// there is read again by loadTextures, which then reports it.
std::future<void> readingAhead;
Texture readAhead[kTextureCount] = {};
bool wasReadAhead[kTextureCount] = {};

}  // namespace

void readTexturesAhead() {
    if (readingAhead.valid()) {
        return;
    }
    readingAhead = std::async(std::launch::async, [] {
        ImageLoader loader;
        loader.quiet = true;
        for (int i = 0; i < kTextureCount; ++i) {
            wasReadAhead[i] = loader.loadTGA(readAhead[i], kTextureFiles[i]);
        }
    });
}

namespace {

// The image `index` as read ahead, else read now (with its failure reported).
bool readTexture(ImageLoader& loader, int index) {
    if (wasReadAhead[index]) {
        releaseTextureData(textures[index]);
        textures[index] = readAhead[index];
        readAhead[index].data = nullptr;
        wasReadAhead[index] = false;
        return true;
    }
    return loader.loadTGA(textures[index], kTextureFiles[index]);
}

}  // namespace

bool loadTextures() {
    if (readingAhead.valid()) {
        readingAhead.get();
    }
    ImageLoader loader;
    bool allLoaded = true;
    for (int i = 0; i < kTextureCount; ++i) {
        if (!readTexture(loader, i)) {
            allLoaded = false;
            break;
        }
    }
    // Whatever was read ahead and not taken is of no further use.
    for (int i = 0; i < kTextureCount; ++i) {
        releaseTextureData(readAhead[i]);
        wasReadAhead[i] = false;
    }
    if (allLoaded) {
        uploadAll();
    } else {
        // Nothing is uploaded after a failure, so the images read before it are of no further use.
        for (Texture& texture : textures) {
            releaseTextureData(texture);
        }
    }
    // The fonts are built even without textures: the game must still be able to print.
    for (int i = 0; i < kGameFonts; ++i) {
        fontHandler.loadFont(textures[TEXTURE_FONT].texID, kFontCell);
    }
    if (allLoaded) {
        errorHandler.log("Loaded All Textures: OK");
    }
    return allLoaded;
}
