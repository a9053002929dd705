// The entry of every test program. In a build with AddressSanitizer the leak
// check runs here, once every test is done and while the process is still
// whole, instead of at exit: by then the GL driver's atexit handlers are
// tearing down its worker threads, and the leak checker's thread suspension
// can fall over a thread that is halfway out. Whatever the tests' globals
// still hold is reachable at this point and so is not reported.

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
