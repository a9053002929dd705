// The resources tree the build generates: every file the game opens, readable
// without a single error line, pictures of the right kinds, closed models, and
// songs that move the course through all three lanes as the game hears them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "audio/engine/sound.h"
#include "audio/engine/testing.h"
#include "diag/ErrorHandler.h"
#include "image/ImageLoader.h"
#include "render/ModelHandler.h"
#include "render/texture_set.h"
#include "tests/render/test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kRun = REDAVAVE_RUN_DIR;
const std::string kTree = kRun + "/resources";

std::set<std::string> filesBelow(const std::string& root) {
    std::set<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files.insert(fs::relative(entry.path(), root).generic_string());
        }
    }
    return files;
}

class GeneratedAssetsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kTree)) << "build the 'resources' target first";
        errorHandler.open("log.txt", true);
        folder.clearLog();
    }

    testsupport::ScratchFolder folder;
    testsupport::BoxRecorder boxes;
};

TEST_F(GeneratedAssetsTest, TheTreeHoldsEveryFileTheGameOpens) {
    const std::set<std::string> files = filesBelow(kTree);
    for (const char* texture : kTextureFiles) {
        EXPECT_EQ(files.count(std::string(texture).substr(std::string("resources/").size())), 1u) << texture;
    }
    for (const char* other : {"Models/space_craft.3ds", "Models/car.3ds", "Sounds/blockHit.mp3", "Sounds/bonusHit.mp3",
                              "Sounds/SkullHit.mp3"}) {
        EXPECT_EQ(files.count(other), 1u) << other;
    }
    std::set<std::string> formats;
    int songs = 0;
    for (const std::string& file : files) {
        if (file.rfind("Music/", 0) == 0) {
            formats.insert(fs::path(file).extension().string());
            ++songs;
        }
    }
    EXPECT_GE(songs, 3);
    EXPECT_GE(formats.size(), 3u);
    for (const std::string& format : formats) {
        EXPECT_TRUE(format == ".mp3" || format == ".mp2" || format == ".ogg" || format == ".flac" || format == ".wma")
            << format;
    }
}

