#pragma once

// The installed game's own folder in the player's home. An installed game
// cannot write next to its files, so it works in
// ${XDG_DATA_HOME:-~/.local/share}/redavave: log.txt lives there, and a
// `resources` tree whose read-only folders are links to the installed ones,
// so the game reads the same relative paths as from a build. The player's
// music folder is searched where it is, beside the game's own Music folder
// (which holds only what the player copied there); nothing is linked to songs.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/music_folder.h"

namespace plat {

struct GameFolderSetup {
    bool installed = false;          // the game runs from an installation and changed its working folder
    std::vector<std::string> notes;  // lines for the log: what was linked, what went wrong
    MusicFolders music;              // where the songs are searched
};

// Called once at start-up, before anything is read or logged. When the working
// folder is a build's run folder (it holds `resources/Textures`), or no
// installed resources are found next to the executable, the working folder
// stays; a build's game then also searches REDAVAVE_MUSIC when it is set.
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

// Builds `work`/resources over `installed` (links to its folders) with a Music
// folder of its own, and says in `music` where songs are searched: that Music
// folder ("resources/Music", relative to `work`), then `musicFolder`, with the
// installed demo songs for when neither holds one. The song links earlier
// versions of the game made in the Music folder (to `musicFolder`'s songs or
// to installed demo songs, under the song's own name) go, unless the Music
// folder is reached through a link; anything else there is the player's and
// stays. Notes are appended.
bool prepare(const std::filesystem::path& installed, const std::filesystem::path& work,
             const std::filesystem::path& musicFolder, bool musicFolderChosen, std::vector<std::string>& notes,
             MusicFolders& music);

}  // namespace home
}  // namespace plat
