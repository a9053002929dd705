// The 3DS reader on hand-made chunk files: the subset it reads, the trace, the
// chunks it steps over, and the safe ends of malformed files.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "diag/ErrorHandler.h"
#include "render/ModelHandler.h"
#include "tests/render/model_fixtures.h"
#include "tests/render/test_support.h"

namespace {

using testsupport::File3ds;

class ModelReaderTest : public ::testing::Test {
protected:
    void SetUp() override { model = std::make_unique<Model>(); }

    // Loads the bytes, keeping the trace (in a file of the scratch folder:
    // not every C library writes streams to memory).
    void load(const std::vector<std::uint8_t>& bytes) {
        std::FILE* trace = std::fopen("trace.txt", "wb");
        ASSERT_NE(trace, nullptr);
        const bool loaded = modelHandler.load(*model, bytes.data(), bytes.size(), "fixture.3ds", trace);
        std::fclose(trace);
        ASSERT_TRUE(loaded);
        traced = testsupport::readFile("trace.txt");
    }

    // The header chunks down to an open triangle mesh of an object.
    static File3ds meshFile(const char* name = "Mesh") {
        File3ds f;
        f.begin(CHUNK_MAIN).begin(CHUNK_EDITOR).begin(CHUNK_OBJECT).text(name);
        f.begin(CHUNK_TRIMESH);
        return f;
    }

