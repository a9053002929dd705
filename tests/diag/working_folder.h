#pragma once

// A fresh temporary folder that is the working directory while the test runs,
// so "log.txt" and friends land there and nothing is shared between tests.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_resources.h"

class WorkingFolder {
public:
    WorkingFolder() : world_("test", entered()), path_(world_.path()) {}
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // The lines of a file in the folder; empty when it does not exist.
    std::vector<std::string> lines(const std::string& name = "log.txt") const {
        std::ifstream in(path_ / name);
        std::vector<std::string> result;
        for (std::string line; std::getline(in, line);) {
            result.push_back(line);
        }
        return result;
    }

    void write(const std::string& name, const std::string& content = "") const {
        std::filesystem::create_directories((path_ / name).parent_path());
        std::ofstream(path_ / name) << content;
    }

private:
    static testworld::WorldOptions entered() {
        testworld::WorldOptions options;
        options.enter = true;
        return options;
    }

    testworld::TempResources world_;
    std::filesystem::path path_;
};
