#pragma once

// Files and folders by UTF-8 name. Linux takes the bytes as they are; Windows
// converts them to its wide-character API, so a name in any script opens.

#include <cstdio>
#include <string>
#include <vector>

namespace plat {

// std::fopen with a UTF-8 path.
std::FILE* openFile(const char* path, const char* mode);

// The names of the regular files directly in `folder` (no subfolders, no
// broken links) that `accept` takes, in the order the file system gives them.
// Empty when the folder cannot be read.
std::vector<std::string> listFiles(const char* folder, bool (*accept)(const char* name));

}  // namespace plat