    testsupport::ScratchFolder folder;
    std::unique_ptr<Model> model;
    std::string traced;
};

TEST_F(ModelReaderTest, ReadsTheSubsetAndTracesEveryValue) {
    File3ds f = meshFile("Box");
    f.vertices(3).faces({0, 1, 2}).mapping(3).closeAll();
    load(f.bytes);
    EXPECT_STREQ(model->name, "Box");
    EXPECT_EQ(model->vertexCount, 3);
    EXPECT_EQ(model->faceCount, 1);
    EXPECT_FLOAT_EQ(model->vertices[2].y, 2.5f);
    EXPECT_EQ(model->faces[0].c, 2u);
    EXPECT_FLOAT_EQ(model->mapping[1].u, 0.25f);
    EXPECT_FLOAT_EQ(model->mapping[1].v, 0.75f);
    EXPECT_EQ(traced,
              "ChunkID: 4d4d\nChunkLenght: 78\n"
              "ChunkID: 3d3d\nChunkLenght: 72\n"
              "ChunkID: 4000\nChunkLenght: 6c\n"
              "ChunkID: 4100\nChunkLenght: 62\n"
              "ChunkID: 4110\nChunkLenght: 2c\nNumber of vertices: 3\n"
              "Vertices list x: 0.000000\nVertices list y: 0.500000\nVertices list z: 0.000000\n"
              "Vertices list x: 1.000000\nVertices list y: 1.500000\nVertices list z: -1.000000\n"
              "Vertices list x: 2.000000\nVertices list y: 2.500000\nVertices list z: -2.000000\n"
              "ChunkID: 4120\nChunkLenght: 10\nNumber of polygons: 1\n"
              "Polygon point a: 0\nPolygon point b: 1\nPolygon point c: 2\nFace flags: 7\n"
              "ChunkID: 4140\nChunkLenght: 20\n"
              "Mapping list u: 0.000000\nMapping list v: 1.000000\n"
              "Mapping list u: 0.250000\nMapping list v: 0.750000\n"
              "Mapping list u: 0.500000\nMapping list v: 0.500000\n");
    EXPECT_EQ(folder.log(), "");
}

TEST_F(ModelReaderTest, StepsOverOtherChunksAndTheSubChunksOfTheFaceList) {
    File3ds f;
    f.begin(CHUNK_MAIN).header(0x0002, 6);  // header only: skipping moves 0 bytes
    f.begin(0xAFFF).text("material").u32(12345);
    f.end();
    f.begin(CHUNK_EDITOR).begin(CHUNK_OBJECT).text("Mesh").begin(CHUNK_TRIMESH).vertices(4);
    f.openFaces(testsupport::fan(2));
    f.begin(0x4130).text("material").u16(2).u16(0).u16(1).end();  // material group
    f.begin(0x4150).u32(1).u32(1).end();                           // smoothing groups
    f.end();
    f.mapping(4).closeAll();
    load(f.bytes);
    EXPECT_EQ(model->vertexCount, 4);
    EXPECT_EQ(model->faceCount, 2);
    EXPECT_EQ(model->faces[1].c, 3u);
    EXPECT_FLOAT_EQ(model->mapping[3].u, 0.75f) << "the mapping after the face list's sub-chunks is read";
    EXPECT_NE(traced.find("ChunkID: 4130\nChunkLenght: 15\nChunkID: 4150\n"), std::string::npos) << traced;
    EXPECT_EQ(folder.log(), "");
}

TEST_F(ModelReaderTest, NamesAreCutAtTwentyBytes) {
    File3ds nineteen = meshFile("ABCDEFGHIJKLMNOPQRS");
    nineteen.vertices(2).closeAll();
    load(nineteen.bytes);
    EXPECT_EQ(std::string(model->name, 20), std::string("ABCDEFGHIJKLMNOPQRS\0", 20));
    EXPECT_EQ(model->vertexCount, 2);

    // Twenty bytes without a zero: the next header starts right after them.
    File3ds twenty;
    twenty.begin(CHUNK_MAIN).begin(CHUNK_EDITOR).begin(CHUNK_OBJECT);
    for (const char c : std::string("abcdefghijklmnopqrst")) {
        twenty.u8(static_cast<std::uint8_t>(c));
    }
    twenty.begin(CHUNK_TRIMESH).vertices(5).closeAll();
    load(twenty.bytes);
    EXPECT_EQ(std::string(model->name, 20), "abcdefghijklmnopqrst");
    EXPECT_EQ(model->vertexCount, 5);
}

TEST_F(ModelReaderTest, ListsOfExactlyTheCapacityFillTheRecord) {
    File3ds f = meshFile();
    std::vector<std::uint16_t> corners(3 * kModelCapacity, 0);
    corners.back() = kModelCapacity - 1;
    f.vertices(kModelCapacity).faces(corners).mapping(kModelCapacity).closeAll();
    load(f.bytes);
    EXPECT_EQ(model->vertexCount, kModelCapacity);
    EXPECT_EQ(model->faceCount, kModelCapacity);
    EXPECT_FLOAT_EQ(model->vertices[kModelCapacity - 1].x, kModelCapacity - 1.0f);
    EXPECT_EQ(model->faces[kModelCapacity - 1].c, kModelCapacity - 1u);
    EXPECT_FLOAT_EQ(model->mapping[kModelCapacity - 1].u, 0.25f * (kModelCapacity - 1));
    EXPECT_EQ(folder.log(), "");
}

TEST_F(ModelReaderTest, LongerListsStopAtTheCapacityAndReadingGoesOn) {
    File3ds f = meshFile();
    f.vertices(kModelCapacity + 3).mapping(kModelCapacity + 1).faces(testsupport::fan(kModelCapacity + 2));
    f.closeAll();
    load(f.bytes);
    EXPECT_EQ(model->vertexCount, kModelCapacity);
    EXPECT_EQ(model->faceCount, kModelCapacity);
    EXPECT_FLOAT_EQ(model->mapping[kModelCapacity - 1].u, 0.25f * (kModelCapacity - 1));
    EXPECT_NE(traced.find("Number of vertices: 8003\n"), std::string::npos);
    EXPECT_NE(folder.log().find("Model 'fixture.3ds': vertex list of 8003 entries holds more than 8000; the rest is "
                                "skipped!"),
              std::string::npos)
        << folder.log();
    EXPECT_NE(folder.log().find("face list of 8002 entries"), std::string::npos);
    EXPECT_NE(folder.log().find("mapping list of 8001 entries"), std::string::npos);
}

struct Malformed {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int vertexCount;
    int faceCount;
    const char* logLine;
};

TEST_F(ModelReaderTest, MalformedFilesEndSafelyWithALogLine) {
    auto build = [](const std::function<void(File3ds&)>& body) {
        File3ds f = meshFile();
        body(f);
        f.closeAll();
        return f.bytes;
    };
    const Malformed cases[] = {
        {"a face names a vertex beyond the list", build([](File3ds& f) { f.vertices(3).faces({0, 1, 5}); }), 3, 1,
         "Model 'fixture.3ds': 1 triangles name vertices beyond the 3 of its list and are not drawn!"},
        {"a chunk of length 0", build([](File3ds& f) { f.vertices(3).header(0x1234, 0).vertices(5); }), 3, 0,
         "Model 'fixture.3ds': chunk 1234 claims a length of 0; the rest of the file is ignored!"},
        {"a chunk of length 5", build([](File3ds& f) { f.header(0xAAAA, 5).vertices(5); }), 0, 0,
         "Model 'fixture.3ds': chunk aaaa claims a length of 5; the rest of the file is ignored!"},
        {"the file ends inside a vertex list",
         build([](File3ds& f) {
             f.vertices(10, 10);
             f.bytes.resize(f.bytes.size() - 6 * 12 + 4);  // four whole vertices and a bit of the fifth
         }),
         4, 0, "Model 'fixture.3ds': the file ends inside a vertex list; the rest is missing!"},
        {"the file ends inside a face list",
         build([](File3ds& f) {
             f.vertices(4).faces(testsupport::fan(2));
             f.bytes.resize(f.bytes.size() - 3);
         }),
         4, 1, "Model 'fixture.3ds': the file ends inside a face list; the rest is missing!"},
        {"the file ends inside a name",
         [] {
             File3ds f;
             f.begin(CHUNK_MAIN).begin(CHUNK_OBJECT).u8('a').u8('b');
             f.closeAll();
             return f.bytes;
         }(),
         0, 0, "Model 'fixture.3ds': the file ends inside an object name; the rest is missing!"},
        {"a chunk longer than the file", build([](File3ds& f) { f.vertices(2).header(0x7777, 1000).u32(0); }), 2, 0,
         "Model 'fixture.3ds': the file ends inside a chunk; the rest is missing!"},
        {"a header cut short", build([](File3ds& f) { f.vertices(2).u16(CHUNK_VERTICES).u8(9); }), 2, 0,
         "Model 'fixture.3ds': the file ends inside a chunk header; the rest is missing!"},
    };
    for (const Malformed& c : cases) {
        SCOPED_TRACE(c.name);
        folder.clearLog();
        model = std::make_unique<Model>();
        load(c.bytes);
        EXPECT_EQ(model->vertexCount, c.vertexCount);
        EXPECT_EQ(model->faceCount, c.faceCount);
        EXPECT_EQ(folder.log(), std::string(c.logLine) + "\n");
    }
}

TEST_F(ModelReaderTest, TheLastObjectsListsWinAndLongerOldEntriesStay) {
    File3ds f;
    f.begin(CHUNK_MAIN).begin(CHUNK_EDITOR);
    f.begin(CHUNK_OBJECT).text("First").begin(CHUNK_TRIMESH).vertices(4).faces(testsupport::fan(2)).end().end();
    f.begin(CHUNK_OBJECT).text("Second").begin(CHUNK_TRIMESH).vertices(2).end().end();
    f.closeAll();
    load(f.bytes);
    EXPECT_STREQ(model->name, "Second");
    EXPECT_EQ(model->vertexCount, 2);
    EXPECT_FLOAT_EQ(model->vertices[3].x, 3.0f) << "written by the first object's longer list";
    EXPECT_EQ(model->faceCount, 2);
    EXPECT_NE(folder.log().find("2 triangles name vertices beyond the 2 of its list"), std::string::npos);
}

TEST_F(ModelReaderTest, EmptyAndMissingFiles) {
    const std::vector<std::uint8_t> empty;
    load(empty);
    EXPECT_EQ(traced, "");
    EXPECT_EQ(model->faceCount, 0);

    model->vertexCount = 77;
    std::FILE* emptyFile = std::fopen("empty.3ds", "wb");
    std::fclose(emptyFile);
    EXPECT_TRUE(modelHandler.load(*model, "empty.3ds"));
    EXPECT_FALSE(modelHandler.load(*model, "resources/Models/none.3ds"));
    EXPECT_EQ(model->vertexCount, 77) << "a file that cannot be opened leaves the model alone";
    EXPECT_EQ(folder.log(), "Could not open model 'resources/Models/none.3ds'!\n");
}

#ifndef _WIN32
// Standard output as a file, a pipe and a terminal: the trace of a model file
// goes to the first two, whole, and never to a terminal.
TEST_F(ModelReaderTest, TheTraceGoesToStandardOutputUnlessThatIsATerminal) {
    File3ds f = meshFile("Box");
    f.vertices(3).faces({0, 1, 2}).mapping(3).closeAll();
    load(f.bytes);
    {
        std::FILE* file = std::fopen("box.3ds", "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(f.bytes.data(), 1, f.bytes.size(), file);
        std::fclose(file);
    }
    // Loads the file with standard output sent to the descriptor given.
    auto loadWithStandardOutput = [this](int descriptor) {
        std::fflush(stdout);
        const int saved = dup(STDOUT_FILENO);
        dup2(descriptor, STDOUT_FILENO);
        const bool loaded = modelHandler.load(*model, "box.3ds");
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
        return loaded;
    };
    // What a descriptor holds after the load (nothing within a moment: empty).
    auto readAll = [](int descriptor) {
        std::string text;
        char buffer[4096];
        pollfd ready{descriptor, POLLIN, 0};
        while (poll(&ready, 1, 200) == 1 && (ready.revents & POLLIN) != 0) {
            const ssize_t got = read(descriptor, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            text.append(buffer, static_cast<std::size_t>(got));
        }
        return text;
    };
    ASSERT_FALSE(traced.empty());

    const int file = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(file, 0);
    EXPECT_TRUE(loadWithStandardOutput(file));
    close(file);
    EXPECT_EQ(testsupport::readFile("stdout.txt"), traced);

    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_TRUE(loadWithStandardOutput(pipeEnds[1]));
    close(pipeEnds[1]);
    EXPECT_EQ(readAll(pipeEnds[0]), traced);
    close(pipeEnds[0]);

    const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
    if (terminal < 0 || grantpt(terminal) != 0 || unlockpt(terminal) != 0) {
        GTEST_SKIP() << "no pseudo-terminal here";
    }
    const int screen = open(ptsname(terminal), O_WRONLY | O_NOCTTY);
    ASSERT_GE(screen, 0);
    EXPECT_TRUE(loadWithStandardOutput(screen));
    close(screen);
    EXPECT_EQ(readAll(terminal), "");
    EXPECT_EQ(model->faceCount, 1) << "the model is read all the same";
    close(terminal);
}
#endif

}  // namespace

namespace {

TEST_F(ModelReaderTest, FuzzRegressionsEndWithCountsDrawingCanTrust) {
    int replayed = 0;
    for (const auto& entry : std::filesystem::directory_iterator(REDAVAVE_SOURCE_DIR "/fuzz/regressions/3ds")) {
        SCOPED_TRACE(entry.path().filename().string());
        model = std::make_unique<Model>();
        load(testsupport::readBytes(entry.path().string()));
        EXPECT_GE(model->vertexCount, 0);
        EXPECT_LE(model->vertexCount, kModelCapacity);
        EXPECT_GE(model->faceCount, 0);
        EXPECT_LE(model->faceCount, kModelCapacity);
        ++replayed;
    }
    EXPECT_GT(replayed, 0);
}

}  // namespace
