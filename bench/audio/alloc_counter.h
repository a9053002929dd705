#pragma once

// Counts heap allocations made on the calling thread while counting is on,
// through malloc and everything built on it (operator new, av_malloc).
// Not available under AddressSanitizer, which owns malloc itself.

namespace benchalloc {

bool available();
// Called for every counted allocation with the address that called the
// allocator, so a benchmark can tell whose allocation it is. The observer's
// own allocations are not counted. Null (the default) observes nothing.
using Observer = void (*)(void* caller);
void setObserver(Observer observer);
void start();
// Allocations since start(); counting stops.
long stop();
// Whether zeros from the counter can be trusted: it must see the allocations
// of a new vector. Prints what it saw; false (with why on standard error)
// when the counter is not hooked in. True, silently, where counting is not available.
bool verify();

}  // namespace benchalloc
