#pragma once

// The player's music folders and the search for songs in them.

#include <string>
#include <vector>

namespace plat {

// Relative to the game's working folder; songs copied there are always offered.
inline constexpr const char* kMusicFolder = "resources/Music";

// A file the song search takes, by its extension in any case: mp3, mp2, ogg,
// flac, wma, m4a, aac, opus, wav, aif or aiff.
bool isSongName(const char* name);
inline bool isSongName(const std::string& name) { return isSongName(name.c_str()); }

// Where the game looks for songs.
struct MusicFolders {
    std::vector<std::string> folders{kMusicFolder};  // searched, in this order
    std::string demoFolder;                          // searched only when the others hold no song
};

// The songs of one or more music folders.
struct SongList {
    // As the menu shows them: the path below its music folder, '/'-separated
    // ("Some Artist/First Album/01 - Intro.mp3"; a song directly in the folder
    // is its bare name). These are the songs' names for everything the game
    // keeps about them.
    std::vector<std::string> names;
    // The file each name opens: "<music folder>/<name>".
    std::vector<std::string> files;
    // One log line for each folder that could not be read (its songs are left out).
    std::vector<std::string> notes;
};

// Every song below `folders`, at any depth. Grouped by extension: .mp3, .mp2,
// .ogg, .flac, .wma, then .m4a, .aac, .opus, .wav and .aif/.aiff; within a
// group by folder (in the order given), then path order: each folder's entries
// by name without regard to case, a subfolder's songs where its name sorts.
// Folders named with a leading dot and system folders ($RECYCLE.BIN, System
// Volume Information, ...) are passed over; links to folders are followed and
// every folder is walked once however many ways lead to it. Only regular files
// (or links to them) count. A missing folder gives nothing and no note; a
// folder that cannot be read, a name that is no Unicode (Windows takes lone
// surrogates) and whatever else stops a folder's walk give a note each.
SongList findSongs(const std::vector<std::string>& folders);

#ifdef _WIN32
// The name the song search gives an entry of `folder` that Windows names
// `wide` (UTF-16): its UTF-8 form; empty, with the log line `note`, for a name
// that is no UTF-16 (NTFS takes lone surrogates).
std::string songSearchName(const wchar_t* wide, const std::string& folder, std::string& note);
#endif

// The names of the songs below one folder.
std::vector<std::string> findSongs(const char* folder);

}  // namespace plat
