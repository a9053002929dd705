#pragma once

// What both fuzz targets do before the first input: no message box may wait
// for a click, and log.txt must not grow where the fuzzer was started (the
// process moves to a scratch folder whose log.txt is linked to /dev/null, so
// that millions of refusals cost no disk). libFuzzer reads its arguments after
// this runs, so folders given relative to the starting folder are made
// absolute first, and crash files still land there.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "diag/ErrorHandler.h"
#include "platform/message_box.h"

namespace fuzzsetup {

inline std::uint64_t boxesShown = 0;
inline std::string scratch;

inline int countBox(const char*, const char*, std::uint32_t) {
    ++boxesShown;
    return plat::IDOK;
}

inline void removeScratch() {
    if (!scratch.empty()) {
        unlink((scratch + "/log.txt").c_str());
        rmdir(scratch.c_str());
    }
}

// Rewrites argv: relative folders become absolute, and crash files go to the
// starting folder unless the caller said where.
inline void keepPathsOfTheStartingFolder(int* argc, char*** argv, const std::string& start) {
    static std::vector<std::string> storage;
    static std::vector<char*> pointers;
    bool prefixGiven = false;
    for (int i = 0; i < *argc; ++i) {
        std::string arg = (*argv)[i];
        prefixGiven = prefixGiven || arg.rfind("-artifact_prefix=", 0) == 0 || arg.rfind("-exact_artifact_path=", 0) == 0;
        if (i > 0 && !arg.empty() && arg[0] != '-' && arg[0] != '/') {
            arg = start + "/" + arg;
        }
        storage.push_back(arg);
    }
    if (!prefixGiven) {
        storage.push_back("-artifact_prefix=" + start + "/");
    }
    for (std::string& arg : storage) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    *argc = static_cast<int>(storage.size());
    *argv = pointers.data();
}

inline void quietGame(int* argc, char*** argv) {
    char start[4096];
    if (getcwd(start, sizeof start) == nullptr) {
        std::perror("fuzz setup");
        std::abort();
    }
    keepPathsOfTheStartingFolder(argc, argv, start);
    plat::setMessageBoxBackend(countBox);
    char folder[] = "/tmp/redavave-fuzz-XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
        std::perror("fuzz setup");
        std::abort();
    }
    scratch = folder;
    symlink("/dev/null", "log.txt");
    std::atexit(removeScratch);
    errorHandler.open("log.txt", true);  // logging on, as in the game
}

}  // namespace fuzzsetup
