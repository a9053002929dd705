// The single-instance lock: an advisory lock on a file named after the lock.
// The kernel drops it with the process, so a crashed copy never leaves it held.

#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace plat {

struct InstanceLock {
    int fd = -1;
};

namespace {

std::string lockPath(const char* name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = (runtime != nullptr && runtime[0] != '\0') ? runtime : "/tmp";
    std::string file = name;
    for (char& c : file) {
        if (c == '/') {
            c = '_';
        }
    }
    // /tmp is shared between users: keep one lock per user there.
    if (runtime == nullptr || runtime[0] == '\0') {
        file += "-" + std::to_string(getuid());
    }
    return folder + "/" + file + ".lock";
}

}  // namespace

InstanceLock* createInstanceLock(const char* name, bool* alreadyExists) {
    if (alreadyExists != nullptr) {
        *alreadyExists = false;
    }
    if (name == nullptr || name[0] == '\0') {
        return nullptr;
    }
    const std::string path = lockPath(name);
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return nullptr;
    }
    auto* lock = new InstanceLock;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        close(fd);
        if (!held) {
            delete lock;
            return nullptr;
        }
        if (alreadyExists != nullptr) {
            *alreadyExists = true;
        }
        return lock;  // owns nothing
    }
    lock->fd = fd;
    return lock;
}

void closeInstanceLock(InstanceLock* lock) {
    if (lock == nullptr) {
        return;
    }
    if (lock->fd >= 0) {
        close(lock->fd);  // closing the only descriptor drops the lock
    }
    delete lock;
}

}  // namespace plat
