// The entry of every test program. In a build with AddressSanitizer the leak
// check runs here, once every test is done, instead of at exit: by then the GL
// driver's atexit handlers are tearing down its worker threads.
//
// Even parked, the GL driver's threads were not safe company for the check:
// now and then its thread suspension crashed ("Tracer caught signal 11") in a
// test that had drawn with Mesa, on machines with more cores than ours. So a
// sanitizer build asks Mesa for no threads at all (llvmpipe rasterises on the
// calling thread, no shader-cache writer), and the check then suspends no one
// but the main thread. Any thread still alive at the check is named on stderr
// so that a crash there points at its owner.

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#define REDAVAVE_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define REDAVAVE_LEAK_CHECK 1
#endif
#endif

#ifdef REDAVAVE_LEAK_CHECK
#include <dirent.h>
#include <sanitizer/lsan_interface.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void keepTheGlDriverSingleThreaded() {
    // Not overriding what the caller set on purpose.
    setenv("LP_NUM_THREADS", "0", 0);
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
}

void nameThreadsOtherThanMain() {
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) {
        return;
    }
    const long self = static_cast<long>(getpid());
    while (const dirent* entry = readdir(tasks)) {
        char* end = nullptr;
        const long tid = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || tid == self) {
            continue;
        }
        char path[64];
        std::snprintf(path, sizeof path, "/proc/self/task/%ld/comm", tid);
        char name[32] = "?";
        if (FILE* comm = std::fopen(path, "r")) {
            if (std::fgets(name, sizeof name, comm) == nullptr) {
                std::strcpy(name, "?");
            }
            std::fclose(comm);
        }
        name[std::strcspn(name, "\n")] = '\0';
        std::fprintf(stderr, "leak check: thread %ld (%s) still running\n", tid, name);
    }
    closedir(tasks);
}

}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef REDAVAVE_LEAK_CHECK
    keepTheGlDriverSingleThreaded();
#endif
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
#ifdef REDAVAVE_LEAK_CHECK
    nameThreadsOtherThanMain();
    // Ends the process with the leak checker's exit code when something leaked.
    __lsan_do_leak_check();
#endif
    return result;
}
