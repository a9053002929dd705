#include "render/ModelHandler.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "diag/ErrorHandler.h"
#include "image/file_bytes.h"

ModelHandler modelHandler;
Model shipModel;
Model carModel;

namespace {

// Little-endian reads over the file's bytes; a read past the end fails and
// leaves the position where it was.
struct ChunkReader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;

    std::size_t remaining() const { return size - position; }
    bool u8(std::uint8_t& out) {
        if (remaining() < 1) {
            return false;
        }
        out = data[position++];
        return true;
    }
    bool u16(std::uint16_t& out) {
        if (remaining() < 2) {
            return false;
        }
        out = static_cast<std::uint16_t>(data[position] | data[position + 1] << 8);
        position += 2;
        return true;
    }
    bool u32(std::uint32_t& out) {
        if (remaining() < 4) {
            return false;
        }
        out = static_cast<std::uint32_t>(data[position]) | static_cast<std::uint32_t>(data[position + 1]) << 8 |
              static_cast<std::uint32_t>(data[position + 2]) << 16 |
              static_cast<std::uint32_t>(data[position + 3]) << 24;
        position += 4;
        return true;
    }
    bool f32(float& out) {
        std::uint32_t bits = 0;
        if (!u32(bits)) {
            return false;
        }
        std::memcpy(&out, &bits, sizeof out);
        return true;
    }
};

constexpr std::size_t kChunkHeaderSize = 6;

// One model file being read: the bytes, the record and where the trace goes.
class ModelReader {
public:
    ModelReader(Model& model, const std::uint8_t* data, std::size_t size, const char* name, std::FILE* trace)
        : model_(model), in_{data, data == nullptr ? 0 : size, 0}, name_(name == nullptr ? "" : name),
          trace_(trace) {}

    void run() {
        while (in_.position < in_.size) {
            if (!readChunk()) {
                break;
            }
        }
        reportBadFaces();
    }

private:
    // False when reading cannot go on.
    bool readChunk() {
        std::uint16_t l_chunk_id = 0;
        std::uint32_t l_chunk_length = 0;
        if (in_.remaining() < kChunkHeaderSize) {
            return endsInside("a chunk header");
        }
        in_.u16(l_chunk_id);
        trace("ChunkID: %x\n", l_chunk_id);
        in_.u32(l_chunk_length);
        trace("ChunkLenght: %x\n", l_chunk_length);
        if (l_chunk_length < kChunkHeaderSize) {
            // A length below the header's own size would step backwards, or stand still for ever.
            errorHandler.log("Model '%s': chunk %x claims a length of %u; the rest of the file is ignored!", name_,
                             l_chunk_id, l_chunk_length);
            return false;
        }
        switch (l_chunk_id) {
            case CHUNK_MAIN:
            case CHUNK_EDITOR:
            case CHUNK_TRIMESH: return true;  // their sub-chunks follow at once
            case CHUNK_OBJECT: return readName();
            case CHUNK_VERTICES: return readVertices();
            case CHUNK_FACES: return readFaces();
            case CHUNK_MAPPING: return readMapping();
            default: break;
        }
        const std::size_t skip = l_chunk_length - kChunkHeaderSize;
        if (skip > in_.remaining()) {
            return endsInside("a chunk");
        }
        in_.position += skip;
        return true;
    }

    bool readName() {
        for (std::size_t i = 0; i < sizeof model_.name; ++i) {
            std::uint8_t byte = 0;
            if (!in_.u8(byte)) {
                return endsInside("an object name");
            }
            model_.name[i] = static_cast<char>(byte);
            if (byte == 0) {
                break;
            }
        }
        return true;
    }

    bool readVertices() {
        std::uint16_t l_qty = 0;
        if (!in_.u16(l_qty)) {
            return endsInside("a vertex list");
        }
        trace("Number of vertices: %d\n", l_qty);
        model_.vertexCount = 0;
        for (int i = 0; i < l_qty; ++i) {
            if (i >= kModelCapacity) {
                return skipBeyondCapacity("vertex", l_qty, 12);
            }
            Model::Vertex& vertex = model_.vertices[i];
            if (!readTraced(vertex.x, "Vertices list x: %f\n") || !readTraced(vertex.y, "Vertices list y: %f\n") ||
                !readTraced(vertex.z, "Vertices list z: %f\n")) {
                return endsInside("a vertex list");
            }
            model_.vertexCount = i + 1;
        }
        return true;
    }

