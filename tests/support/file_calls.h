#pragma once

// The calls that put files on disk, as the code under test makes them: this
// program's own write, fsync, rename, link and unlink stand in for the C
// library's, note each call while a Recording lives and pass it on, or fail
// it as a full disk would. POSIX only.

#include <string>
#include <vector>

namespace filecalls {

struct Call {
    std::string name;   // "write", "fsync", "rename", "link", "unlink"
    std::string path;   // for write and fsync, the file or folder the descriptor is open on
    std::string to;     // the new name of rename and link
    bool watchedThere;  // the watched file was there right after the call
};

class Recording {
public:
    // `watched`: a file whose presence is looked at after every call.
    explicit Recording(std::string watched = {});
    ~Recording();
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    std::vector<Call> calls() const;
    // From now on, calls named `name` on a file whose name holds `part` fail with `code`.
    void fail(const char* name, const std::string& part, int code);
};

}  // namespace filecalls
