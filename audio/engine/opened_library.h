#pragma once

// A system library the engine opens on first use rather than links, so that
// the game starts where it is missing, and the functions it takes from it.
// Linux only.

#include <dlfcn.h>

namespace snd {

class OpenedLibrary {
public:
    // Opened with local symbol scope; it stays loaded for the life of the
    // process, as the functions taken from it must.
    explicit OpenedLibrary(const char* soname) : handle(dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {}

    // Points `slot` at the library's function `name`, or at nothing.
    template <typename Function>
    void find(Function& slot, const char* name) {
        slot = handle != nullptr ? reinterpret_cast<Function>(dlsym(handle, name)) : nullptr;
        complete = complete && slot != nullptr;
    }

    // The library is there and had every function asked for.
    bool whole() const { return handle != nullptr && complete; }

private:
    void* handle;
    bool complete = true;
};

}  // namespace snd
