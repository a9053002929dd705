// Writes the game's whole `resources` tree: textures, models, hit sounds and
// demo songs, all made here from code. The same program always writes the
// same bytes.
//
//   redavave_assets <resources folder> [--font <file.ttf>] [--icons <folder>] [--report]
//
// --icons also writes the desktop icons, <folder>/<N>x<N>/apps/redavave.png.
// --report prints, for each song, how its pitch moves between the course's bands.

#include <cstdio>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "tools/generator/band_analysis.h"
#include "tools/generator/encoder.h"
#include "tools/generator/file_out.h"
#include "tools/generator/glyph_sheet.h"
#include "tools/generator/icon.h"
#include "tools/generator/mesh.h"
#include "tools/generator/models.h"
#include "tools/generator/songs.h"
#include "tools/generator/textures.h"
#include "tools/generator/tga_writer.h"

#ifndef REDAVAVE_GLYPH_FONT
#define REDAVAVE_GLYPH_FONT "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
#endif

namespace {

struct Job {
    const char* path;
    TgaKind kind;
};

bool fail(const std::string& what) {
    std::fprintf(stderr, "redavave_assets: %s\n", what.c_str());
    return false;
}

bool writeImage(const std::string& root, const char* path, const Image& image, TgaKind kind) {
    return writeTga(root + "/" + path, image, kind) || fail(std::string("cannot write ") + path);
}

bool writeTextures(const std::string& root, const std::string& fontPath) {
    Image glyphs(1, 1, true);
    std::string error;
    if (!paintGlyphSheet(fontPath, GlyphSheetLayout{}, glyphs, error)) {
        return fail(error);
    }
    // Both TGA types and both depths occur, as a player's own files may use either.
    return writeImage(root, "Textures/World/player_texture1.tga", paintHull(256), TgaKind::Uncompressed) &&
           writeImage(root, "Textures/World/car.tga", paintCar(128), TgaKind::RunLength) &&
           writeImage(root, "Textures/UI/Fonts/Impact_mono1.tga", glyphs, TgaKind::RunLength) &&
           writeImage(root, "Textures/World/planet_venus.tga", paintVenus(256, 128), TgaKind::Uncompressed) &&
           writeImage(root, "Textures/World/Particles/m_particle_bonus.tga", paintBonus(128), TgaKind::Uncompressed) &&
           writeImage(root, "Textures/World/Particles/m_particle_death.tga", paintSkull(128), TgaKind::RunLength) &&
           writeImage(root, "Textures/World/Particles/l_particle_sun.tga", paintSun(256), TgaKind::Uncompressed) &&
           writeImage(root, "Textures/World/planet_earth.tga", paintEarth(512, 256), TgaKind::RunLength) &&
           writeImage(root, "Textures/World/planet_mercury.tga", paintMercury(256, 128), TgaKind::Uncompressed) &&
           writeImage(root, "Textures/World/planet_moon.tga", paintMoon(256, 128), TgaKind::RunLength) &&
           writeImage(root, "Textures/UI/HUD/bar_background.tga", paintBar(256, 64), TgaKind::Uncompressed);
}

bool writeModels(const std::string& root) {
    return (writeFile(root + "/Models/space_craft.3ds", encode3ds(buildShip())) &&
            writeFile(root + "/Models/car.3ds", encode3ds(buildCar()))) ||
           fail("cannot write the models");
}

bool writeEffects(const std::string& root) {
    std::string error;
    for (const char* name : {"blockHit", "bonusHit", "SkullHit"}) {
        if (!encodeAudioFile(root + "/Sounds/" + name + ".mp3", renderEffect(name), error)) {
            return fail(error);
        }
    }
    return true;
}

// The window's own icon in the tree; the theme icons, when asked for, beside it.
bool writeIcons(const std::string& root, const std::string& themeFolder) {
    if (!writeFile(root + "/Icons/redavave.bmp", encodeBmp(paintIcon(64)))) {
        return fail("cannot write the window icon");
    }
    if (themeFolder.empty()) {
        return true;
    }
    for (int size : {32, 48, 64, 128, 256}) {
        const std::string name = std::to_string(size) + "x" + std::to_string(size);
        if (!writeFile(themeFolder + "/" + name + "/apps/redavave.png", encodePng(paintIcon(size)))) {
            return fail("cannot write the " + name + " icon");
        }
    }
    return true;
}

// Renders and encodes one song; the report line is left in `line`.
bool writeSong(const std::string& root, const SongInfo& song, bool report, std::string& line) {
    const StereoSamples samples = renderSong(song);
    std::string error;
    if (!encodeAudioFile(root + "/Music/" + song.file, samples, error)) {
        return fail(error);
    }
    if (report) {
        const BandReport r = analyseBands(samples.left, samples.sampleRate, 1.0 / 30.0);
        char text[256];
        std::snprintf(text, sizeof text,
                      "%-20s %5.1f s  low %4.1f%%  middle %4.1f%%  high %4.1f%%  changes/min %5.1f  longest %.2f s\n",
                      song.file.c_str(), r.seconds, r.share[0] * 100, r.share[1] * 100, r.share[2] * 100,
                      r.changes / (r.seconds / 60.0), r.longestStretch);
        line = text;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string root;
    std::string fontPath = REDAVAVE_GLYPH_FONT;
    std::string iconFolder;
    bool report = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--font") == 0 && i + 1 < argc) {
            fontPath = argv[++i];
        } else if (std::strcmp(argv[i], "--icons") == 0 && i + 1 < argc) {
            iconFolder = argv[++i];
        } else if (std::strcmp(argv[i], "--report") == 0) {
            report = true;
        } else {
            root = argv[i];
        }
    }
    if (root.empty()) {
        std::fprintf(stderr, "usage: redavave_assets <resources folder> [--font <file.ttf>] [--icons <folder>] [--report]\n");
        return 2;
    }
    // The songs take longest; each is made on a thread of its own while the
    // pictures and models are made here. Every file depends on its own inputs
    // alone, so the order of work does not change a byte.
    const std::vector<SongInfo>& songs = demoSongs();
    std::vector<std::string> lines(songs.size());
    std::vector<std::future<bool>> songJobs;
    for (std::size_t i = 0; i < songs.size(); ++i) {
        songJobs.push_back(std::async(std::launch::async, writeSong, std::cref(root), std::cref(songs[i]), report,
                                      std::ref(lines[i])));
    }
    bool ok = writeTextures(root, fontPath) && writeModels(root) && writeEffects(root) &&
              writeIcons(root, iconFolder);
    for (std::size_t i = 0; i < songJobs.size(); ++i) {
        ok = songJobs[i].get() && ok;
        std::fputs(lines[i].c_str(), stdout);
    }
    return ok ? 0 : 1;
}
