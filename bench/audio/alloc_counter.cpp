#include "bench/audio/alloc_counter.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define REDAVAVE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define REDAVAVE_ASAN 1
#endif
#endif

#if defined(REDAVAVE_ASAN)

namespace benchalloc {
bool available() { return false; }
void setObserver(Observer) {}
void start() {}
long stop() { return -1; }
bool verify() { return true; }
}  // namespace benchalloc

#else

namespace {

thread_local bool counting = false;
thread_local bool observing = false;
thread_local long counted = 0;
benchalloc::Observer observer = nullptr;

inline void note(void* caller) {
    if (counting && !observing) {
        ++counted;
        if (observer != nullptr) {
            observing = true;
            observer(caller);
            observing = false;
        }
    }
}

}  // namespace

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

void* malloc(size_t size) {
    note(__builtin_return_address(0));
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    note(__builtin_return_address(0));
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
    note(__builtin_return_address(0));
    return __libc_realloc(pointer, size);
}

void* memalign(size_t alignment, size_t size) {
    note(__builtin_return_address(0));
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    note(__builtin_return_address(0));
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
    note(__builtin_return_address(0));
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr) {
        return ENOMEM;
    }
    *out = pointer;
    return 0;
}
}

namespace benchalloc {
bool available() { return true; }
void setObserver(Observer newObserver) { observer = newObserver; }
void start() {
    counted = 0;
    counting = true;
}
long stop() {
    counting = false;
    return counted;
}
bool verify() {
    start();
    auto* probe = new std::vector<float>(64);
    // Keeps the compiler from eliding the pair of allocations.
    asm volatile("" : : "r"(probe), "r"(probe->data()) : "memory");
    const long seen = stop();
    delete probe;
    std::printf("allocation counter self-check: %ld allocations seen for one new vector\n", seen);
    if (seen < 2) {
        std::fprintf(stderr, "the allocation counter is not hooked in; its figures would be meaningless\n");
        return false;
    }
    return true;
}
}  // namespace benchalloc

#endif
