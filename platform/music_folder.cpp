#include "platform/music_folder.h"

#include <strings.h>

#ifndef _WIN32
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#endif

#include <algorithm>
#include <cstring>
#include <exception>
#include <filesystem>
#include <set>
#include <string>
#include <unordered_set>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include "platform/utf8_win32.h"
#endif

namespace fs = std::filesystem;

namespace plat {

namespace {

struct SongExtension {
    const char* extension;
    int group;  // the menu lists group 0 first
};

// The five formats of old first, so a folder of those lists as it always did.
constexpr SongExtension kSongExtensions[] = {
    {".mp3", 0},  {".mp2", 1}, {".ogg", 2}, {".flac", 3}, {".wma", 4},  {".m4a", 5},
    {".aac", 6},  {".opus", 7}, {".wav", 8}, {".aif", 9},  {".aiff", 9},
};
constexpr int kGroups = 10;

// The group of a song's name; -1 for any other name.
int songGroup(const char* name) {
    const char* dot = std::strrchr(name, '.');
    if (dot == nullptr) {
        return -1;
    }
    for (const SongExtension& song : kSongExtensions) {
        if (strcasecmp(dot, song.extension) == 0) {
            return song.group;
        }
    }
    return -1;
}

// In name order without regard to case, as the desktop's file search gives
// them, so the menu is the same on every machine.
bool beforeInMenu(const std::string& a, const std::string& b) {
    const int folded = strcasecmp(a.c_str(), b.c_str());
    return folded != 0 ? folded < 0 : a < b;
}

// Folders of the system or of other programs, never of songs.
bool passedOver(const std::string& folder) {
    if (!folder.empty() && folder[0] == '.') {
        return true;
    }
    for (const char* system : {"$RECYCLE.BIN", "RECYCLER", "System Volume Information", "lost+found"}) {
        if (strcasecmp(folder.c_str(), system) == 0) {
            return true;
        }
    }
    return false;
}

class SongWalk {
public:
    explicit SongWalk(SongList& list) : list_(list) {}

    void root(const std::string& folder) {
        std::error_code error;
        if (!fs::is_directory(fs::u8path(folder), error)) {
            return;
        }
        walk(folder, "");
    }

    // The songs of every root, group by group. A name that an earlier root
    // already gave (a song copied into the game's folder and still in the
    // player's) is listed once, from the first root: the menu shows the name
    // alone, so two such lines could not be told apart.
    void finish() {
        std::unordered_set<std::string> listed;
        for (auto& group : groups_) {
            for (auto& [name, file] : group) {
                if (!listed.insert(name).second) {
                    continue;
                }
                list_.names.push_back(std::move(name));
                list_.files.push_back(std::move(file));
            }
            group.clear();
        }
    }

private:
    struct Entry {
        std::string name;
        bool folder;
        int group;
    };

    // Walks `folder` (as the game opens it), whose songs are shown as `shown` + their name.
    void walk(const std::string& folder, const std::string& shown) {
        std::vector<Entry> entries;
        if (!read(folder, entries)) {
            return;
        }
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return beforeInMenu(a.name, b.name); });
        for (const Entry& entry : entries) {
            if (entry.folder) {
                walk(folder + "/" + entry.name, shown + entry.name + "/");
            } else {
                groups_[static_cast<std::size_t>(entry.group)].emplace_back(shown + entry.name,
                                                                            folder + "/" + entry.name);
            }
        }
    }

    void cannotRead(const std::string& folder, const std::error_code& error) {
        list_.notes.push_back("Could not read the folder " + folder + ": " + error.message());
    }

#ifdef _WIN32
    // The folder's subfolders and songs; false when it was walked already or cannot be read.
    bool read(const std::string& folder, std::vector<Entry>& entries) {
        std::error_code error;
        const fs::path identity = fs::canonical(fs::u8path(folder), error);
        if (!error && !seen_.insert(identity.native()).second) {
            return false;
        }
        fs::directory_iterator it(fs::u8path(folder), error);
        for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
            std::string note;
            std::string name = songSearchName(it->path().filename().c_str(), folder, note);
            if (name.empty()) {
                list_.notes.push_back(std::move(note));
                continue;
            }
            const int group = songGroup(name.c_str());
            std::error_code typeError;
            if (it->is_directory(typeError)) {
                if (!passedOver(name)) {
                    entries.push_back({std::move(name), true, -1});
                }
            } else if (group >= 0 && it->is_regular_file(typeError)) {
                entries.push_back({std::move(name), false, group});
            }
        }
        if (error) {
            cannotRead(folder, error);
            return false;
        }
        return true;
    }

    std::set<std::wstring> seen_;
#else
    // The folder's subfolders and songs; false when it was walked already or
    // cannot be read. A library may hold tens of thousands of entries: the
    // kind comes with the name, and only links cost a look at the file.
    bool read(const std::string& folder, std::vector<Entry>& entries) {
        DIR* directory = opendir(folder.c_str());
        if (directory == nullptr) {
            cannotRead(folder, std::error_code(errno, std::generic_category()));
            return false;
        }
        const int folderFd = dirfd(directory);
        struct stat self {};
        if (fstat(folderFd, &self) == 0 &&
            !seen_.insert({static_cast<unsigned long long>(self.st_dev), static_cast<unsigned long long>(self.st_ino)})
                 .second) {
            closedir(directory);
            return false;
        }
        errno = 0;
        while (const dirent* entry = readdir(directory)) {
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) {
                continue;
            }
            bool isFolder = entry->d_type == DT_DIR;
            bool isFile = entry->d_type == DT_REG;
            if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
                struct stat info {};
                if (fstatat(folderFd, name, &info, 0) == 0) {
                    isFolder = S_ISDIR(info.st_mode);
                    isFile = S_ISREG(info.st_mode);
                }
            }
            const int group = isFile ? songGroup(name) : -1;
            if (isFolder && !passedOver(name)) {
                entries.push_back({name, true, -1});
            } else if (group >= 0) {
                entries.push_back({name, false, group});
            }
            errno = 0;
        }
        const int readError = errno;
        closedir(directory);
        if (readError != 0) {
            cannotRead(folder, std::error_code(readError, std::generic_category()));
            return false;
        }
        return true;
    }

    std::set<std::pair<unsigned long long, unsigned long long>> seen_;
#endif

    SongList& list_;
    std::vector<std::pair<std::string, std::string>> groups_[kGroups];
};

}  // namespace

bool isSongName(const char* name) { return songGroup(name) >= 0; }

#ifdef _WIN32
std::string songSearchName(const wchar_t* wide, const std::string& folder, std::string& note) {
    // No UTF-8 name stands for a lone surrogate: such a file could be neither
    // listed, nor opened, nor have a best score kept.
    std::string name = utf8FromWide(wide);
    if (name.empty() && *wide != L'\0') {
        note = "Left out a name in " + folder + " that is not valid Unicode: " + utf8FromWideReplacing(wide);
    }
    return name;
}
#endif

SongList findSongs(const std::vector<std::string>& folders) {
    SongList list;
    SongWalk walk(list);
    for (const std::string& folder : folders) {
        // Whatever stops one folder's walk leaves the others', and the songs
        // found up to it, in the menu.
        try {
            walk.root(folder);
        } catch (const std::exception& error) {
            list.notes.push_back("Could not search the folder " + folder + " for songs: " + error.what());
        }
    }
    walk.finish();
    return list;
}

std::vector<std::string> findSongs(const char* folder) { return findSongs(std::vector<std::string>{folder}).names; }

}  // namespace plat
