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

// A link the game made in its Music folder at an earlier start: a song's name
// leading, under that same name, into the player's music folder or into an
// installation's demo songs.
bool madeByTheGame(const fs::path& link, const fs::path& musicFolder) {
    std::error_code error;
    const fs::path target = fs::read_symlink(link, error);
    if (error || !target.is_absolute() || target.filename() != link.filename() || !isSongName(link.filename().string())) {
        return false;
    }
    const fs::path from = target.parent_path().lexically_normal();
    const auto same = [&](const fs::path& folder) {
        return !folder.empty() && (fs::absolute(folder, error).lexically_normal() / "") == (from / "");
    };
    const fs::path demo = fs::path("share") / "redavave" / "resources" / "Music";
    const std::string fromText = (from / "").string();
    return same(musicFolder) || same(fs::weakly_canonical(musicFolder, error)) ||
           (fromText.size() > demo.string().size() + 1 &&
            fromText.compare(fromText.size() - demo.string().size() - 1, demo.string().size(), demo.string()) == 0);
}

// Removes the song links of earlier starts, never through a link: when the
// game's folder, its resources or its Music folder is one, nothing goes.
void removeOldSongLinks(const fs::path& work, const fs::path& musicFolder) {
    std::error_code error;
    for (const fs::path& folder : {work, work / "resources", work / "resources" / "Music"}) {
        if (fs::is_symlink(fs::symlink_status(folder, error))) {
            return;
        }
    }
    std::vector<fs::path> links;
    for (fs::directory_iterator it(work / "resources" / "Music", error), end; !error && it != end;
         it.increment(error)) {
        std::error_code ignored;
        if (it->is_symlink(ignored) && madeByTheGame(it->path(), musicFolder)) {
            links.push_back(it->path());
        }
    }
    for (const fs::path& link : links) {
        std::error_code ignored;
        fs::remove(link, ignored);
    }
}

// `link` ends up a link to `target`, unless the player put something else there:
// only a link to another installation's folder of that name is replaced.
bool pointLink(const fs::path& link, const fs::path& target, std::vector<std::string>& notes) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(link, error);
    if (fs::is_symlink(status)) {
        const fs::path old = fs::read_symlink(link, error);
        if (old == target) {
            return true;
        }
        if (error || old.filename() != target.filename() || old.parent_path().filename() != "resources" ||
            old.parent_path().parent_path().filename() != "redavave") {
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
             std::vector<std::string>& notes, MusicFolders& music) {
    const fs::path resources = work / "resources";
    std::error_code error;
    fs::create_directories(resources / "Music", error);
    if (error || !fs::is_directory(resources / "Music")) {
        notes.push_back("Could not create the game folder " + (resources / "Music").string() + ": " +
                        (error ? error.message() : "not a folder"));
        return false;
    }

    // A file system without links fails them all alike: the first failure says why.
    bool ok = true;
    for (fs::directory_iterator it(installed, error), end; ok && !error && it != end; it.increment(error)) {
        if (it->path().filename() != "Music") {
            ok = pointLink(resources / it->path().filename(), it->path(), notes);
        }
    }
    removeOldSongLinks(work, musicFolder);

    music.folders = {kMusicFolder};
    music.demoFolder = (installed / "Music").u8string();
    if (fs::is_directory(musicFolder, error)) {
        music.folders.push_back(musicFolder.u8string());
        notes.push_back("#Music Folder: " + musicFolder.string());
    } else if (musicFolderChosen) {
        notes.push_back("The music folder " + musicFolder.string() + " named by REDAVAVE_MUSIC does not exist");
    } else if (!musicFolder.empty()) {
        notes.push_back("#Music Folder: " + musicFolder.string() + " does not exist");
    }
    return ok;
}

}  // namespace home

GameFolderSetup enterGameFolder() {
    GameFolderSetup setup;
    std::error_code error;
    const char* chosen = std::getenv("REDAVAVE_MUSIC");
    const bool musicChosen = chosen != nullptr && *chosen != '\0';
    if (fs::is_directory(fs::path("resources") / "Textures", error)) {
        // A build's run folder: its own songs, and the folder the player names.
        if (musicChosen && fs::is_directory(chosen, error)) {
            setup.music.folders.emplace_back(chosen);
            setup.notes.push_back(std::string("#Music Folder: ") + chosen);
        } else if (musicChosen) {
            setup.notes.push_back(std::string("The music folder ") + chosen + " named by REDAVAVE_MUSIC does not exist");
        }
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
    const fs::path music = home::playerMusicFolder(chosen, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
    std::vector<std::string> notes;
    home::prepare(installed, work, music, musicChosen, notes, setup.music);
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
