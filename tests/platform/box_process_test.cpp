// Boxes shown through the box process, with fake desktop dialog tools that
// note each run: whatever the signal dispositions the game inherits, a player
// sees each box exactly once, a box process that showed nothing leaves the box
// to the game's own process, and the box goes when the game is killed.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "platform/message_box.h"
#include "platform/message_box_internal.h"
#include "platform/system.h"
#include "tests/support/test_env.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

enum class Sigchld { kept, ignored, noChildWait };

// A fake tool's exit code: 0 OK, 1 closed (both: it showed the box), 255 it
// could not show one.
constexpr int kToolFailed = 255;

struct BoxCase {
    const char* name;
    const char* program;  // null: the game's binary (its box entry)
    Sigchld sigchld;
    int zenityExit;
    int kdialogExit;
    int inProcessBoxes;  // boxes the game showed itself
};

const BoxCase kBoxCases[] = {
    {"ShownByZenity", nullptr, Sigchld::kept, 0, 0, 0},
    {"ShownWithSigchldIgnored", nullptr, Sigchld::ignored, 0, 0, 0},
    {"ShownWithSigchldCaughtWithoutZombies", nullptr, Sigchld::noChildWait, 0, 0, 0},
    {"ClosedInKdialogAfterZenityFailed", nullptr, Sigchld::kept, kToolFailed, 1, 0},
    {"ClosedInKdialogWithSigchldIgnored", nullptr, Sigchld::ignored, kToolFailed, 1, 0},
    {"NothingShownInTheBoxProcess", nullptr, Sigchld::kept, kToolFailed, kToolFailed, 1},
    {"NothingShownWithSigchldIgnored", nullptr, Sigchld::ignored, kToolFailed, kToolFailed, 1},
    {"BoxProcessCrashed", "crash.sh", Sigchld::kept, 0, 0, 1},
    {"BoxProgramIsNotTheGame", "/bin/true", Sigchld::kept, 0, 0, 1},
    {"GameStartedThroughTheLoader", "/lib64/ld-linux-x86-64.so.2", Sigchld::kept, 0, 0, 1},
};

int inProcessBoxes = 0;
void countBox(const char*, const char*, std::uint32_t) { ++inProcessBoxes; }

std::string readFile(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeScript(const fs::path& file, const std::string& body) {
    std::ofstream(file) << "#!/bin/sh\n" << body;
    fs::permissions(file, fs::perms::owner_all);
}

// A process that is gone: no such process, or one nobody has reaped yet.
bool gone(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return true;
    }
    const std::size_t end = line.rfind(')');
    return end != std::string::npos && end + 2 < line.size() && line[end + 2] == 'Z';
}

class BoxProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        // Each fake tool notes its run; one that is told to hang notes its own
        // process and its parent's, and waits for a long time.
        for (const char* tool : {"zenity", "kdialog"}) {
            const std::string code = std::string("${BOX_TEST_") + tool + "_EXIT:-0}";
            writeScript(folder_ / tool, "if [ -n \"$BOX_TEST_HANG\" ]; then echo \"$$ $PPID\" > \"$BOX_TEST_HANG\"; "
                                        "exec sleep 300; fi\n"
                                        "echo " + std::string(tool) + " " + code + " >> \"$BOX_TEST_RECORD\"\n"
                                        "exit " + code + "\n");
        }
        writeScript(folder_ / "crash.sh", "kill -SEGV $$\n");
        path_.emplace("PATH", (folder_.string() + ":/usr/bin:/bin").c_str());
        record_.emplace("BOX_TEST_RECORD", (folder_ / "runs").c_str());
    }

    void TearDown() override { fs::remove_all(folder_); }

    const fs::path folder_ = fs::temp_directory_path() / ("box_process_test_" + std::to_string(getpid()));
    std::optional<testenv::Scoped> path_;
    std::optional<testenv::Scoped> record_;
};

