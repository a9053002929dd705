// Platform services that need no window: boxes, the instance lock, clocks,
// the cursor counter and the screen-size override.

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/instance_lock.h"
#include "platform/message_box.h"
#include "platform/system.h"
#include "platform/timer.h"
#include "tests/diag/working_folder.h"
#include "tests/support/test_env.h"

using namespace plat;

namespace {

// The lock folder (XDG_RUNTIME_DIR) and a holder killed from outside are the
// POSIX lock's; the Windows lock, a named mutex, has its cases below.
#ifndef _WIN32
// Points the lock at a folder of its own, so tests never meet a running game.
class LockFolder {
public:
    LockFolder() : variable_("XDG_RUNTIME_DIR", folder_.path().c_str()) {}

private:
    WorkingFolder folder_;
    testenv::Scoped variable_;
};

TEST(InstanceLockTest, OnlyOneHolderAtATime) {
    LockFolder folder;
    bool exists = true;
    InstanceLock* first = createInstanceLock("Rodadi Engine", &exists);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(exists);

    InstanceLock* second = createInstanceLock("Rodadi Engine", &exists);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(exists);
    closeInstanceLock(second);  // owns nothing: must not free the first holder's lock

    InstanceLock* third = createInstanceLock("Rodadi Engine", &exists);
    EXPECT_TRUE(exists);
    closeInstanceLock(third);

    InstanceLock* other = createInstanceLock("Another Name", &exists);
    EXPECT_FALSE(exists);
    closeInstanceLock(other);

    closeInstanceLock(first);
    InstanceLock* again = createInstanceLock("Rodadi Engine", &exists);
    EXPECT_FALSE(exists);
    closeInstanceLock(again);
}

TEST(InstanceLockTest, AKilledHolderLeavesNothingStuck) {
    LockFolder folder;
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        bool exists = false;
        createInstanceLock("Rodadi Engine", &exists);
        const char byte = exists ? 'n' : 'y';
        (void)!write(ready[1], &byte, 1);
        pause();  // killed below, never returns
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'y');

    bool exists = false;
    closeInstanceLock(createInstanceLock("Rodadi Engine", &exists));
    EXPECT_TRUE(exists) << "the child holds it while it lives";

    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    InstanceLock* after = createInstanceLock("Rodadi Engine", &exists);
    EXPECT_NE(after, nullptr);
    EXPECT_FALSE(exists);
    closeInstanceLock(after);
    close(ready[0]);
    close(ready[1]);
}

TEST(InstanceLockTest, UnusableFolderGivesNoLock) {
    WorkingFolder folder;
    folder.write("not-a-folder", "x");
    const std::string file = (folder.path() / "not-a-folder").string();
    testenv::Scoped variable("XDG_RUNTIME_DIR", file.c_str());
    bool exists = true;
    EXPECT_EQ(createInstanceLock("Rodadi Engine", &exists), nullptr);
    EXPECT_FALSE(exists);
}
#else
// The Windows lock is the named mutex "Rodadi Engine" (its sharing is covered
// in files_test.cpp): a copy that ends without letting go must not keep the
// name taken.
TEST(InstanceLockDeathTest, AHolderThatEndsWithoutLettingGoLeavesTheNameFree) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            bool exists = true;
            createInstanceLock("Rodadi Engine", &exists);
            std::fprintf(stderr, exists ? "found it taken\n" : "holds it\n");
            std::_Exit(3);
        },
        ::testing::ExitedWithCode(3), "holds it");
    bool exists = true;
    InstanceLock* after = createInstanceLock("Rodadi Engine", &exists);
    EXPECT_NE(after, nullptr);
    EXPECT_FALSE(exists);
    closeInstanceLock(after);
}
#endif  // _WIN32

struct Box {
    std::string text;
    std::string title;
    std::uint32_t flags = 0;
    int count = 0;
} lastBox;

int recordBox(const char* text, const char* title, std::uint32_t flags) {
    lastBox = {text, title, flags, lastBox.count + 1};
    return IDOK;
}

TEST(MessageBoxTest, RecordingBackendReplacesTheRealBoxUntilReset) {
    lastBox = {};
    setMessageBoxBackend(recordBox);
    EXPECT_EQ(messageBox(nullptr, "text", "title", MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(lastBox.text, "text");
    EXPECT_EQ(lastBox.title, "title");
    EXPECT_EQ(lastBox.flags, MB_OK | MB_ICONERROR);

    setMessageBoxBackend(nullptr);
    {
        testenv::Scoped toStderr("REDAVAVE_MESSAGE_BOXES", "stderr");
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(messageBox(nullptr, "Could Not Create Window!", "Window Error", MB_OK), IDOK);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Window Error: Could Not Create Window!\n");
    }
    EXPECT_EQ(lastBox.count, 1);
}

TEST(TimerTest, CountersAdvanceAndTheHighResolutionOneCanBeMissing) {
    std::int64_t frequency = 0;
    ASSERT_TRUE(queryPerformanceFrequency(&frequency));
    EXPECT_GT(frequency, 0);

    std::int64_t before = 0;
    std::int64_t after = 0;
    ASSERT_TRUE(queryPerformanceCounter(&before));
    const std::uint32_t msBefore = timeGetTime();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_TRUE(queryPerformanceCounter(&after));
    const std::uint32_t msAfter = timeGetTime();
    const double seconds = static_cast<double>(after - before) / static_cast<double>(frequency);
    EXPECT_GE(seconds, 0.029);
    EXPECT_LT(seconds, 1.0);
    EXPECT_GE(msAfter - msBefore, 29u);
    EXPECT_LT(msAfter - msBefore, 1000u);

    disablePerformanceCounter(true);
    EXPECT_FALSE(queryPerformanceFrequency(&frequency));
    EXPECT_FALSE(queryPerformanceCounter(&after));
    disablePerformanceCounter(false);
    EXPECT_TRUE(queryPerformanceFrequency(&frequency));
}

TEST(CursorTest, CounterHidesBelowZeroAndCountsEveryCall) {
    const int start = showCursor(true) - 1;
    EXPECT_EQ(showCursor(false), start);
    EXPECT_EQ(showCursor(false), start - 1);
    EXPECT_EQ(showCursor(false), start - 2);
    EXPECT_EQ(showCursor(true), start - 1);
    EXPECT_EQ(showCursor(true), start);
}

TEST(SystemMetricsTest, OverrideStandsInForTheDisplay) {
    overrideScreenSize(1920, 1080);
    EXPECT_EQ(getSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(getSystemMetrics(SM_CYSCREEN), 1080);
    overrideScreenSize(0, 0);
    if (std::getenv("DISPLAY") == nullptr) {
        EXPECT_EQ(getSystemMetrics(SM_CXSCREEN), 0) << "no display: no size";
        EXPECT_NE(displayError(), nullptr);
    }
}

}  // namespace
