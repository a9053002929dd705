#pragma once

// A scratch working folder for the game benchmarks: the generated resources
// tree linked in (every folder but Music), and a music folder of our own.

#include <filesystem>
#include <string>

class Core;

#include "tests/support/temp_resources.h"

namespace benchworld {

class Folder : public testworld::TempResources {
public:
    Folder();
    // False (with why in error()) when the generated resources are missing.
    bool ready() const { return ok(); }
};

// The game started in this process on its real window (see
// tests/support/game_start.h), in a scratch folder whose music folder holds
// one song, "Bench.ogg", of `seconds` tones in all three pitch bands. Made on
// the first call, with that call's arguments; it stays for the whole run.
struct Game {
    Folder folder;
    Core* core = nullptr;  // null when it could not be started
    std::string error;
};
Game& gameWithSong(double seconds, const char* commandLine);

}  // namespace benchworld
