#pragma once

// A scratch working folder for the game benchmarks: the generated resources
// tree linked in (every folder but Music), and a music folder of our own.

#include <filesystem>
#include <string>

class Core;

#include "tests/support/audio_fixtures.h"

namespace benchworld {

class Folder {
public:
    Folder();
    ~Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    // False (with why) when the generated resources are missing.
    bool ready() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path music() const { return path_ / "resources" / "Music"; }

    // Encodes a song into the music folder; false (with why in error()) on failure.
    bool addSong(const std::string& name, fixtures::AudioFormat format, const fixtures::ToneSong& song);

private:
    std::filesystem::path path_;
    std::string error_;
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
