#pragma once

// The whole content of a file, for the readers whose core takes bytes.

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/files.h"

// False when the file cannot be opened; `out` then stays empty.
inline bool readFileBytes(const char* path, std::vector<std::uint8_t>& out) {
    out.clear();
    std::FILE* file = plat::openFile(path, "rb");
    if (file == nullptr) {
        return false;
    }
    std::uint8_t chunk[65536];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        out.insert(out.end(), chunk, chunk + got);
    }
    std::fclose(file);
    return true;
}
