// The player's files are replaced whole or not at all: a write stopped at each
// of its steps, by a failure, a full disk or the process being killed, leaves
// the old content or the new, never a mix and never an empty file. Links are
// followed to the file they lead to; a write of another copy going on is left
// to it; the lock beside a file is held by one at a time.

#include "platform/durable_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "tests/support/file_calls.h"
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

bool isLink(const fs::path& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
#else
    return fs::is_symlink(path);
#endif
}

// A symbolic link as the player makes one; false where the system makes none
// for this user (Windows without developer mode, wine, which only says it did).
bool makeLink(fs::path leads, const fs::path& link) {
#ifdef _WIN32
    CreateSymbolicLinkW(link.c_str(), leads.make_preferred().c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
#else
    std::error_code error;
    fs::create_symlink(leads, link, error);
#endif
    return isLink(link);
}

// A path as text with one kind of separator, for comparing the system's names with the test's.
std::string slashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// A replaceFile on a thread of its own, stopped at `stopAt` until goOn().
class PausedWriter {
public:
    PausedWriter(const std::string& path, const std::string& content) {
        stopAt = plat::ReplaceStep::tempWritten;
        state = State::writing;
        thread_ = std::thread([this, path, content] {
            written_ = plat::replaceFile(path.c_str(), content.data(), content.size(), nullptr, pause);
        });
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [] { return state == State::paused; });
    }
    // Lets it finish; whether its write was done.
    bool goOn() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            state = State::going;
        }
        changed.notify_all();
        thread_.join();
        return written_;
    }

private:
    enum class State { writing, paused, going };
    static bool pause(plat::ReplaceStep step) {
        if (step == stopAt) {
            std::unique_lock<std::mutex> lock(mutex);
            state = State::paused;
            changed.notify_all();
            changed.wait(lock, [] { return state == State::going; });
        }
        return true;
    }
    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline State state = State::writing;
    std::thread thread_;
    bool written_ = false;
};

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
#endif

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

TEST_F(DurableFileTest, ADamagedFileIsKeptUnderAFreeNameAndStaysUnderItsOwn) {
    write("first damage");
    std::string aside, error;
    ASSERT_TRUE(plat::keepCopy(path_.c_str(), &aside, &error)) << error;
    EXPECT_EQ(aside, path_ + ".damaged-1");
    EXPECT_EQ(read(path_), "first damage") << "the file itself stays until something replaces it";
    fs::remove(path_);  // replaced, as every write of the game does
    write("second damage");
    ASSERT_TRUE(plat::keepCopy(path_.c_str(), &aside, &error)) << error;
    EXPECT_EQ(aside, path_ + ".damaged-2");
    EXPECT_EQ(read(path_ + ".damaged-1"), "first damage") << "never kept over another";
    EXPECT_EQ(read(path_ + ".damaged-2"), "second damage");
    fs::remove(path_);
    EXPECT_FALSE(plat::keepCopy(path_.c_str(), &aside, &error)) << "nothing to keep";
    EXPECT_FALSE(error.empty());
}