    bool readFaces() {
        std::uint16_t l_qty = 0;
        if (!in_.u16(l_qty)) {
            return endsInside("a face list");
        }
        trace("Number of polygons: %d\n", l_qty);
        model_.faceCount = 0;
        for (int i = 0; i < l_qty; ++i) {
            if (i >= kModelCapacity) {
                return skipBeyondCapacity("face", l_qty, 8);
            }
            Model::Face& face = model_.faces[i];
            std::uint16_t corner[3] = {};
            std::uint16_t flags = 0;
            static const char* const kCornerTrace[3] = {"Polygon point a: %d\n", "Polygon point b: %d\n",
                                                        "Polygon point c: %d\n"};
            for (int k = 0; k < 3; ++k) {
                if (!in_.u16(corner[k])) {
                    return endsInside("a face list");
                }
                trace(kCornerTrace[k], corner[k]);
            }
            if (!in_.u16(flags)) {
                return endsInside("a face list");
            }
            trace("Face flags: %x\n", flags);
            face = {corner[0], corner[1], corner[2]};
            model_.faceCount = i + 1;
        }
        return true;
    }

    bool readMapping() {
        std::uint16_t l_qty = 0;
        if (!in_.u16(l_qty)) {
            return endsInside("a mapping list");
        }
        for (int i = 0; i < l_qty; ++i) {
            if (i >= kModelCapacity) {
                return skipBeyondCapacity("mapping", l_qty, 8);
            }
            Model::MapCoord& coord = model_.mapping[i];
            if (!readTraced(coord.u, "Mapping list u: %f\n") || !readTraced(coord.v, "Mapping list v: %f\n")) {
                return endsInside("a mapping list");
            }
        }
        return true;
    }

    // The record holds 8000 entries; the rest of a longer list is stepped over unread.
    bool skipBeyondCapacity(const char* what, int count, std::size_t entrySize) {
        errorHandler.log("Model '%s': %s list of %d entries holds more than %d; the rest is skipped!", name_, what,
                         count, kModelCapacity);
        const std::size_t skip = static_cast<std::size_t>(count - kModelCapacity) * entrySize;
        if (skip > in_.remaining()) {
            in_.position = in_.size;
            return endsInside(what);
        }
        in_.position += skip;
        return true;
    }

    bool endsInside(const char* what) {
        errorHandler.log("Model '%s': the file ends inside %s; the rest is missing!", name_, what);
        return false;
    }

    void reportBadFaces() const {
        int bad = 0;
        for (int i = 0; i < model_.faceCount; ++i) {
            const Model::Face& face = model_.faces[i];
            const auto limit = static_cast<std::uint32_t>(model_.vertexCount);
            if (face.a >= limit || face.b >= limit || face.c >= limit) {
                ++bad;
            }
        }
        if (bad > 0) {
            errorHandler.log("Model '%s': %d triangles name vertices beyond the %d of its list and are not drawn!",
                             name_, bad, model_.vertexCount);
        }
    }

    bool readTraced(float& out, const char* format) {
        if (!in_.f32(out)) {
            return false;
        }
        trace(format, static_cast<double>(out));
        return true;
    }

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    // The trace formats are the fixed texts above, each with one number.
    template <typename T>
    void trace(const char* format, T value) {
        if (trace_ != nullptr) {
            std::fprintf(trace_, format, value);
        }
    }
#pragma GCC diagnostic pop

    Model& model_;
    ChunkReader in_;
    const char* name_;
    std::FILE* trace_;
};

// The trace is for a standard output that goes to a file or a pipe; at a
// terminal its thousands of lines would bury everything else.
std::FILE* standardOutputTrace() {
#ifdef _WIN32
    const bool terminal = _isatty(_fileno(stdout)) != 0;
#else
    const bool terminal = isatty(fileno(stdout)) != 0;
#endif
    return terminal ? nullptr : stdout;
}

}  // namespace

bool ModelHandler::load(Model& model, const char* path) {
    std::vector<std::uint8_t> bytes;
    if (!readFileBytes(path, bytes)) {
        errorHandler.log("Could not open model '%s'!", path);
        return false;
    }
    return load(model, bytes.data(), bytes.size(), path, standardOutputTrace());
}

bool ModelHandler::load(Model& model, const std::uint8_t* data, std::size_t size, const char* name,
                        std::FILE* trace) {
    ModelReader(model, data, size, name, trace).run();
    return true;
}

void ModelHandler::draw(const Model& model) {
    // Counts are trusted only as far as the record reaches.
    const std::int32_t vertexLimit = model.vertexCount < 0                ? 0
                                     : model.vertexCount > kModelCapacity ? kModelCapacity
                                                                          : model.vertexCount;
    const std::int32_t faceLimit = model.faceCount < 0                ? 0
                                   : model.faceCount > kModelCapacity ? kModelCapacity
                                                                      : model.faceCount;
    const auto limit = static_cast<std::uint32_t>(vertexLimit);
    glBegin(GL_TRIANGLES);
    for (std::int32_t i = 0; i < faceLimit; ++i) {
        const Model::Face& face = model.faces[i];
        if (face.a >= limit || face.b >= limit || face.c >= limit) {
            continue;
        }
        for (const std::uint32_t k : {face.a, face.b, face.c}) {
            glTexCoord2f(model.mapping[k].u, model.mapping[k].v);
            glVertex3f(model.vertices[k].x, model.vertices[k].y, model.vertices[k].z);
        }
    }
    glEnd();
}
