// Durable replacement of a file on POSIX: write a fresh temporary file beside
// it, fsync it, rename it over the old one, fsync the folder. Locks are open
// file description locks, which NFS carries to the server, so copies of the
// game on two machines sharing a home see each other's.

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// A rename or a new name is on disk only once its folder is.
bool flushFolderOf(const std::string& path, std::string* failure) {
    const std::string folder = folderOf(path);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool flushed = fd >= 0 && fsync(fd) == 0;
    if (!flushed) {
        *failure = describe("cannot flush the folder", folder);
    }
    if (fd >= 0) {
        close(fd);
    }
    return flushed;
}

enum class Lock { taken, heldByAnother, failed };

// The whole file, exclusively, without waiting.
Lock tryLock(int fd) {
    struct flock region {};
    region.l_type = F_WRLCK;
    region.l_whence = SEEK_SET;
    if (fcntl(fd, F_OFD_SETLK, &region) == 0) {
        return Lock::taken;
    }
    if (errno == EINVAL) {
        // A kernel older than open file description locks.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return Lock::taken;
        }
        return errno == EWOULDBLOCK ? Lock::heldByAnother : Lock::failed;
    }
    return errno == EAGAIN || errno == EACCES ? Lock::heldByAnother : Lock::failed;
}

// A file system that keeps no locks at all (some FUSE ones, NFS mounted
// "nolock" across machines): nothing better can be done than going on.
bool locksUnsupported(int code) { return code == ENOLCK || code == EOPNOTSUPP || code == ENOSYS; }

// A new temporary file is held for as long as it lives, so that no copy of
// the game takes it for a crash's leftover. One that came between the making
// and the holding has removed it, or is about to: the name is then dropped
// for another.
enum class Hold { held, takenByAnother, failed };
Hold holdNewTemporary(int fd) {
    const Lock lock = tryLock(fd);
    if (lock == Lock::heldByAnother) {
        return Hold::takenByAnother;
    }
    if (lock == Lock::failed && !locksUnsupported(errno)) {
        return Hold::failed;
    }
    struct stat status {};
    return fstat(fd, &status) == 0 && status.st_nlink == 0 ? Hold::takenByAnother : Hold::held;
}

}  // namespace

bool findTarget(const char* path, FileTarget& target, std::string* error) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat status {};
        const bool found = lstat(current.c_str(), &status) == 0;
        if (!found || !S_ISLNK(status.st_mode)) {
            // The name itself is missing when there is no file yet: only a
            // link that leads nowhere is dangling. Any other failure is the
            // reader's to report.
            target.dangling = !found && hop > 0 && (errno == ENOENT || errno == ENOTDIR);
            target.path = current;
            return true;
        }
        std::string leads(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 4096) + 1, '\0');
        const ssize_t length = readlink(current.c_str(), leads.data(), leads.size());
        if (length < 0) {
            if (error != nullptr) {
                *error = describe("cannot follow the link", current);
            }
            return false;
        }
        leads.resize(static_cast<std::size_t>(length));
        // A relative link leads from the folder it stands in.
        const std::size_t slash = current.rfind('/');
        current = (leads[0] == '/' || slash == std::string::npos) ? leads : current.substr(0, slash + 1) + leads;
    }
    if (error != nullptr) {
        *error = std::string(path) + " leads through too many links (a loop of them?)";
    }
    return false;
}

