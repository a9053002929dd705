// Preloaded into the game (LD_PRELOAD) to stand for a network folder that has
// stopped answering: opendir of the folder REDAVAVE_TEST_HUNG_FOLDER names
// never returns. It first creates the file REDAVAVE_TEST_HUNG_MARK, and the
// process, once its main function has returned, waits for that file (up to a
// minute) before it ends: a game that ends has ended while its walk hung.

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

const char* setting(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}

template <typename Function>
Function next(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" DIR* opendir(const char* name) {
    static const auto real = next<DIR* (*)(const char*)>("opendir");
    const char* hung = setting("REDAVAVE_TEST_HUNG_FOLDER");
    const char* mark = setting("REDAVAVE_TEST_HUNG_MARK");
    if (hung != nullptr && mark != nullptr && std::strcmp(name, hung) == 0) {
        const int file = ::open(mark, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (file >= 0) {
            ::close(file);
        }
        for (;;) {
            ::pause();
        }
    }
    return real(name);
}

__attribute__((destructor)) static void waitForTheHang() {
    if (const char* mark = setting("REDAVAVE_TEST_HUNG_MARK")) {
        const timespec step{0, 20 * 1000 * 1000};
        for (int waited = 0; waited < 3000 && ::access(mark, F_OK) != 0; ++waited) {
            nanosleep(&step, nullptr);
        }
    }
}
