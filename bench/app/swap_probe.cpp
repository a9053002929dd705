// Preloaded into a program under measurement: notes the monotonic time of
// every buffer swap, and ends the program right after the swap named by
// REDAVAVE_PROBE_SWAPS. The times go to the file REDAVAVE_PROBE_OUT, one
// line "<swap> <nanoseconds>" each.

#include <SDL.h>
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    using Swap = void (*)(SDL_Window*);
    static Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    static int swaps = 0;
    real(window);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    ++swaps;
    const char* out = std::getenv("REDAVAVE_PROBE_OUT");
    if (FILE* file = out != nullptr ? std::fopen(out, "a") : nullptr) {
        std::fprintf(file, "%d %lld\n", swaps,
                     static_cast<long long>(now.tv_sec) * 1000000000LL + static_cast<long long>(now.tv_nsec));
        std::fclose(file);
    }
    const char* last = std::getenv("REDAVAVE_PROBE_SWAPS");
    if (last != nullptr && swaps >= std::atoi(last)) {
        _exit(0);
    }
}
