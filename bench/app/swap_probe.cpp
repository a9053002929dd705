// Preloaded into a program under measurement: notes the monotonic time of
// every buffer swap, and ends the program right after the swap named by
// REDAVAVE_PROBE_SWAPS. The times go to the file REDAVAVE_PROBE_OUT, one
// line "<swap> <nanoseconds> <drawn> <cpu nanoseconds>" each, the last the
// CPU time of the whole process (all its threads) so far. With REDAVAVE_PROBE_DRAWN=1,
// <drawn> says whether the picture just presented holds anything but black
// (read back after the time is taken), and the program ends at the first
// that does; otherwise it is always 1.

#include <SDL.h>
#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr unsigned kBack = 0x0405;  // GL_BACK
constexpr unsigned kRgba = 0x1908;   // GL_RGBA
constexpr unsigned kBytes = 0x1401;  // GL_UNSIGNED_BYTE

bool presentedSomething(SDL_Window* window) {
    using ReadBuffer = void (*)(unsigned);
    using ReadPixels = void (*)(int, int, int, int, unsigned, unsigned, void*);
    auto readBuffer = reinterpret_cast<ReadBuffer>(SDL_GL_GetProcAddress("glReadBuffer"));
    auto readPixels = reinterpret_cast<ReadPixels>(SDL_GL_GetProcAddress("glReadPixels"));
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    if (readBuffer == nullptr || readPixels == nullptr || width <= 0 || height <= 0) {
        return false;
    }
    std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    // The software renderer presents by copying: the back buffer still holds
    // the picture just presented.
    readBuffer(kBack);
    readPixels(0, 0, width, height, kRgba, kBytes, pixels.data());
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        if (pixels[i] != 0 || pixels[i + 1] != 0 || pixels[i + 2] != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    using Swap = void (*)(SDL_Window*);
    static Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    static int swaps = 0;
    real(window);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    ++swaps;
    const char* check = std::getenv("REDAVAVE_PROBE_DRAWN");
    const bool drawn = check == nullptr || std::strcmp(check, "1") != 0 || presentedSomething(window);
    const char* out = std::getenv("REDAVAVE_PROBE_OUT");
    if (FILE* file = out != nullptr ? std::fopen(out, "a") : nullptr) {
        std::fprintf(file, "%d %lld %d %lld\n", swaps,
                     static_cast<long long>(now.tv_sec) * 1000000000LL + static_cast<long long>(now.tv_nsec),
                     drawn ? 1 : 0,
                     static_cast<long long>(cpu.tv_sec) * 1000000000LL + static_cast<long long>(cpu.tv_nsec));
        std::fclose(file);
    }
    const char* last = std::getenv("REDAVAVE_PROBE_SWAPS");
    if ((last != nullptr && swaps >= std::atoi(last)) || (drawn && check != nullptr)) {
        _exit(0);
    }
}