TEST_F(GeneratedAssetsTest, PicturesLoadSilentlyInBothTypesAndDepths) {
    ImageLoader loader;
    std::set<std::pair<int, int>> kinds;
    for (const char* file : kTextureFiles) {
        SCOPED_TRACE(file);
        const std::string path = kRun + "/" + file;
        const std::vector<std::uint8_t> bytes = testsupport::readBytes(path);
        ASSERT_GT(bytes.size(), 18u);
        kinds.insert({bytes[2], bytes[16]});
        Texture texture{};
        ASSERT_TRUE(loader.loadTGA(texture, path.c_str()));
        EXPECT_EQ(texture.width & (texture.width - 1), 0u) << "a power of two for OpenGL 1.1";
        EXPECT_EQ(texture.height & (texture.height - 1), 0u);
        releaseTextureData(texture);
    }
    EXPECT_EQ(kinds, (std::set<std::pair<int, int>>{{2, 24}, {2, 32}, {10, 24}, {10, 32}}));
    EXPECT_EQ(folder.log(), "");
    EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(GeneratedAssetsTest, GlyphSheetHasWhiteGlyphsInsideTheirCells) {
    ImageLoader loader;
    Texture sheet{};
    ASSERT_TRUE(loader.loadTGA(sheet, (kRun + "/" + kTextureFiles[TEXTURE_FONT]).c_str()));
    ASSERT_EQ(sheet.width, 512u);
    ASSERT_EQ(sheet.height, 512u);
    ASSERT_EQ(sheet.bpp, 32u);
    // Rows are in file order, the bottom row first; cells count from the top.
    auto texel = [&](int x, int yFromTop) { return &sheet.data[((511 - yFromTop) * 512 + x) * 4]; };
    std::map<int, int> ink;  // character code -> covered texels
    for (int y = 0; y < 512; ++y) {
        for (int x = 0; x < 512; ++x) {
            const std::uint8_t* p = texel(x, y);
            if (p[3] == 0) {
                continue;
            }
            ASSERT_TRUE(p[0] == 255 && p[1] == 255 && p[2] == 255) << "glyphs are white, at " << x << "," << y;
            ASSERT_TRUE(x < 500 && y < 500) << "nothing outside the 10 x 10 grid";
            const int cx = x % 50, cy = y % 50;
            ASSERT_TRUE(cx >= 2 && cx < 48 && cy >= 2 && cy < 48) << "two texels clear of every cell edge";
            ++ink[32 + (y / 50) * 10 + x / 50];
        }
    }
    for (int code = 33; code <= 131; ++code) {
        const bool blank = code == 129;  // unassigned in the code page
        EXPECT_EQ(ink[code] == 0, blank) << "code " << code;
    }
    EXPECT_EQ(ink[32], 0) << "the space is empty";
    EXPECT_GT(ink['W'], ink['.'] * 2);
    releaseTextureData(sheet);
}

TEST_F(GeneratedAssetsTest, ModelsAreClosedTexturedMeshesThatLoadSilently) {
    for (const char* file : {"Models/space_craft.3ds", "Models/car.3ds"}) {
        SCOPED_TRACE(file);
        auto model = std::make_unique<Model>();
        const std::vector<std::uint8_t> bytes = testsupport::readBytes(kTree + "/" + file);
        ASSERT_TRUE(modelHandler.load(*model, bytes.data(), bytes.size(), file, nullptr));
        EXPECT_GT(std::strlen(model->name), 0u);
        EXPECT_GE(model->faceCount, 150);
        EXPECT_LE(model->faceCount, 1000);
        // Every directed edge is met once, and its reverse once: closed, and
        // all faces wound the same way (the game culls back faces).
        std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
        double volume = 0;
        for (int i = 0; i < model->faceCount; ++i) {
            const Model::Face& f = model->faces[i];
            ASSERT_LT(std::max({f.a, f.b, f.c}), static_cast<std::uint32_t>(model->vertexCount));
            ++edges[{f.a, f.b}];
            ++edges[{f.b, f.c}];
            ++edges[{f.c, f.a}];
            const Model::Vertex &a = model->vertices[f.a], &b = model->vertices[f.b], &c = model->vertices[f.c];
            volume += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
        }
        for (const auto& [edge, count] : edges) {
            ASSERT_EQ(count, 1) << edge.first << "-" << edge.second;
            ASSERT_EQ(edges.count({edge.second, edge.first}), 1u) << edge.first << "-" << edge.second;
        }
        EXPECT_GT(volume, 0) << "faces wound counter-clockwise seen from outside";
        for (int i = 0; i < model->vertexCount; ++i) {
            ASSERT_TRUE(model->mapping[i].u >= 0 && model->mapping[i].u <= 1 && model->mapping[i].v >= 0 &&
                        model->mapping[i].v <= 1);
        }
    }
    EXPECT_EQ(folder.log(), "");
}

// A sound system on the engine's offline output, which advances only when rendered.
snd::System* offlineSystem() {
    snd::System* system = nullptr;
    snd::testing::useOfflineOutput(true);
    EXPECT_EQ(snd::createSystem(&system), snd::OK);
    EXPECT_EQ(system->init(4, 0, nullptr), snd::OK);
    snd::testing::useOfflineOutput(false);
    return system;
}

// Plays a file on the engine's offline output and reads its spectrum the way
// the course does, once per game frame.
struct CourseReplay {
    double seconds = 0;
    int frames = 0;
    int inBand[3] = {0, 0, 0};
    int silentFrames = 0;  // no bin above 0.01: the course keeps the last band
    int changes = 0;
    double longestStretch = 0;
};

CourseReplay replay(const std::string& path) {
    CourseReplay r;
    snd::System* system = offlineSystem();
    snd::Sound* sound = nullptr;
    snd::Channel* channel = nullptr;
    EXPECT_EQ(system->createStream(path.c_str(), 0, nullptr, &sound), snd::OK) << path;
    EXPECT_EQ(system->playSound(snd::CHANNEL_FREE, sound, false, &channel), snd::OK);
    constexpr int kFrame = snd::kMixRate / 30;
    std::vector<float> spectrum(8192);
    int peakBin = 0, band = -1, stretchFrames = 0;
    bool playing = true;
    while (channel != nullptr && channel->isPlaying(&playing) == snd::OK && playing && r.seconds < 200) {
        snd::testing::render(kFrame);
        r.seconds += 1.0 / 30;
        channel->getSpectrum(spectrum.data(), 8192, 0, snd::WINDOW_TRIANGLE);
        float peakValue = 0;
        bool found = false;
        for (int i = 0; i < 8192; ++i) {
            if (spectrum[i] > 0.01f && spectrum[i] > peakValue) {
                peakValue = spectrum[i];
                peakBin = i;
                found = true;
            }
        }
        r.silentFrames += found ? 0 : 1;
        const double hz = peakBin * 2.9296875;
        const int now = hz < 50 ? 0 : (hz <= 200 ? 1 : 2);
        ++r.inBand[now];
        ++r.frames;
        stretchFrames = now == band ? stretchFrames + 1 : 1;
        r.changes += (band >= 0 && now != band) ? 1 : 0;
        r.longestStretch = std::max(r.longestStretch, stretchFrames / 30.0);
        band = now;
    }
    system->release();
    return r;
}

TEST_F(GeneratedAssetsTest, SongsMoveTheCourseThroughAllThreeLanes) {
    for (const std::string& file : filesBelow(kTree + "/Music")) {
        SCOPED_TRACE(file);
        const CourseReplay r = replay(kTree + "/Music/" + file);
        std::printf("%-20s %5.1f s  low %4.1f%%  middle %4.1f%%  high %4.1f%%  changes/min %5.1f  longest %.2f s\n",
                    file.c_str(), r.seconds, 100.0 * r.inBand[0] / r.frames, 100.0 * r.inBand[1] / r.frames,
                    100.0 * r.inBand[2] / r.frames, r.changes / (r.seconds / 60), r.longestStretch);
        EXPECT_GE(r.seconds, 60.0);
        EXPECT_LE(r.seconds, 120.0);
        for (int b = 0; b < 3; ++b) {
            EXPECT_GT(r.inBand[b], r.frames * 15 / 100) << "band " << b;
        }
        EXPECT_GT(r.changes / (r.seconds / 60), 60.0) << "a band comes back about every second or sooner";
        EXPECT_LT(r.longestStretch, 4.0);
        EXPECT_LT(r.silentFrames, r.frames / 20) << "loud enough for the course to hear";
    }
}

TEST_F(GeneratedAssetsTest, HitSoundsAreShortAndDistinct) {
    std::set<int> peaks;
    for (const char* name : {"blockHit", "bonusHit", "SkullHit"}) {
        SCOPED_TRACE(name);
        snd::System* system = offlineSystem();
        snd::Sound* sound = nullptr;
        ASSERT_EQ(system->createSound((kTree + "/Sounds/" + name + ".mp3").c_str(), 0, nullptr, &sound), snd::OK);
        unsigned length = 0;
        ASSERT_EQ(sound->getLength(&length, snd::TIMEUNIT_MS), snd::OK);
        EXPECT_GT(length, 100u);
        EXPECT_LT(length, 1500u);
        snd::Channel* channel = nullptr;
        ASSERT_EQ(system->playSound(snd::CHANNEL_FREE, sound, false, &channel), snd::OK);
        snd::testing::render(snd::kMixRate / 10);
        std::vector<float> spectrum(4096);
        channel->getSpectrum(spectrum.data(), 4096, 0, snd::WINDOW_TRIANGLE);
        const auto loudest = std::max_element(spectrum.begin(), spectrum.end());
        EXPECT_GT(*loudest, 0.02f) << "audible";
        peaks.insert(static_cast<int>(loudest - spectrum.begin()) / 8);  // 47 Hz wide buckets
        system->release();
    }
    EXPECT_EQ(peaks.size(), 3u) << "three different sounds";
}

TEST_F(GeneratedAssetsTest, GeneratingAgainWritesTheSameBytes) {
#ifdef _WIN32
    GTEST_SKIP() << "the generator runs on the build machine: a Windows build takes its tree and has no generator";
#endif
    const std::string again = folder.path() + "/again";
    const std::string command = std::string("\"") + REDAVAVE_BINARY_DIR + "/tools/redavave_assets\" \"" + again + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::set<std::string> files = filesBelow(kTree);
    ASSERT_EQ(filesBelow(again), files);
    for (const std::string& file : files) {
        EXPECT_TRUE(testsupport::readBytes(kTree + "/" + file) == testsupport::readBytes(again + "/" + file)) << file;
    }
}

}  // namespace
