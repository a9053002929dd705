#pragma once

// The player's music folder and the search for songs in it.

#include <string>
#include <vector>

namespace plat {

// Relative to the game's working folder; songs open as "<folder>/<name>".
inline constexpr const char* kMusicFolder = "resources/Music";

// A file the song search takes: mp3, mp2, ogg, flac or wma, in any case.
bool isSongName(const char* name);
inline bool isSongName(const std::string& name) { return isSongName(name.c_str()); }

// The names (name and extension only) of the regular files directly in `folder`
// whose extension is a song's: all .mp3 first, then .mp2, .ogg, .flac and .wma,
// each group in name order, extensions in any case. Empty when the folder is
// missing or holds no song.
std::vector<std::string> findSongs(const char* folder);

}  // namespace plat
