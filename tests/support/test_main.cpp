// The entry of every test program. In a build with AddressSanitizer it also
// sets how the leak check looks at thread-local storage, and runs that check
// itself once every test is done, while the process is still whole, instead
// of at exit, where the GL driver's atexit handlers are tearing it down.
//
// Thread-local storage: the sanitizer runtime of this toolchain records each
// block of dynamic thread-local storage (the GL driver's, for one) from the
// address that __tls_get_addr returns. When that address lies 16 bytes into a
// page, it takes the 16 bytes before it for a header that only very old C
// libraries wrote, and reads a begin and a size out of whatever is there. The
// leak check then scans that range, say from 0xd30 for 96 GB, and its tracer
// dies ("Tracer caught signal 11"): about one run in three of some scene
// tests, depending on where the block lands. Without the interception the
// blocks are still found, as heap blocks that the thread's vector of
// thread-local storage points to, and scanned like any other heap block.

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#define REDAVAVE_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define REDAVAVE_LEAK_CHECK 1
#endif
#endif

#ifdef REDAVAVE_LEAK_CHECK
#include <sanitizer/lsan_interface.h>

// Read by the runtime before main; ASAN_OPTIONS adds to it and can override it.
extern "C" const char* __asan_default_options() {
    return "intercept_tls_get_addr=0";
}
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
#ifdef REDAVAVE_LEAK_CHECK
    // Ends the process with the leak checker's exit code when something leaked.
    __lsan_do_leak_check();
#endif
    return result;
}
