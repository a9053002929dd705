#pragma once

// Files the game keeps for the player, written so that no crash, kill or
// power cut can leave them half written or lost.

#include <cstddef>
#include <string>

namespace plat {

// Where replaceFile stands at each step; a test's hook may stop it there.
enum class ReplaceStep {
    tempWritten,  // the whole new content is in the temporary file and flushed
    renamed,      // the temporary file has taken the old one's name
};
using ReplaceHook = bool (*)(ReplaceStep step);  // false fails the write at that step

// Writes `size` bytes as the whole new content of `path`: into a temporary file
// made beside it (never an existing one), flushed to disk, then renamed over
// `path` and the folder flushed. Afterwards `path` holds either its old content
// or the new, complete. False with `error` set when it could not be done; the
// old file is then as it was. `hook`, for tests, is called at each step.
bool replaceFile(const char* path, const void* data, std::size_t size, std::string* error,
                 ReplaceHook hook = nullptr);

// Deletes a file the game made itself (a temporary file a crash left behind).
bool removeFile(const char* path);

// Reads the whole file. False when it does not exist (`missing` set) or cannot be read.
bool readWholeFile(const char* path, std::string& content, bool* missing, std::string* error);

// Renames `path` to "<path>.damaged-<n>" with the lowest free n, never over an
// existing file; `newName` gets the name. False with `error` when it could not.
bool setAside(const char* path, std::string* newName, std::string* error);

}  // namespace plat
