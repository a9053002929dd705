#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Creates the folders on the way and writes the file whole; false on any failure.
bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
bool makeParentFolders(const std::string& path);