TEST_F(DurableFileTest, ALockIsHeldByOneHolderAtATime) {
    const std::string lockFile = path_ + ".lock";
    plat::FileLock first, second;
    std::string error;
    ASSERT_TRUE(first.take(lockFile.c_str(), 0.0, &error)) << error;
    EXPECT_FALSE(second.take(lockFile.c_str(), 0.05, &error));
    EXPECT_NE(error.find("stayed locked by another copy of the game"), std::string::npos) << error;
    first.release();
    EXPECT_TRUE(second.take(lockFile.c_str(), 0.0, &error)) << error;

    const std::string nowhere = (folder_ / "missing" / "best-scores.txt.lock").string();
    EXPECT_FALSE(first.take(nowhere.c_str(), 0.0, &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

// Where a file the player made a link really is: the last link's target,
// relative links read from their own folder.
TEST_F(DurableFileTest, LinksAreFollowedToTheirLastTarget) {
    fs::create_directories(folder_ / "synced" / "deep");
    std::ofstream(folder_ / "synced" / "deep" / "scores.txt") << kOld;
    if (!makeLink("deep/scores.txt", folder_ / "synced" / "relative")) {
        GTEST_SKIP() << "this system makes no symbolic links for this user";
    }
    ASSERT_TRUE(makeLink(folder_ / "synced" / "relative", folder_ / "to-a-link"));
    ASSERT_TRUE(makeLink("synced/deep/gone.txt", folder_ / "dangling"));
    ASSERT_TRUE(makeLink("loop-b", folder_ / "loop-a"));
    ASSERT_TRUE(makeLink("loop-a", folder_ / "loop-b"));
    const std::string f = slashes(folder_.string());
    const struct {
        std::string name;
        std::string target;
        bool dangling;
    } cases[] = {
        {f + "/plain.txt", f + "/plain.txt", false},  // missing, no link: a file yet to be made
        {f + "/synced/relative", f + "/synced/deep/scores.txt", false},
        {f + "/to-a-link", f + "/synced/deep/scores.txt", false},
        {f + "/dangling", f + "/synced/deep/gone.txt", true},
    };
    for (const auto& c : cases) {
        plat::FileTarget target;
        std::string error;
        ASSERT_TRUE(plat::findTarget(c.name.c_str(), target, &error)) << c.name << ": " << error;
        EXPECT_EQ(slashes(target.path), c.target) << c.name;
        EXPECT_EQ(target.dangling, c.dangling) << c.name;
    }
    plat::FileTarget target;
    std::string error;
    EXPECT_FALSE(plat::findTarget((f + "/loop-a").c_str(), target, &error));
    EXPECT_NE(error.find("loop-a"), std::string::npos) << error;
}

// Where the temporary file of the write under way is, seen from its hook.
fs::path searched, madeIn;
bool notePlace(plat::ReplaceStep step) {
    if (step == plat::ReplaceStep::tempWritten) {
        for (const auto& entry : fs::recursive_directory_iterator(searched)) {
            if (entry.path().filename().string().find(".new-") != std::string::npos) {
                madeIn = entry.path().parent_path();
            }
        }
    }
    return true;
}

// A scores file the player turned into a link stays one: the file it leads
// to is replaced, beside itself, keeping its mode; a link to nothing is not
// replaced by a file of its own.
TEST_F(DurableFileTest, ALinkedFileStaysALinkAndItsTargetIsReplacedBesideItself) {
    fs::create_directories(folder_ / "synced");
    const fs::path target = folder_ / "synced" / "scores.txt";
    for (const fs::path& leads : {target, fs::path("synced/scores.txt")}) {
        SCOPED_TRACE(leads.string());
        fs::remove(path_);
        std::ofstream(target, std::ios::binary) << kOld;
        if (!makeLink(leads, path_)) {
            GTEST_SKIP() << "this system makes no symbolic links for this user";
        }
#ifndef _WIN32
        ASSERT_EQ(chmod(target.c_str(), 0600), 0);
#endif
        std::string error;
        searched = folder_;
        madeIn.clear();
        ASSERT_TRUE(plat::replaceFile(path_.c_str(), kNew.data(), kNew.size(), &error, notePlace)) << error;
        EXPECT_TRUE(isLink(path_));
        EXPECT_EQ(read(target.string()), kNew);
        EXPECT_EQ(madeIn, folder_ / "synced");
#ifndef _WIN32
        struct stat status {};
        ASSERT_EQ(stat(target.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, 0600u);
#endif
    }

    fs::remove(target);
    std::string error;
    EXPECT_FALSE(plat::replaceFile(path_.c_str(), kNew.data(), kNew.size(), &error));
    EXPECT_EQ(slashes(error), slashes(path_ + " is a link to " + target.string() + ", which is missing"));
    EXPECT_TRUE(isLink(path_));
    EXPECT_TRUE(fs::is_empty(folder_ / "synced"));
}

// Another copy's write going on, on this machine or another, holds its
// temporary file: only what a dead writer left is removed.
TEST_F(DurableFileTest, ATemporaryFileIsRemovedOnlyWhenNoLiveWriterHoldsIt) {
    write(kOld);
    PausedWriter writer(path_, kNew);
    std::vector<std::string> temporaries;
    for (const auto& entry : fs::directory_iterator(folder_)) {
        if (entry.path().filename().string().find(".new-") != std::string::npos) {
            temporaries.push_back(entry.path().string());
        }
    }
    ASSERT_EQ(temporaries.size(), 1u);
    EXPECT_EQ(plat::removeUnheldTemporary(temporaries[0].c_str()), plat::Removal::held);
    EXPECT_TRUE(fs::exists(temporaries[0]));
    EXPECT_TRUE(writer.goOn()) << "the writer's rename found its file";
    EXPECT_EQ(read(path_), kNew);

    // A writer killed while writing, and a leftover of any other kind.
    int left = 1;
    std::ofstream(path_ + ".new-1-0") << "left";
#ifndef _WIN32
    stopAt = plat::ReplaceStep::tempWritten;
    killedWhileWriting([&] { plat::replaceFile(path_.c_str(), kOld.data(), kOld.size(), nullptr, killAt); });
    ++left;
#endif
    int removed = 0;
    for (const auto& entry : fs::directory_iterator(folder_)) {
        const std::string name = entry.path().string();
        if (name.find(".new-") != std::string::npos) {
            EXPECT_EQ(plat::removeUnheldTemporary(name.c_str()), plat::Removal::removed) << name;
            ++removed;
        }
    }
    EXPECT_EQ(removed, left);
    EXPECT_EQ(filesInFolder(), 1);
    EXPECT_EQ(read(path_), kNew);
}

#ifndef _WIN32

// Whoever could read the old file can read the new one, and no one else.
TEST_F(DurableFileTest, TheNewFileKeepsTheOldOnesModeAndGroup) {
    // Root may give the file any group; anyone else, a group of their own.
    gid_t otherGroup = getuid() == 0 ? 4242 : getgid();
    gid_t groups[64];
    const int count = getgroups(64, groups);
    for (int i = 0; getuid() != 0 && i < count; ++i) {
        if (groups[i] != getgid()) {
            otherGroup = groups[i];
        }
    }
    for (const mode_t mode : {0600, 0640, 0604, 0660, 0444}) {
        SCOPED_TRACE(mode);
        fs::remove(path_);
        write(kOld);
        ASSERT_EQ(chmod(path_.c_str(), mode), 0);
        ASSERT_EQ(chown(path_.c_str(), static_cast<uid_t>(-1), otherGroup), 0);
        std::string error;
        ASSERT_TRUE(plat::replaceFile(path_.c_str(), kNew.data(), kNew.size(), &error)) << error;
        struct stat status {};
        ASSERT_EQ(stat(path_.c_str(), &status), 0);
        EXPECT_EQ(read(path_), kNew);
        EXPECT_EQ(status.st_mode & 07777, mode);
        EXPECT_EQ(status.st_gid, otherGroup);
    }
}

// The new file is on disk before it takes the old one's name, and the name
// once the folder is: a power cut after the rename finds the new content.
TEST_F(DurableFileTest, TheNewFileIsFlushedBeforeTheRenameAndTheFolderAfter) {
    write(kOld);
    const std::string folder = fs::canonical(folder_).string();
    const std::string file = folder + "/best-scores.txt";
    const std::string temp = file + ".new-" + std::to_string(getpid()) + "-0";
    std::vector<std::string> order;
    {
        filecalls::Recording recording;
        std::string error;
        ASSERT_TRUE(plat::replaceFile(file.c_str(), kNew.data(), kNew.size(), &error)) << error;
        for (const filecalls::Call& call : recording.calls()) {
            if (call.name == "fsync" || call.name == "rename") {
                order.push_back(call.name + " " + call.path + (call.to.empty() ? "" : " > " + call.to));
            }
        }
    }
    EXPECT_EQ(order, (std::vector<std::string>{"fsync " + temp, "rename " + temp + " > " + file, "fsync " + folder}));
    EXPECT_EQ(read(path_), kNew);
}

// A full disk (or a network folder's server gone) fails the write, at the
// writing or at the flush, and leaves the old file and no temporary one.
TEST_F(DurableFileTest, AFullDiskLeavesTheOldFileAndNoTemporary) {
    for (const char* call : {"write", "fsync"}) {
        SCOPED_TRACE(call);
        write(kOld);
        std::string error;
        {
            filecalls::Recording recording;
            recording.fail(call, ".new-", ENOSPC);
            EXPECT_FALSE(plat::replaceFile(path_.c_str(), kNew.data(), kNew.size(), &error));
        }
        EXPECT_NE(error.find("cannot write " + path_ + ".new-"), std::string::npos) << error;
        EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
        EXPECT_EQ(read(path_), kOld);
        EXPECT_EQ(filesInFolder(), 1);
    }
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

int readyPipe[2];

// The lock beside the file holds between processes, and a crash drops it.
TEST_F(DurableFileTest, ALockHeldByAnotherProcessIsWaitedForAndGoesWithIt) {
    const std::string lockFile = path_ + ".lock";
    ASSERT_EQ(pipe(readyPipe), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        plat::FileLock lock;
        char byte = lock.take(lockFile.c_str(), 0.0, nullptr) ? 1 : 0;
        if (::write(readyPipe[1], &byte, 1) == 1) {
            pause();
        }
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(readyPipe[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);
    plat::FileLock lock;
    std::string error;
    EXPECT_FALSE(lock.take(lockFile.c_str(), 0.05, &error));
    kill(holder, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    EXPECT_TRUE(lock.take(lockFile.c_str(), 5.0, &error)) << error;
    close(readyPipe[0]);
    close(readyPipe[1]);
}

#endif

}  // namespace