bool replaceFile(const char* givenPath, const void* data, std::size_t size, std::string* error, ReplaceHook hook) {
    FileTarget target;
    if (!findTargetToWrite(givenPath, target, error)) {
        return false;
    }
    std::string failure;
    const char* path = target.path.c_str();
    // The new file takes the old one's mode and owners; until then it is
    // private, so a failure leaves it no more readable than before.
    struct stat old {};
    const bool replacing = stat(path, &old) == 0;
    std::string temp;
    int fd = -1;
    // A name no one else has: made with O_EXCL, so an existing file is never reused.
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = std::string(path) + ".new-" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        fd = open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0644);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
        const Hold hold = fd >= 0 ? holdNewTemporary(fd) : Hold::held;
        if (hold == Hold::failed) {
            failure = describe("cannot lock", temp);
            unlink(temp.c_str());
        }
        if (hold != Hold::held) {
            close(fd);
            fd = -1;
        }
        if (!failure.empty()) {
            break;
        }
    }
    if (fd < 0) {
        if (failure.empty()) {
            failure = describe("cannot create", temp);
        }
    } else {
        if (replacing) {
            // The group only where this user may set it; the owner only for root.
            if (fchown(fd, old.st_uid, old.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
                // The new file stays this user's, in the folder's group.
            }
            if (fchmod(fd, old.st_mode & 07777) != 0) {
                // A file system without modes (FAT): the private mode stands.
            }
        }
        if (!writeAll(fd, static_cast<const char*>(data), size) || fsync(fd) != 0) {
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
        // Closed only now, held up to the rename so that it is never taken for
        // a leftover; fsync has already reported any failure to write it.
        close(fd);
    }
    if (failure.empty()) {
        if (hook != nullptr && !hook(ReplaceStep::renamed)) {
            failure = std::string("stopped after renaming over ") + path;
        } else {
            flushFolderOf(path, &failure);
        }
    }
    if (!failure.empty() && error != nullptr) {
        *error = failure;
    }
    return failure.empty();
}

Removal removeUnheldTemporary(const char* path) {
    const int fd = open(path, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Removal::failed;
    }
    struct stat status {};
    Removal result = Removal::failed;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
        // Removed while this holds it, so no writer can take it up in between;
        // where nothing can be held, nothing is known: it stays.
        const Lock lock = tryLock(fd);
        if (lock == Lock::taken) {
            result = unlink(path) == 0 ? Removal::removed : Removal::failed;
        } else {
            result = Removal::held;
        }
    }
    close(fd);
    return result;
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

namespace {

enum class Copy { made, nameTaken, failed };

// A copy of `path` made as `copy`, with its mode, flushed.
Copy copyFile(const char* path, const std::string& copy, std::string* failure) {
    std::string content;
    if (!readWholeFile(path, content, nullptr, failure)) {
        return Copy::failed;
    }
    struct stat status {};
    const mode_t mode = stat(path, &status) == 0 ? (status.st_mode & 07777) : 0600;
    const int fd = open(copy.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) {
            return Copy::nameTaken;
        }
        *failure = describe("cannot create", copy);
        return Copy::failed;
    }
    const bool copied = writeAll(fd, content.data(), content.size()) && fsync(fd) == 0;
    if (!copied) {
        *failure = describe("cannot write", copy);
        unlink(copy.c_str());
    } else if (fchmod(fd, mode) != 0) {
        // A file system without modes: the private one stands.
    }
    close(fd);
    return copied ? Copy::made : Copy::failed;
}

}  // namespace

bool keepCopy(const char* path, std::string* newName, std::string* error) {
    std::string failure;
    for (int n = 1; n < 10000 && failure.empty(); ++n) {
        const std::string aside = std::string(path) + ".damaged-" + std::to_string(n);
        // A second name for the same file keeps everything of it, at no
        // cost; a file system without hard links gets a copy.
        Copy result = link(path, aside.c_str()) == 0 ? Copy::made : errno == EEXIST ? Copy::nameTaken : Copy::failed;
        if (result == Copy::failed) {
            if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK && errno != ENOSYS) {
                failure = describe("cannot keep a copy of", path);
                break;
            }
            result = copyFile(path, aside, &failure);
        }
        if (result == Copy::made && flushFolderOf(aside, &failure)) {
            if (newName != nullptr) {
                *newName = aside;
            }
            return true;
        }
    }
    if (error != nullptr) {
        *error = failure.empty() ? std::string(path) + ": no free name to keep a copy under" : failure;
    }
    return false;
}

std::intptr_t FileLock::openLockFile(const char* path, std::string* error) {
    const int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && error != nullptr) {
        *error = describe("cannot create", path);
    }
    return fd;
}

FileLock::Try FileLock::tryOnce(std::intptr_t file, const char* path, std::string* error) {
    const Lock lock = tryLock(static_cast<int>(file));
    if (lock == Lock::taken || (lock == Lock::failed && locksUnsupported(errno))) {
        return Try::taken;
    }
    if (lock == Lock::heldByAnother) {
        return Try::held;
    }
    if (error != nullptr) {
        *error = describe("cannot lock", path);
    }
    return Try::failed;
}

void FileLock::closeLockFile(std::intptr_t file) { close(static_cast<int>(file)); }

}  // namespace plat
