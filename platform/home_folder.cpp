#include "platform/home_folder.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "platform/music_folder.h"

namespace fs = std::filesystem;

namespace plat {
namespace home {
namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

bool hasSongs(const fs::path& folder) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (isSongName(it->path().filename().string()) && fs::is_regular_file(it->path(), error)) {
            return true;
        }
    }
    return false;
}

// Links every song directly in `from` into `music`; a name already there stays.
int linkSongsFrom(const fs::path& from, const fs::path& music) {
    int linked = 0;
    std::error_code error;
    for (fs::directory_iterator it(from, error), end; !error && it != end; it.increment(error)) {
        const fs::path song = it->path();
        std::error_code ignored;
        if (!isSongName(song.filename().string()) || !fs::is_regular_file(song, ignored) ||
            fs::exists(fs::symlink_status(music / song.filename(), ignored))) {
            continue;
        }
        fs::create_symlink(fs::absolute(song, ignored), music / song.filename(), ignored);
        linked += ignored ? 0 : 1;
    }
    return linked;
}

// `link` ends up a link to `target`, unless the player put a real file or folder there.
bool pointLink(const fs::path& link, const fs::path& target, std::vector<std::string>& notes) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(link, error);
    if (fs::is_symlink(status)) {
        if (fs::read_symlink(link, error) == target) {
            return true;
        }
        fs::remove(link, error);
    } else if (fs::exists(status)) {
        return true;
    }
    fs::create_symlink(target, link, error);
    if (error) {
        notes.push_back("Could not link " + link.string() + " to " + target.string() + ": " + error.message());
        return false;
    }
    return true;
}

}  // namespace

fs::path xdgMusicDir(const std::string& userDirs, const fs::path& home) {
    std::istringstream lines(userDirs);
    fs::path found;
    for (std::string line; std::getline(lines, line);) {
        line = trimmed(line);
        const std::string key = "XDG_MUSIC_DIR=";
        if (line.compare(0, key.size(), key) != 0) {
            continue;
        }
        std::string value = trimmed(line.substr(key.size()));
        if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
            continue;
        }
        value = value.substr(1, value.size() - 2);
        std::string unescaped;
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size()) {
                ++i;
            }
            unescaped += value[i];
        }
        fs::path folder;
        if (unescaped.compare(0, 5, "$HOME") == 0 && (unescaped.size() == 5 || unescaped[5] == '/')) {
            const std::string rest = unescaped.substr(std::min<std::size_t>(unescaped.size(), 6));
            folder = rest.empty() ? home : home / rest;
        } else if (!unescaped.empty() && unescaped.front() == '/') {
            folder = unescaped;
        } else {
            continue;
        }
        // The last entry wins, as when the file is sourced by a shell.
        found = (folder / "").lexically_normal() == (home / "").lexically_normal() ? fs::path() : folder;
    }
    return found;
}

fs::path playerMusicFolder(const char* redavaveMusic, const char* xdgConfigHome, const char* homeText) {
    if (redavaveMusic != nullptr && *redavaveMusic != '\0') {
        return redavaveMusic;
    }
    const fs::path home = homeText != nullptr ? homeText : "";
    if (home.empty()) {
        return {};
    }
    const fs::path config =
        xdgConfigHome != nullptr && *xdgConfigHome == '/' ? fs::path(xdgConfigHome) : home / ".config";
    std::ifstream in(config / "user-dirs.dirs");
    std::ostringstream text;
    text << in.rdbuf();
    const fs::path xdg = xdgMusicDir(text.str(), home);
    return xdg.empty() ? home / "Music" : xdg;
}

fs::path workingFolder(const char* xdgDataHome, const char* homeText) {
    // Relative values of the XDG base directories are ignored, as the XDG rules say.
    if (xdgDataHome != nullptr && *xdgDataHome == '/') {
        return fs::path(xdgDataHome) / "redavave";
    }
    if (homeText != nullptr && *homeText != '\0') {
        return fs::path(homeText) / ".local" / "share" / "redavave";
    }
    return {};
}

fs::path installedResources(const fs::path& executableFolder) {
    const fs::path resources = (executableFolder / ".." / "share" / "redavave" / "resources").lexically_normal();
    std::error_code error;
    return fs::is_directory(resources, error) ? resources : fs::path();
}

bool prepare(const fs::path& installed, const fs::path& work, const fs::path& musicFolder, bool musicFolderChosen,
             std::vector<std::string>& notes) {
    const fs::path resources = work / "resources";
    const fs::path music = resources / "Music";
    std::error_code error;
    fs::create_directories(music, error);
    if (error || !fs::is_directory(music)) {
        notes.push_back("Could not create the game folder " + music.string() + ": " +
                        (error ? error.message() : "not a folder"));
        return false;
    }

    bool ok = true;
    for (fs::directory_iterator it(installed, error), end; !error && it != end; it.increment(error)) {
        if (it->path().filename() != "Music") {
            ok = pointLink(resources / it->path().filename(), it->path(), notes) && ok;
        }
    }

    // The previous start's links go; the player's own copied files stay.
    std::vector<fs::path> oldLinks;
    for (fs::directory_iterator it(music, error), end; !error && it != end; it.increment(error)) {
        if (it->is_symlink()) {
            oldLinks.push_back(it->path());
        }
    }
    for (const fs::path& link : oldLinks) {
        std::error_code ignored;
        fs::remove(link, ignored);
    }

    if (fs::is_directory(musicFolder, error)) {
        const int linked = linkSongsFrom(musicFolder, music);
        notes.push_back("#Music Folder: " + musicFolder.string() + " (" + std::to_string(linked) + " songs linked)");
    } else if (musicFolderChosen) {
        notes.push_back("The music folder " + musicFolder.string() + " named by REDAVAVE_MUSIC does not exist");
    } else if (!musicFolder.empty()) {
        notes.push_back("#Music Folder: " + musicFolder.string() + " does not exist");
    }
    if (!hasSongs(music)) {
        const int linked = linkSongsFrom(installed / "Music", music);
        notes.push_back("#Demo Songs: " + std::to_string(linked) + " linked");
    }
    return ok;
}

}  // namespace home

GameFolderSetup enterGameFolder() {
    GameFolderSetup setup;
    std::error_code error;
    if (fs::is_directory("resources", error)) {
        return setup;
    }
    char* base = SDL_GetBasePath();
    if (base == nullptr) {
        return setup;
    }
    const fs::path installed = home::installedResources(base);
    SDL_free(base);
    if (installed.empty()) {
        return setup;
    }

    const fs::path work = home::workingFolder(std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
    if (work.empty()) {
        std::fprintf(stderr, "redavave: neither XDG_DATA_HOME nor HOME is set; no folder for the log and songs\n");
        return setup;
    }
    const char* chosen = std::getenv("REDAVAVE_MUSIC");
    const fs::path music = home::playerMusicFolder(chosen, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    std::vector<std::string> notes;
    home::prepare(installed, work, music, chosen != nullptr && *chosen != '\0', notes);
    fs::current_path(work, error);
    if (error) {
        std::fprintf(stderr, "redavave: cannot work in %s: %s\n", work.string().c_str(), error.message().c_str());
        for (const std::string& note : notes) {
            std::fprintf(stderr, "redavave: %s\n", note.c_str());
        }
        return setup;
    }
    setup.installed = true;
    setup.notes = std::move(notes);
    return setup;
}

}  // namespace plat
