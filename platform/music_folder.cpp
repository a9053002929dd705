#include "platform/music_folder.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

#include "platform/files.h"

namespace plat {

namespace {

// Searched in this order; each search adds its finds after the earlier ones.
constexpr const char* kSongExtensions[] = {".mp3", ".mp2", ".ogg", ".flac", ".wma"};

// The desktop's file search compares names without regard to case.
bool hasExtension(const std::string& name, const char* extension) {
    const std::size_t length = std::strlen(extension);
    return name.size() >= length && strcasecmp(name.c_str() + name.size() - length, extension) == 0;
}

// In name order, as the desktop's file system returns them, so the menu is the
// same on every machine.
bool beforeInMenu(const std::string& a, const std::string& b) {
    const int folded = strcasecmp(a.c_str(), b.c_str());
    return folded != 0 ? folded < 0 : a < b;
}

}  // namespace

bool isSongName(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr) {
        return false;
    }
    for (const char* extension : kSongExtensions) {
        if (strcasecmp(dot, extension) == 0) {
            return true;
        }
    }
    return false;
}


std::vector<std::string> findSongs(const char* folder) {
    // The folder's regular files with a song's extension (directly in it, not
    // in subfolders): folders named like songs and broken links are no songs.
    // A file that cannot be read is listed like any other and reported when
    // it is chosen.
    std::vector<std::string> files = listFiles(folder, isSongName);
    std::sort(files.begin(), files.end(), beforeInMenu);

    std::vector<std::string> songs;
    songs.reserve(files.size());
    for (const char* extension : kSongExtensions) {
        for (const std::string& name : files) {
            if (hasExtension(name, extension)) {
                songs.push_back(name);
            }
        }
    }
    return songs;
}

}  // namespace plat
