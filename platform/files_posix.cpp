// Files and folders on POSIX: names are bytes, passed through as they are.

#include <dirent.h>
#include <sys/stat.h>

#include "platform/files.h"

namespace plat {

std::FILE* openFile(const char* path, const char* mode) { return std::fopen(path, mode); }

std::vector<std::string> listFiles(const char* folder, bool (*accept)(const char* name)) {
    std::vector<std::string> names;
    DIR* directory = opendir(folder);
    if (directory == nullptr) {
        return names;
    }
    // A folder may hold tens of thousands of entries, so names are matched
    // first and only links, and entries of file systems that do not tell the
    // kind, cost a look at the file.
    const int folderFd = dirfd(directory);
    while (const dirent* entry = readdir(directory)) {
        if (!accept(entry->d_name)) {
            continue;
        }
        if (entry->d_type != DT_REG) {
            struct stat info {};
            if (fstatat(folderFd, entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)) {
                continue;
            }
        }
        names.emplace_back(entry->d_name);
    }
    closedir(directory);
    return names;
}

}  // namespace plat