class BoxProcessCaseTest : public BoxProcessTest, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(BoxProcessCaseTest, EachBoxIsShownExactlyOnce) {
    const BoxCase& box = GetParam();
    if (box.program != nullptr && box.program[0] == '/' && !fs::exists(box.program)) {
        GTEST_SKIP() << box.program << " is not on this system";
    }
    // The game has its display; the box process finds none, so that only the
    // fake tools can show its box.
    if (std::getenv("DISPLAY") == nullptr || plat::displayError() != nullptr) {
        GTEST_SKIP() << "needs X (DISPLAY is unset); the test command starts Xvfb";
    }
    testenv::Scoped display("DISPLAY", nullptr);
    testenv::Scoped wayland("WAYLAND_DISPLAY", nullptr);
    testenv::Scoped driver("SDL_VIDEODRIVER", "x11");
    testenv::Scoped boxes("REDAVAVE_MESSAGE_BOXES", nullptr);
    testenv::Scoped zenity("BOX_TEST_zenity_EXIT", std::to_string(box.zenityExit).c_str());
    testenv::Scoped kdialog("BOX_TEST_kdialog_EXIT", std::to_string(box.kdialogExit).c_str());
    const std::string crash = (folder_ / "crash.sh").string();
    plat::detail::boxProgram =
        box.program == nullptr ? BOX_PROGRAM : std::string(box.program) == "crash.sh" ? crash.c_str() : box.program;
    plat::detail::boxProcessSupported = true;
    plat::detail::inProcessBox = countBox;
    inProcessBoxes = 0;

    struct sigaction inherited = {};
    if (box.sigchld == Sigchld::ignored) {
        inherited.sa_handler = SIG_IGN;
    } else if (box.sigchld == Sigchld::noChildWait) {
        inherited.sa_handler = [](int) {};
        inherited.sa_flags = SA_NOCLDWAIT;
    } else {
        inherited.sa_handler = SIG_DFL;
    }
    struct sigaction saved = {};
    sigaction(SIGCHLD, &inherited, &saved);
    EXPECT_EQ(plat::messageBox(nullptr, "The box's text", "Box Title", plat::MB_OK | plat::MB_ICONERROR), plat::IDOK);
    struct sigaction after = {};
    sigaction(SIGCHLD, &saved, &after);

    // What the player saw: the boxes of the tools that ran (SDL's box may run
    // zenity too), then the game's own.
    std::istringstream runs(readFile(folder_ / "runs"));
    int shown = 0;
    for (std::string tool, code; runs >> tool >> code;) {
        shown += code == "0" || code == "1" ? 1 : 0;
    }
    EXPECT_EQ(shown + inProcessBoxes, 1) << "tool runs:\n" << readFile(folder_ / "runs");
    EXPECT_EQ(inProcessBoxes, box.inProcessBoxes);
    EXPECT_EQ(after.sa_handler, inherited.sa_handler) << "the game's own SIGCHLD disposition is kept";
    EXPECT_EQ(after.sa_flags & SA_NOCLDWAIT, inherited.sa_flags & SA_NOCLDWAIT);
}

INSTANTIATE_TEST_SUITE_P(Cases, BoxProcessCaseTest, ::testing::ValuesIn(kBoxCases),
                         [](const ::testing::TestParamInfo<BoxCase>& box) { return std::string(box.param.name); });

TEST_F(BoxProcessTest, TheBoxGoesWithAKilledGame) {
    const fs::path pids = folder_ / "pids";
    testenv::Scoped hang("BOX_TEST_HANG", pids.c_str());
    testenv::Scoped display("DISPLAY", nullptr);
    testenv::Scoped wayland("WAYLAND_DISPLAY", nullptr);
    testenv::Scoped driver("SDL_VIDEODRIVER", "x11");
    char program[] = BOX_PROGRAM;
    char option[] = "--own-a-box";
    char* argv[] = {program, option, nullptr};
    pid_t game = -1;
    ASSERT_EQ(posix_spawn(&game, program, nullptr, nullptr, argv, environ), 0);

    pid_t tool = 0;
    pid_t box = 0;
    for (int i = 0; i < 300 && tool == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::istringstream(readFile(pids)) >> tool >> box;
    }
    ASSERT_NE(tool, 0) << "no box came up";
    kill(game, SIGKILL);
    int status = 0;
    waitpid(game, &status, 0);

    bool allGone = false;
    for (int i = 0; i < 200 && !allGone; ++i) {
        allGone = gone(box) && gone(tool);
        if (!allGone) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    EXPECT_TRUE(gone(box)) << "the box process outlived the game";
    EXPECT_TRUE(gone(tool)) << "the dialog tool outlived the game";
    for (pid_t pid : {box, tool}) {
        if (!gone(pid)) {
            kill(pid, SIGKILL);
        }
    }
}

}  // namespace
