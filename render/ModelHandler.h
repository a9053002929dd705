#pragma once

// Meshes read from a subset of the 3DS chunk format into fixed-capacity
// records, and drawn as textured triangles.

#include <cstddef>
#include <cstdint>
#include <cstdio>

inline constexpr int kModelCapacity = 8000;

struct Model {
    char name[20];  // zero-terminated only when shorter than 20 bytes
    std::int32_t vertexCount;
    std::int32_t faceCount;
    struct Vertex {
        float x, y, z;
    } vertices[kModelCapacity];
    struct Face {
        std::uint32_t a, b, c;
    } faces[kModelCapacity];
    struct MapCoord {
        float u, v;
    } mapping[kModelCapacity];
};

// Chunk ids of the subset that is read.
inline constexpr std::uint16_t CHUNK_MAIN = 0x4D4D;
inline constexpr std::uint16_t CHUNK_EDITOR = 0x3D3D;
inline constexpr std::uint16_t CHUNK_OBJECT = 0x4000;
inline constexpr std::uint16_t CHUNK_TRIMESH = 0x4100;
inline constexpr std::uint16_t CHUNK_VERTICES = 0x4110;
inline constexpr std::uint16_t CHUNK_FACES = 0x4120;
inline constexpr std::uint16_t CHUNK_MAPPING = 0x4140;

class ModelHandler {
public:
    ModelHandler() {}
    virtual ~ModelHandler() {}

    // Reads the 3DS file `path` into `model`, tracing every value on standard
    // output. False when the file cannot be opened (the model is then untouched).
    bool load(Model& model, const char* path);
    // Reads a 3DS image held in memory. `name` only names it in the log;
    // `trace` receives the trace (null: none).
    bool load(Model& model, const std::uint8_t* data, std::size_t size, const char* name, std::FILE* trace);

    // Emits the model's triangles between glBegin and glEnd. A triangle that
    // names a vertex beyond the vertex list is left out.
    void draw(const Model& model);
};

extern ModelHandler modelHandler;
extern Model shipModel;
extern Model carModel;
