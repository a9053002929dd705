#include "tools/generator/file_out.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

bool makeParentFolders(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty()) {
        return true;
    }
    std::error_code error;
    std::filesystem::create_directories(parent, error);
    return !error;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (!makeParentFolders(path)) {
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}
