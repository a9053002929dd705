// Durable replacement of a file on POSIX: write a fresh temporary file beside
// it, fsync it, rename it over the old one, fsync the folder.

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/durable_file.h"

namespace plat {

namespace {

std::string describe(const char* what, const std::string& path) {
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

bool replaceFile(const char* givenPath, const void* data, std::size_t size, std::string* error, ReplaceHook hook) {
    // A file the player made a link (into a synced folder, say) stays a link:
    // the new file is written beside the file it leads to and replaces that one.
    std::string resolved = givenPath;
    struct stat status {};
    if (lstat(givenPath, &status) == 0 && S_ISLNK(status.st_mode)) {
        if (char* real = realpath(givenPath, nullptr)) {
            resolved = real;
            std::free(real);
        }
    }
    const char* path = resolved.c_str();
    std::string failure;
    std::string temp;
    int fd = -1;
    // A name no one else has: made with O_EXCL, so an existing file is never reused.
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = std::string(path) + ".new-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        failure = describe("cannot create", temp);
    } else {
        const bool written = writeAll(fd, static_cast<const char*>(data), size) && fsync(fd) == 0;
        if (!written) {
            failure = describe("cannot write", temp);
        }
        if (close(fd) != 0 && failure.empty()) {
            failure = describe("cannot write", temp);
        }
        if (failure.empty() && hook != nullptr && !hook(ReplaceStep::tempWritten)) {
            failure = "stopped after writing " + temp;
        }
        if (failure.empty() && rename(temp.c_str(), path) != 0) {
            failure = describe("cannot rename over", path);
        }
        if (!failure.empty()) {
            unlink(temp.c_str());
        }
    }
    if (failure.empty()) {
        if (hook != nullptr && !hook(ReplaceStep::renamed)) {
            failure = std::string("stopped after renaming over ") + path;
        } else {
            // The rename itself is on disk only once the folder is.
            const std::string folder = folderOf(path);
            const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (folderFd < 0 || fsync(folderFd) != 0) {
                failure = describe("cannot flush the folder", folder);
            }
            if (folderFd >= 0) {
                close(folderFd);
            }
        }
    }
    if (!failure.empty() && error != nullptr) {
        *error = failure;
    }
    return failure.empty();
}

bool removeFile(const char* path) { return unlink(path) == 0; }

bool readWholeFile(const char* path, std::string& content, bool* missing, std::string* error) {
    content.clear();
    if (missing != nullptr) {
        *missing = false;
    }
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (missing != nullptr) {
            *missing = errno == ENOENT;
        }
        if (error != nullptr) {
            *error = describe("cannot open", path);
        }
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) == 0 && info.st_size > 0) {
        content.reserve(static_cast<std::size_t>(info.st_size));
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            if (error != nullptr) {
                *error = describe("cannot read", path);
            }
            close(fd);
            return false;
        }
        if (got == 0) {
            break;
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return true;
}

bool setAside(const char* path, std::string* newName, std::string* error) {
    for (int n = 1; n < 10000; ++n) {
        const std::string aside = std::string(path) + ".damaged-" + std::to_string(n);
        // RENAME_NOREPLACE never takes an existing name; where the file system
        // cannot do that, a hard link does the same.
        int result = renameat2(AT_FDCWD, path, AT_FDCWD, aside.c_str(), RENAME_NOREPLACE);
        if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
            result = link(path, aside.c_str());
            if (result == 0 && unlink(path) != 0) {
                if (error != nullptr) {
                    *error = describe("cannot remove the old name of", path);
                }
                return false;
            }
        }
        if (result == 0) {
            if (newName != nullptr) {
                *newName = aside;
            }
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    if (error != nullptr) {
        *error = describe("cannot rename", path);
    }
    return false;
}

}  // namespace plat
