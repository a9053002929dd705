#pragma once

// Counts heap allocations made on the calling thread while counting is on,
// through malloc and everything built on it (operator new, av_malloc).
// Not available under AddressSanitizer, which owns malloc itself.

namespace benchalloc {

bool available();
void start();
// Allocations since start(); counting stops.
long stop();

}  // namespace benchalloc
