#pragma once

// 3DS files written chunk by chunk, for the model tests and the fuzz seeds.

#include <cstdint>
#include <vector>

#include "render/ModelHandler.h"
#include "tools/generator/mesh.h"

namespace testsupport {

struct File3ds : ChunkWriter {
    File3ds& begin(std::uint16_t id) {
        open(id);
        ++depth;
        return *this;
    }
    File3ds& end() {
        close();
        --depth;
        return *this;
    }
    void closeAll() {
        while (depth > 0) {
            end();
        }
    }
    File3ds& u8(std::uint8_t v) {
        ChunkWriter::u8(v);
        return *this;
    }
    File3ds& u16(std::uint16_t v) {
        ChunkWriter::u16(v);
        return *this;
    }
    File3ds& u32(std::uint32_t v) {
        ChunkWriter::u32(v);
        return *this;
    }
    File3ds& text(const char* s) {
        ChunkWriter::text(s);
        return *this;
    }
    // Vertex i is (i, i + 0.5, -i); `declared` overrides the count in the file.
    File3ds& vertices(int count, int declared = -1) {
        begin(CHUNK_VERTICES).u16(static_cast<std::uint16_t>(declared < 0 ? count : declared));
        for (int i = 0; i < count; ++i) {
            f32(static_cast<float>(i));
            f32(static_cast<float>(i) + 0.5f);
            f32(static_cast<float>(-i));
        }
        return end();
    }
    // A face list left open, so that sub-chunks can follow.
    File3ds& openFaces(const std::vector<std::uint16_t>& corners) {
        begin(CHUNK_FACES).u16(static_cast<std::uint16_t>(corners.size() / 3));
        for (std::size_t i = 0; i < corners.size(); i += 3) {
            u16(corners[i]).u16(corners[i + 1]).u16(corners[i + 2]).u16(7);
        }
        return *this;
    }
    File3ds& faces(const std::vector<std::uint16_t>& corners) { return openFaces(corners).end(); }
    // Pair i is (i / 4, 1 - i / 4).
    File3ds& mapping(int count) {
        begin(CHUNK_MAPPING).u16(static_cast<std::uint16_t>(count));
        for (int i = 0; i < count; ++i) {
            f32(0.25f * static_cast<float>(i));
            f32(1.0f - 0.25f * static_cast<float>(i));
        }
        return end();
    }
    // A bare chunk header with any length, for malformed files.
    File3ds& header(std::uint16_t id, std::uint32_t length) { return u16(id).u32(length); }

    int depth = 0;
};

// Triangles (0, i + 1, i + 2).
inline std::vector<std::uint16_t> fan(int triangles) {
    std::vector<std::uint16_t> corners;
    for (int i = 0; i < triangles; ++i) {
        corners.insert(corners.end(), {0, static_cast<std::uint16_t>(i + 1), static_cast<std::uint16_t>(i + 2)});
    }
    return corners;
}

}  // namespace testsupport
