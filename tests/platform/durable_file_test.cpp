// The player's files are replaced whole or not at all: a write stopped at each
// of its steps, by a failure or by the process being killed, leaves the old
// content or the new, never a mix and never an empty file.

#include "platform/durable_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

class DurableFileTest : public ::testing::Test {
protected:
    DurableFileTest() {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        folder_ = fs::temp_directory_path() / ("redavave-durable-" + std::to_string(stamp));
        fs::create_directories(folder_);
        path_ = (folder_ / "best-scores.txt").string();
    }
    ~DurableFileTest() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    std::string read(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream all;
        all << in.rdbuf();
        return all.str();
    }
    void write(const std::string& bytes) const { std::ofstream(path_, std::ios::binary) << bytes; }
    int filesInFolder() const {
        int count = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder_)) {
            ++count;
        }
        return count;
    }

    fs::path folder_;
    std::string path_;
};

const std::string kOld = "redavave best scores 1\n10 old.mp3\n";
const std::string kNew = "redavave best scores 1\n10 old.mp3\n99 new.mp3\n";

// A write stopped after the temporary file is written leaves the old file;
// stopped once it is renamed, the new one.
struct StepCase {
    plat::ReplaceStep step;
    const std::string& after;
};
const StepCase kSteps[] = {{plat::ReplaceStep::tempWritten, kOld}, {plat::ReplaceStep::renamed, kNew}};

plat::ReplaceStep stopAt;
bool stopHere(plat::ReplaceStep step) { return step != stopAt; }

TEST_F(DurableFileTest, AWriteThatFailsAtAStepLeavesTheOldOrTheNewFileAndNoTemporary) {
    for (const StepCase& c : kSteps) {
        SCOPED_TRACE(static_cast<int>(c.step));
        write(kOld);
        stopAt = c.step;
        std::string error;
        EXPECT_FALSE(plat::replaceFile(path_.c_str(), kNew.data(), kNew.size(), &error, stopHere));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(read(path_), c.after);
        EXPECT_EQ(filesInFolder(), 1) << "the temporary file is gone";
    }

    std::string error;
    ASSERT_TRUE(plat::replaceFile(path_.c_str(), kNew.data(), kNew.size(), &error)) << error;
    EXPECT_EQ(read(path_), kNew);
    EXPECT_EQ(filesInFolder(), 1);
}

TEST_F(DurableFileTest, AFolderThatCannotBeWrittenFailsTheWriteAndSaysWhy) {
    // Root writes anywhere: a "folder" that is a file fails for everyone.
    const std::string notAFolder = (folder_ / "plain-file").string();
    std::ofstream(notAFolder) << "x";
    const std::string path = notAFolder + "/best-scores.txt";
    std::string error;
    EXPECT_FALSE(plat::replaceFile(path.c_str(), kNew.data(), kNew.size(), &error));
    EXPECT_NE(error.find("plain-file"), std::string::npos) << error;
    EXPECT_EQ(read(notAFolder), "x");
}

#ifndef _WIN32
// A scores file the player turned into a link stays one: the file it leads to
// is replaced, beside itself.
TEST_F(DurableFileTest, ALinkedFileStaysALinkAndItsTargetIsReplaced) {
    fs::create_directories(folder_ / "synced");
    const fs::path target = folder_ / "synced" / "scores.txt";
    std::ofstream(target, std::ios::binary) << kOld;
    fs::create_symlink(target, path_);
    std::string error;
    ASSERT_TRUE(plat::replaceFile(path_.c_str(), kNew.data(), kNew.size(), &error)) << error;
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(read(target.string()), kNew);
}
#endif

TEST_F(DurableFileTest, ADamagedFileIsSetAsideUnderAFreeNameNeverOverAnother) {
    write("first damage");
    std::string aside, error;
    ASSERT_TRUE(plat::setAside(path_.c_str(), &aside, &error)) << error;
    EXPECT_EQ(aside, path_ + ".damaged-1");
    write("second damage");
    ASSERT_TRUE(plat::setAside(path_.c_str(), &aside, &error)) << error;
    EXPECT_EQ(aside, path_ + ".damaged-2");
    EXPECT_EQ(read(path_ + ".damaged-1"), "first damage");
    EXPECT_EQ(read(path_ + ".damaged-2"), "second damage");
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_FALSE(plat::setAside(path_.c_str(), &aside, &error)) << "nothing left to set aside";
}

#ifndef _WIN32

// Runs `write` in a child process that is killed with SIGKILL, from inside at
// a step or from outside after `delay`.
template <typename Write>
void killedWhileWriting(Write write, std::chrono::microseconds delay = {}) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        write();
        _exit(0);
    }
    if (delay.count() > 0) {
        std::this_thread::sleep_for(delay);
        kill(child, SIGKILL);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
}

bool killAt(plat::ReplaceStep step) {
    if (step == stopAt) {
        raise(SIGKILL);
    }
    return true;
}

TEST_F(DurableFileTest, AProcessKilledAtAStepLeavesTheOldOrTheNewFile) {
    for (const StepCase& c : kSteps) {
        SCOPED_TRACE(static_cast<int>(c.step));
        write(kOld);
        stopAt = c.step;
        killedWhileWriting([&] { plat::replaceFile(path_.c_str(), kNew.data(), kNew.size(), nullptr, killAt); });
        EXPECT_EQ(read(path_), c.after);
    }
}

TEST_F(DurableFileTest, AProcessKilledAtAnyMomentLeavesOneWholeVersion) {
    // Two large versions written in turn; killed at random moments, the file
    // is always one of them (or the first content), whole.
    std::string a = kOld, b = kOld;
    for (int i = 0; i < 60000; ++i) {
        a += std::to_string(i) + " a-song-" + std::to_string(i) + ".mp3\n";
        b += std::to_string(-i) + " b-song-" + std::to_string(i) + ".ogg\n";
    }
    std::mt19937 random(22);
    std::uniform_int_distribution<int> micros(0, 30000);
    int newVersions = 0;
    for (int round = 0; round < 25; ++round) {
        write(kOld);
        killedWhileWriting(
            [&] {
                for (int i = 0;; ++i) {
                    const std::string& next = (i % 2 == 0) ? a : b;
                    plat::replaceFile(path_.c_str(), next.data(), next.size(), nullptr);
                }
            },
            std::chrono::microseconds(1000 + micros(random)));
        const std::string now = read(path_);
        EXPECT_TRUE(now == kOld || now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
        newVersions += (now == a || now == b) ? 1 : 0;
    }
    EXPECT_GT(newVersions, 0) << "no kill came after a whole write: the test saw nothing";
}

#endif

}  // namespace
