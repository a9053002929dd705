#include "tools/generator/mesh.h"

#include <algorithm>
#include <cstring>

std::uint16_t Mesh::add(float x, float y, float z) {
    vertices.push_back({x, y, z, 0, 0});
    return static_cast<std::uint16_t>(vertices.size() - 1);
}

void Mesh::triangle(std::uint16_t a, std::uint16_t b, std::uint16_t c) {
    indices.insert(indices.end(), {a, b, c});
}

void Mesh::quad(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d) {
    triangle(a, b, c);
    triangle(a, c, d);
}

void Mesh::mapFromAbove() {
    float minX = 1e30f, maxX = -1e30f, minY = 1e30f, maxY = -1e30f;
    for (const MeshVertex& v : vertices) {
        minX = std::min(minX, v.x);
        maxX = std::max(maxX, v.x);
        minY = std::min(minY, v.y);
        maxY = std::max(maxY, v.y);
    }
    for (MeshVertex& v : vertices) {
        v.u = (v.x - minX) / (maxX - minX);
        v.v = (v.y - minY) / (maxY - minY);
    }
}

void ChunkWriter::u16(std::uint16_t v) {
    u8(static_cast<std::uint8_t>(v & 0xFF));
    u8(static_cast<std::uint8_t>(v >> 8));
}

void ChunkWriter::u32(std::uint32_t v) {
    u16(static_cast<std::uint16_t>(v & 0xFFFF));
    u16(static_cast<std::uint16_t>(v >> 16));
}

void ChunkWriter::f32(float v) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    u32(bits);
}

void ChunkWriter::text(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    u8(0);
}

void ChunkWriter::open(std::uint16_t id) {
    open_.push_back(bytes.size());
    u16(id);
    u32(0);
}

void ChunkWriter::close() {
    const std::size_t start = open_.back();
    open_.pop_back();
    const auto length = static_cast<std::uint32_t>(bytes.size() - start);
    for (int i = 0; i < 4; ++i) {
        bytes[start + 2 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    }
}

std::vector<std::uint8_t> encode3ds(const Mesh& mesh) {
    ChunkWriter w;
    w.open(0x4D4D);
    w.open(0x0002);  // file version
    w.u32(3);
    w.close();
    w.open(0x3D3D);
    w.open(0x3D3E);  // mesh version
    w.u32(3);
    w.close();
    w.open(0x4000);
    w.text(mesh.name);
    w.open(0x4100);
    w.open(0x4110);
    w.u16(static_cast<std::uint16_t>(mesh.vertices.size()));
    for (const MeshVertex& v : mesh.vertices) {
        w.f32(v.x);
        w.f32(v.y);
        w.f32(v.z);
    }
    w.close();
    w.open(0x4140);
    w.u16(static_cast<std::uint16_t>(mesh.vertices.size()));
    for (const MeshVertex& v : mesh.vertices) {
        w.f32(v.u);
        w.f32(v.v);
    }
    w.close();
    w.open(0x4120);
    w.u16(static_cast<std::uint16_t>(mesh.triangleCount()));
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        w.u16(mesh.indices[i]);
        w.u16(mesh.indices[i + 1]);
        w.u16(mesh.indices[i + 2]);
        w.u16(0x0007);  // edge visibility flags
    }
    w.open(0x4150);  // smoothing groups: all in group 1
    for (std::size_t i = 0; i < mesh.triangleCount(); ++i) {
        w.u32(1);
    }
    w.close();
    w.close();  // faces
    w.close();  // triangle mesh
    w.close();  // object
    w.close();  // editor
    w.close();  // main
    return w.bytes;
}
