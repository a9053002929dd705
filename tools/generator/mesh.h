#pragma once

// Triangle meshes and the 3DS files the game reads them from.

#include <cstdint>
#include <string>
#include <vector>

struct MeshVertex {
    float x, y, z;
    float u, v;
};

struct Mesh {
    std::string name;
    std::vector<MeshVertex> vertices;
    std::vector<std::uint16_t> indices;  // three per triangle, counter-clockwise seen from outside

    std::uint16_t add(float x, float y, float z);
    void triangle(std::uint16_t a, std::uint16_t b, std::uint16_t c);
    // A quad a b c d, counter-clockwise seen from outside.
    void quad(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d);
    std::size_t triangleCount() const { return indices.size() / 3; }

    // Texture coordinates from above: u across x, v along y, over the mesh's extent.
    void mapFromAbove();
};

// The chunk layout of a 3DS file with one mesh object: main, editor, object,
// triangle mesh with vertex, mapping and face lists. Also a version chunk, a
// mesh version chunk and a smoothing-group chunk inside the face list, which
// a reader must step over.
std::vector<std::uint8_t> encode3ds(const Mesh& mesh);

// Chunk writing, for files made by hand (tests, fuzz seeds).
class ChunkWriter {
public:
    void u8(std::uint8_t v) { bytes.push_back(v); }
    void u16(std::uint16_t v);
    void u32(std::uint32_t v);
    void f32(float v);
    void text(const std::string& s);  // with its zero
    // Opens a chunk; its length is filled in by close().
    void open(std::uint16_t id);
    void close();

    std::vector<std::uint8_t> bytes;

private:
    std::vector<std::size_t> open_;
};
