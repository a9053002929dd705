#include "bench/audio/alloc_counter.h"

#include <cerrno>
#include <cstddef>

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
void start() {}
long stop() { return -1; }
}  // namespace benchalloc

#else

namespace {

thread_local bool counting = false;
thread_local long counted = 0;

}  // namespace

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

void* malloc(size_t size) {
    counted += counting ? 1 : 0;
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    counted += counting ? 1 : 0;
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
    counted += counting ? 1 : 0;
    return __libc_realloc(pointer, size);
}

void* memalign(size_t alignment, size_t size) {
    counted += counting ? 1 : 0;
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    counted += counting ? 1 : 0;
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
    counted += counting ? 1 : 0;
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
void start() {
    counted = 0;
    counting = true;
}
long stop() {
    counting = false;
    return counted;
}
}  // namespace benchalloc

#endif
