#include "platform/music_folder.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

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

    // The songs of every root, group by group.
    void finish() {
        for (auto& group : groups_) {
            for (auto& [name, file] : group) {
                list_.names.push_back(std::move(name));
                list_.files.push_back(std::move(file));
            }
            group.clear();
        }
    }

private:
    // Walks `folder` (as the game opens it), whose songs are shown as `shown` + their name.
    void walk(const std::string& folder, const std::string& shown) {
        if (!firstVisit(folder)) {
            return;
        }
        struct Entry {
            std::string name;
            bool folder;
            int group;
        };
        std::vector<Entry> entries;
        std::error_code error;
        fs::directory_iterator it(fs::u8path(folder), error);
        for (const fs::directory_iterator end; !error && it != end; it.increment(error)) {
            std::string name = it->path().filename().u8string();
            const int group = songGroup(name.c_str());
            std::error_code typeError;
            // The kind comes with the name on most file systems: only links cost a look.
            if (it->is_directory(typeError)) {
                if (!passedOver(name)) {
                    entries.push_back({std::move(name), true, -1});
                }
            } else if (group >= 0 && it->is_regular_file(typeError)) {
                entries.push_back({std::move(name), false, group});
            }
        }
        if (error) {
            list_.notes.push_back("Could not read the folder " + folder + ": " + error.message());
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

    // False when the folder was walked already, by another path or through a link.
    bool firstVisit(const std::string& folder) {
#ifdef _WIN32
        std::error_code error;
        const fs::path identity = fs::canonical(fs::u8path(folder), error);
        return error || seen_.insert(identity.u8string()).second;
#else
        struct stat info {};
        if (stat(folder.c_str(), &info) != 0) {
            return true;  // the walk reports it when it cannot open it
        }
        return seen_.insert({static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino)})
            .second;
#endif
    }

    SongList& list_;
    std::vector<std::pair<std::string, std::string>> groups_[kGroups];
#ifdef _WIN32
    std::set<std::string> seen_;
#else
    std::set<std::pair<unsigned long long, unsigned long long>> seen_;
#endif
};

}  // namespace

bool isSongName(const char* name) { return songGroup(name) >= 0; }

SongList findSongs(const std::vector<std::string>& folders) {
    SongList list;
    SongWalk walk(list);
    for (const std::string& folder : folders) {
        walk.root(folder);
    }
    walk.finish();
    return list;
}

std::vector<std::string> findSongs(const char* folder) { return findSongs(std::vector<std::string>{folder}).names; }

}  // namespace plat
