// What the file services share on every system: a link followed for a
// write, and the wait for a lock.

#include <chrono>
#include <thread>

#include "platform/durable_file.h"

namespace plat {

bool findTargetToWrite(const char* path, FileTarget& target, std::string* error) {
    if (!findTarget(path, target, error)) {
        return false;
    }
    if (target.dangling && error != nullptr) {
        *error = std::string(path) + " is a link to " + target.path + ", which is missing";
    }
    return !target.dangling;
}

bool FileLock::take(const char* path, double seconds, std::string* error) {
    release();
    const std::intptr_t file = openLockFile(path, error);
    if (file == -1) {
        return false;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        const Try got = tryOnce(file, path, error);
        if (got == Try::taken) {
            handle_ = file;
            return true;
        }
        if (got == Try::failed || std::chrono::steady_clock::now() >= until) {
            if (got == Try::held && error != nullptr) {
                *error = std::string(path) + " stayed locked by another copy of the game";
            }
            closeLockFile(file);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void FileLock::release() {
    if (handle_ != -1) {
        closeLockFile(handle_);  // the lock goes with the file's closing
        handle_ = -1;
    }
}

}  // namespace plat
