#pragma once

// The one scratch world of the tests and benchmarks: a fresh folder under the
// system's temporary folder with a `resources` tree the way the game finds it
// next to its program. Optional: the generated textures, models and sounds
// brought in (linked, or copied on Windows; every folder but Music, which
// stays the test's own), the three hit effects written when
// there are no generated sounds, songs in the music folder, the folder of the
// single-instance lock, and the folder as the working folder while it lives.

#include <filesystem>
#include <string>

#include "tests/support/audio_fixtures.h"

namespace testworld {

// With neither generated assets nor effects the folder starts empty.

// A new empty folder <temp>/redavave-<tag>-XXXXXX, for its owner only; an
// empty path when none can be made.
std::filesystem::path makeTempFolder(const std::string& tag);

struct WorldOptions {
    bool generatedAssets = false;  // bring in the generated tree; an error when it is missing
    bool effects = false;          // blockHit, bonusHit and SkullHit unless the generated sounds are there
    bool lockFolder = false;       // "runtime", for the owner only
    bool enter = false;            // the working folder until the world goes away
};

class TempResources {
public:
    explicit TempResources(const std::string& tag, WorldOptions options = {});
    // Leaves the folder if it was entered, then removes it unless kept. A
    // process that ends without destructors (exit() in a death test) still
    // removes the folders it made, at its exit.
    ~TempResources();
    TempResources(const TempResources&) = delete;
    TempResources& operator=(const TempResources&) = delete;

    // False, with why, when some part of the world could not be made.
    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path resources() const { return path_ / "resources"; }
    std::filesystem::path music() const { return path_ / "resources" / "Music"; }
    std::filesystem::path lockFolder() const { return path_ / "runtime"; }

    // Encodes a song into the music folder; false (with why in error()) on failure.
    bool addSong(const std::string& name, fixtures::AudioFormat format, const fixtures::ToneSong& song);

    // The folder stays on disk after the world is gone (to look at after a failure).
    void keep();
    // Removes the folder now: for a child process that leaves without destructors.
    void removeNow();

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;  // the working folder before enter
    std::string error_;
    bool kept_ = false;
};

}  // namespace testworld
