#pragma once

// Files the game keeps for the player, written so that no crash, kill, power
// cut, full disk or second copy of the game can leave them half written or lost.

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

// Where a player's file really is. The name may be a link (into a synced or
// encrypted folder, say), or a link to a link: `path` is then the name the
// last link leads to, and the file is read, replaced and kept beside there.
// `dangling` when a link leads to no file (that folder not mounted yet).
struct FileTarget {
    std::string path;
    bool dangling = false;
};
// False with `error` for a name that cannot be followed (a loop of links).
bool findTarget(const char* path, FileTarget& target, std::string* error);
// The same for a file about to be written: a dangling link fails too, with
// `error` saying where it leads.
bool findTargetToWrite(const char* path, FileTarget& target, std::string* error);

// Where replaceFile stands at each step; a test's hook may stop it there.
enum class ReplaceStep {
    tempWritten,  // the whole new content is in the temporary file and flushed
    renamed,      // the temporary file has taken the old one's name
};
using ReplaceHook = bool (*)(ReplaceStep step);  // false fails the write at that step

// Writes `size` bytes as the whole new content of the file `path` leads to
// (itself, or a link's target, the link staying a link): into a temporary
// file "<target>.new-<process>-<n>" made beside it (never an existing one) and
// held by this writer while it lives, flushed to disk, given the old file's
// mode and owners, then renamed over the target and the folder flushed.
// Afterwards the target holds either its old content or the new, complete.
// False with `error` set when it could not be done (a dangling link among
// the reasons); the old file is then as it was. `hook`, for tests, is called
// at each step.
bool replaceFile(const char* path, const void* data, std::size_t size, std::string* error,
                 ReplaceHook hook = nullptr);

// Removes a temporary file of replaceFile unless a live writer holds it, on
// this machine or another sharing the folder.
enum class Removal { removed, held, failed };
Removal removeUnheldTemporary(const char* path);

// Deletes a file the game made itself.
bool removeFile(const char* path);

// Reads the whole file. False when it does not exist (`missing` set) or cannot be read.
bool readWholeFile(const char* path, std::string& content, bool* missing, std::string* error);

// Keeps the file's content, byte for byte, under "<path>.damaged-<n>" with the
// lowest free n (never over an existing file), flushed to disk, while `path`
// itself stays as it is. `newName` gets the name. False with `error` when it could not.
bool keepCopy(const char* path, std::string* newName, std::string* error);

// An exclusive lock on a file of its own (made when missing, never removed),
// shared by every copy of the game that reaches it, on other machines too.
// The system drops it with the process, so a crash never leaves it held.
class FileLock {
public:
    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Waits up to `seconds` for the lock. False with `error` when it stayed
    // held by another, or the lock file cannot be made.
    bool take(const char* path, double seconds, std::string* error);
    void release();

private:
    enum class Try { taken, held, failed };
    // Each system's own: the lock file opened (made when missing; -1 with
    // `error` when it cannot be), one try at its lock, and its closing.
    static std::intptr_t openLockFile(const char* path, std::string* error);
    static Try tryOnce(std::intptr_t file, const char* path, std::string* error);
    static void closeLockFile(std::intptr_t file);

    std::intptr_t handle_ = -1;
};

}  // namespace plat
