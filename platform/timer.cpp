// Frame clocks on SDL's counters.

#include "platform/timer.h"

#include "platform/sdl_internal.h"

namespace plat {
namespace {

bool counterDisabled = false;

}  // namespace

bool queryPerformanceFrequency(std::int64_t* frequency) {
    if (counterDisabled || frequency == nullptr) {
        return false;
    }
    *frequency = static_cast<std::int64_t>(SDL_GetPerformanceFrequency());
    return *frequency > 0;
}

bool queryPerformanceCounter(std::int64_t* count) {
    if (counterDisabled || count == nullptr) {
        return false;
    }
    *count = static_cast<std::int64_t>(SDL_GetPerformanceCounter());
    return true;
}

std::uint32_t timeGetTime() { return static_cast<std::uint32_t>(SDL_GetTicks64()); }

void disablePerformanceCounter(bool disabled) { counterDisabled = disabled; }

}  // namespace plat
