#pragma once

// The installed game's own folder in the player's home. An installed game
// cannot write next to its files, so it works in
// ${XDG_DATA_HOME:-~/.local/share}/redavave: log.txt lives there, and a
// `resources` tree whose read-only folders are links to the installed ones,
// so the game reads the same relative paths as from a build. Its Music folder
// gets links to the player's songs at every start.

#include <filesystem>
#include <string>
#include <vector>

namespace plat {

struct GameFolderSetup {
    bool installed = false;          // the game runs from an installation and changed its working folder
    std::vector<std::string> notes;  // lines for the log: what was linked, what went wrong
};

// Called once at start-up, before anything is read or logged. When the working
// folder already holds `resources` (a build's run folder), or no installed
// resources are found next to the executable, nothing changes.
GameFolderSetup enterGameFolder();

// The pieces, for tests.
namespace home {

// The music folder named by XDG_MUSIC_DIR in a user-dirs.dirs text ("$HOME/..."
// or an absolute path); empty when the entry is missing, relative, or is the
// home folder itself (which the desktop uses to say "no music folder").
std::filesystem::path xdgMusicDir(const std::string& userDirs, const std::filesystem::path& home);

// REDAVAVE_MUSIC, else the XDG music folder, else ~/Music. Null arguments are unset variables.
std::filesystem::path playerMusicFolder(const char* redavaveMusic, const char* xdgConfigHome, const char* home);

// ${XDG_DATA_HOME:-~/.local/share}/redavave; empty when neither is set.
std::filesystem::path workingFolder(const char* xdgDataHome, const char* home);

// The installed resources tree for an executable in `executableFolder`
// (<prefix>/bin or <prefix>/games): <prefix>/share/redavave/resources; empty when absent.
std::filesystem::path installedResources(const std::filesystem::path& executableFolder);

// Builds `work`/resources over `installed` and fills its Music folder: the
// links of the previous start go, the songs found directly in `musicFolder`
// are linked, and when no song is there at all the installed demo songs are.
// Songs the player copied into the Music folder stay. Notes are appended.
bool prepare(const std::filesystem::path& installed, const std::filesystem::path& work,
             const std::filesystem::path& musicFolder, bool musicFolderChosen, std::vector<std::string>& notes);

}  // namespace home
}  // namespace plat
