#pragma once

// Clocks for frame timing.

#include <cstdint>

namespace plat {

// Ticks per second of the high-resolution counter; false when there is none.
bool queryPerformanceFrequency(std::int64_t* frequency);
bool queryPerformanceCounter(std::int64_t* count);
// Milliseconds since an arbitrary start, wrapping at 2^32.
std::uint32_t timeGetTime();

// Tests only: make the high-resolution counter report that it is missing.
void disablePerformanceCounter(bool disabled);

}  // namespace plat
