// The best scores on disk from the game's side: a damaged file set aside and
// named in the log, what could be read kept, bests written only when they
// change, and a write that fails costing a log line and the menu's note; a
// newer version's file, a link, a full disk and a second copy of the game
// writing at the same time, none of them losing a best once kept.

#include "app/score_keeper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "game/screens.h"
#include "tests/diag/working_folder.h"

#ifndef _WIN32
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "tests/support/file_calls.h"
#endif

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Byte for byte, also on Windows (the folder's own write is text mode).
void writeFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::string logText(const WorkingFolder& folder) {
    std::string text;
    for (const std::string& line : folder.lines()) {
        text += line + "\n";
    }
    return text;
}

void finishSong(PlayState& play, ScoreKeeper& keeper, const std::string& song, int points) {
    play.playingSong = song;
    keepBest(play, points);
    keeper.finish(play);
}

const std::string kHead = std::string(kBestScoresVersionLine) + "\n";

TEST(ScoreKeeper, ADamagedFileIsSetAsideLoggedAndWhatWasReadIsKept) {
    const struct {
        const char* what;
        std::string content;
        std::map<std::string, int> read;
        const char* problem;
    } cases[] = {
        {"cut short", kHead + "12 a.mp3\n40 b.m", {{"a.mp3", 12}}, "line 3: cut short"},
        {"garbage", kHead + "12 a.mp3\n\xFF\xFE\x01\n", {{"a.mp3", 12}}, "line 3: not a score and a song"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WorkingFolder folder;
        writeFile(folder.path() / kBestScoresFile, c.content);
        PlayState play;
        ScoreKeeper keeper;
        keeper.load(play);
        EXPECT_EQ(play.bestScores.size(), c.read.size());
        for (const auto& [song, score] : c.read) {
            ASSERT_NE(play.bestScores.find(song), nullptr) << song;
            EXPECT_EQ(*play.bestScores.find(song), score);
        }
        EXPECT_THAT(logText(folder), HasSubstr(std::string("Best scores file best-scores.txt is damaged (") + c.problem +
                                               "): kept as best-scores.txt.damaged-1"));
        EXPECT_EQ(readFile(folder.path() / "best-scores.txt.damaged-1"), c.content) << "kept byte for byte";
        // What was read is on disk again at once, so a start that sets no best
        // leaves it for the next one.
        std::string expected = kHead;
        for (const auto& [song, score] : c.read) {
            expected += std::to_string(score) + " " + song + "\n";
        }
        EXPECT_EQ(readFile(folder.path() / kBestScoresFile), expected);
        {
            PlayState next;
            ScoreKeeper again;
            again.load(next);
            EXPECT_EQ(next.bestScores.size(), c.read.size());
        }

        // The next best writes a whole good file of what was read and the new best.
        finishSong(play, keeper, "new.ogg", 5);
        expected += "5 new.ogg\n";
        EXPECT_EQ(readFile(folder.path() / kBestScoresFile), expected);
        EXPECT_EQ(readFile(folder.path() / "best-scores.txt.damaged-1"), c.content);
    }
}

// A newer version's file is that version's own: left as it is, byte for
// byte, and no best kept this session.
TEST(ScoreKeeper, ANewerVersionsFileIsLeftAsItIsAndNoBestIsKept) {
    WorkingFolder folder;
    const fs::path file = folder.path() / kBestScoresFile;
    const std::string newer = "redavave best scores 2\n12 a.mp3 with a meaning of its own\n";
    writeFile(file, newer);
    PlayState play;
    ScoreKeeper keeper;
    keeper.load(play);
    EXPECT_EQ(play.bestScores.size(), 0u);
    EXPECT_THAT(logText(folder), HasSubstr("Best scores file best-scores.txt is from a newer version of the game: "
                                           "left as it is, none will be kept this time"));
    finishSong(play, keeper, "b.mp3", 5);
    EXPECT_TRUE(play.songEnd.newBest);
    EXPECT_TRUE(play.songEnd.notKept);
    EXPECT_THAT(logText(folder),
                HasSubstr("Best score not kept: best-scores.txt is from a newer version of the game"));
    EXPECT_EQ(readFile(file), newer);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 2)
        << "the scores and the log, nothing set aside";
}

// Each write takes the file as it is then, left by another copy of the game
// or by the player: a newer version's is left alone, a damaged one is kept
// aside, and every song's higher score stays.
TEST(ScoreKeeper, EachWriteTakesTheFileAsItIsThen) {
    WorkingFolder folder;
    const fs::path file = folder.path() / kBestScoresFile;
    writeFile(file, kHead + "30 a.mp3\n");
    PlayState play;
    ScoreKeeper keeper;
    keeper.load(play);

    const std::string newer = "redavave best scores 3\n1 x\n";
    writeFile(file, newer);
    finishSong(play, keeper, "b.mp3", 5);
    EXPECT_TRUE(play.songEnd.notKept);
    EXPECT_THAT(logText(folder), HasSubstr("Best score not kept: best-scores.txt is from a newer version of the "
                                           "game: left as it is"));
    EXPECT_EQ(readFile(file), newer);

    const std::string damaged = kHead + "40 z.mp3\n1 cut sh";
    writeFile(file, damaged);
    finishSong(play, keeper, "c.mp3", 6);
    EXPECT_FALSE(play.songEnd.notKept);
    EXPECT_THAT(logText(folder), HasSubstr("Best scores file best-scores.txt is damaged (line 3: cut short): kept as "
                                           "best-scores.txt.damaged-1, 1 songs read from it"));
    EXPECT_EQ(readFile(folder.path() / "best-scores.txt.damaged-1"), damaged);
    EXPECT_EQ(readFile(file), kHead + "5 b.mp3\n6 c.mp3\n40 z.mp3\n") << "with the best a failed write had not kept";

    writeFile(file, kHead + "99 a.mp3\n5 b.mp3\n6 c.mp3\n");
    finishSong(play, keeper, "a.mp3", 31);
    EXPECT_TRUE(play.songEnd.newBest) << "this copy's own best";
    EXPECT_FALSE(play.songEnd.notKept);
    EXPECT_EQ(readFile(file), kHead + "99 a.mp3\n5 b.mp3\n6 c.mp3\n") << "the file's higher score stays";
}

TEST(ScoreKeeper, AGoodFileLoadsQuietlyAndIsWrittenOnlyWhenABestChanges) {
    WorkingFolder folder;
    const std::string good = kHead + "30 a.mp3\n";
    writeFile(folder.path() / kBestScoresFile, good);
    const auto written = fs::last_write_time(folder.path() / kBestScoresFile);
    PlayState play;
    ScoreKeeper keeper;
    keeper.load(play);
    ASSERT_NE(play.bestScores.find("a.mp3"), nullptr);
    EXPECT_EQ(*play.bestScores.find("a.mp3"), 30);

    finishSong(play, keeper, "a.mp3", 10);
    EXPECT_FALSE(play.songEnd.newBest);
    EXPECT_EQ(play.songEnd.best, 30);
    EXPECT_EQ(fs::last_write_time(folder.path() / kBestScoresFile), written) << "a lower score writes nothing";

    finishSong(play, keeper, "a.mp3", 31);
    EXPECT_TRUE(play.songEnd.newBest);
    EXPECT_FALSE(play.songEnd.notKept);
    EXPECT_EQ(readFile(folder.path() / kBestScoresFile), kHead + "31 a.mp3\n");
    EXPECT_THAT(logText(folder), HasSubstr("#New Best Score: 31 for a.mp3"));
    EXPECT_THAT(logText(folder), ::testing::Not(HasSubstr("damaged")));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 3)
        << "the scores, their lock and the log, no temporary file left";
}

TEST(ScoreKeeper, TemporaryFilesOfWritesCutShortGoAndNothingElse) {
    WorkingFolder folder;
    writeFile(folder.path() / kBestScoresFile, kHead + "30 a.mp3\n");
    const char* ours[] = {"best-scores.txt.new-4242-0", "best-scores.txt.new-17-3"};
    const char* notOurs[] = {"best-scores.txt.new-", "best-scores.txt.new-12-3.bak", "best-scores.txt.new-x-1",
                             "best-scores.txt.damaged-1", "my-best-scores.txt.new-1-0"};
    for (const char* name : ours) {
        writeFile(folder.path() / name, kHead + "1 half a fi");
    }
    for (const char* name : notOurs) {
        writeFile(folder.path() / name, "keep me");
    }
    PlayState play;
    ScoreKeeper keeper;
    keeper.load(play);
    for (const char* name : ours) {
        EXPECT_FALSE(fs::exists(folder.path() / name)) << name;
        EXPECT_THAT(logText(folder), HasSubstr(std::string("Removed ./") + name + ", a write of the best scores cut short"));
    }
    for (const char* name : notOurs) {
        EXPECT_EQ(readFile(folder.path() / name), "keep me") << name;
    }
    ASSERT_NE(play.bestScores.find("a.mp3"), nullptr);
}

plat::ReplaceStep failAt = plat::ReplaceStep::tempWritten;
bool failing = true;
bool failWhenAsked(plat::ReplaceStep step) { return !(failing && step == failAt); }

TEST(ScoreKeeper, AFailedWriteIsLoggedAndShownThenALaterWriteKeepsEverything) {
    WorkingFolder folder;
    writeFile(folder.path() / kBestScoresFile, kHead + "30 a.mp3\n");
    PlayState play;
    ScoreKeeper keeper(kBestScoresFile, failWhenAsked);
    keeper.load(play);

    failing = true;
    finishSong(play, keeper, "b.mp3", 12);
    EXPECT_TRUE(play.songEnd.newBest);
    EXPECT_TRUE(play.songEnd.notKept);
    EXPECT_THAT(logText(folder), HasSubstr("Best score not kept: stopped after writing best-scores.txt.new-"));
    EXPECT_EQ(readFile(folder.path() / kBestScoresFile), kHead + "30 a.mp3\n") << "the old file stays";

    failing = false;
    finishSong(play, keeper, "c.mp3", 7);
    EXPECT_FALSE(play.songEnd.notKept);
    EXPECT_EQ(readFile(folder.path() / kBestScoresFile), kHead + "30 a.mp3\n12 b.mp3\n7 c.mp3\n");
}

TEST(ScoreKeeper, AFileThatCannotBeReadIsNeverWrittenOver) {
    WorkingFolder folder;
    fs::create_directories(folder.path() / kBestScoresFile / "inside");  // a folder in its place
    PlayState play;
    ScoreKeeper keeper;
    keeper.load(play);
    EXPECT_THAT(logText(folder), HasSubstr("Best scores not read, none will be kept this time"));

    finishSong(play, keeper, "a.mp3", 3);
    EXPECT_TRUE(play.songEnd.newBest) << "play goes on with the best in memory";
    EXPECT_TRUE(play.songEnd.notKept);
    EXPECT_THAT(logText(folder), HasSubstr("Best score not kept: best-scores.txt could not be read"));
    EXPECT_TRUE(fs::is_directory(folder.path() / kBestScoresFile / "inside"));
}

#ifndef _WIN32

// Until the readable part of a damaged file has taken its name, the damaged
// file is there under it: a full disk on the way leaves it as it was, for
// the next start to try again.
TEST(ScoreKeeper, ADamagedFileStaysUnderItsNameUntilItsReadablePartIsWritten) {
    const std::string damaged = kHead + "12 a.mp3\n40 b.m";
    const struct {
        const char* what;
        const char* call;  // fails with ENOSPC on the temporary file, or null
    } cases[] = {{"room on the disk", nullptr}, {"full at the write", "write"}, {"full at the flush", "fsync"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WorkingFolder folder;
        const fs::path file = folder.path() / kBestScoresFile;
        writeFile(file, damaged);
        PlayState play;
        ScoreKeeper keeper;
        std::vector<filecalls::Call> calls;
        {
            filecalls::Recording recording(file.string());
            if (c.call != nullptr) {
                recording.fail(c.call, ".new-", ENOSPC);
            }
            keeper.load(play);
            calls = recording.calls();
        }
        ASSERT_FALSE(calls.empty());
        for (const filecalls::Call& call : calls) {
            EXPECT_TRUE(call.watchedThere) << "gone after " << call.name << " " << call.path << " " << call.to;
        }
        ASSERT_NE(play.bestScores.find("a.mp3"), nullptr) << "what was read is played with all the same";
        if (c.call == nullptr) {
            EXPECT_EQ(readFile(file), kHead + "12 a.mp3\n");
            EXPECT_EQ(readFile(folder.path() / "best-scores.txt.damaged-1"), damaged);
            continue;
        }
        EXPECT_THAT(logText(folder), HasSubstr("Best scores file best-scores.txt is damaged (line 3: cut short), 1 "
                                               "songs read from it: cannot write best-scores.txt.new-"));
        EXPECT_THAT(logText(folder), HasSubstr("No space left on device"));
        EXPECT_EQ(readFile(file), damaged) << "byte for byte";
        EXPECT_FALSE(fs::exists(folder.path() / "best-scores.txt.damaged-1")) << "no copy of what is still there";

        // Room again: the next start keeps the damaged file aside and writes what it read.
        PlayState next;
        ScoreKeeper again;
        again.load(next);
        EXPECT_EQ(readFile(file), kHead + "12 a.mp3\n");
        EXPECT_EQ(readFile(folder.path() / "best-scores.txt.damaged-1"), damaged);
    }
}

// A scores file the player made a link, absolute or relative or to another
// link, into a folder that is synced, say: read, kept aside and written
// where it leads, the link staying a link; while that folder is not there,
// left alone.
TEST(ScoreKeeper, AScoresFileThatIsALinkIsKeptWhereItLeads) {
    const struct {
        const char* what;
        std::function<void(const fs::path& folder)> link;
    } shapes[] = {
        {"absolute", [](const fs::path& f) { fs::create_symlink(f / "synced" / "scores.txt", f / kBestScoresFile); }},
        {"relative", [](const fs::path& f) { fs::create_symlink("synced/scores.txt", f / kBestScoresFile); }},
        {"to a link", [](const fs::path& f) {
             fs::create_symlink("scores.txt", f / "synced" / "link");
             fs::create_symlink("synced/link", f / kBestScoresFile);
         }},
    };
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.what);
        for (const std::string& content : {kHead + "30 a.mp3\n", kHead + "30 a.mp3\n12 b.m"}) {
            const bool damaged = content.back() != '\n';
            SCOPED_TRACE(damaged ? "damaged" : "good");
            WorkingFolder folder;
            fs::create_directories(folder.path() / "synced");
            const fs::path target = folder.path() / "synced" / "scores.txt";
            writeFile(target, content);
            writeFile(folder.path() / "synced" / "scores.txt.new-999999-0", "cut short");
            shape.link(folder.path());
            PlayState play;
            ScoreKeeper keeper;
            keeper.load(play);
            EXPECT_FALSE(fs::exists(folder.path() / "synced" / "scores.txt.new-999999-0"))
                << "left where temporary files are made\n" << logText(folder);
            ASSERT_NE(play.bestScores.find("a.mp3"), nullptr);
            finishSong(play, keeper, "c.mp3", 7);
            EXPECT_FALSE(play.songEnd.notKept) << logText(folder);
            EXPECT_TRUE(fs::is_symlink(folder.path() / kBestScoresFile));
            EXPECT_EQ(readFile(target), kHead + "30 a.mp3\n7 c.mp3\n");
            if (damaged) {
                EXPECT_EQ(readFile(folder.path() / "synced" / "scores.txt.damaged-1"), content);
            }
            for (const auto& entry : fs::directory_iterator(folder.path())) {
                const std::string name = entry.path().filename().string();
                EXPECT_TRUE(name == kBestScoresFile || name == "synced" || name == "log.txt") << name << " beside the link";
            }
        }

        // The synced folder not there yet.
        WorkingFolder folder;
        fs::create_directories(folder.path() / "synced");
        shape.link(folder.path());
        PlayState play;
        ScoreKeeper keeper;
        keeper.load(play);
        const std::string where = std::string(kBestScoresFile) + " is a link to " +
                                  (shape.what == std::string("absolute") ? folder.path().string() + "/" : "") +
                                  "synced/scores.txt, which is missing";
        EXPECT_THAT(logText(folder), HasSubstr("Best scores file " + where + ": none will be kept this time"));
        finishSong(play, keeper, "c.mp3", 7);
        EXPECT_TRUE(play.songEnd.newBest);
        EXPECT_TRUE(play.songEnd.notKept);
        EXPECT_THAT(logText(folder), HasSubstr("Best score not kept: " + where));
        EXPECT_TRUE(fs::is_symlink(folder.path() / kBestScoresFile));
        for (const auto& entry : fs::directory_iterator(folder.path() / "synced")) {
            EXPECT_TRUE(fs::is_symlink(entry.path())) << entry.path() << ": nothing is made where the link leads";
        }
    }
}

// A disk really full (a small tmpfs, where this user may mount one): the
// damaged file and the bests already kept stay whole, and the menu says the
// new best was not saved.
TEST(ScoreKeeper, OnAFullDiskNothingKeptIsLostAndTheMenuSaysSo) {
    WorkingFolder folder;
    const fs::path disk = folder.path() / "full";
    fs::create_directories(disk);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "mounting a tmpfs needs root (CAP_SYS_ADMIN)";
    }
    struct Unmount {
        const fs::path& at;
        ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
    } unmount{disk};
    const fs::path file = disk / kBestScoresFile;
    std::string damaged = kHead;
    for (int i = 0; i < 100; ++i) {
        damaged += std::to_string(i) + " Artist/Album/Song " + std::to_string(i) + ".ogg\n";
    }
    damaged += "12 cut sh";
    writeFile(file, damaged);
    {
        std::ofstream filler(disk / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size()) && filler.flush()) {
        }
    }
    PlayState play;
    ScoreKeeper keeper((disk / kBestScoresFile).string());
    keeper.load(play);
    EXPECT_EQ(play.bestScores.size(), 100u);
    EXPECT_THAT(logText(folder), HasSubstr("No space left on device"));
    EXPECT_EQ(readFile(file), damaged);

    finishSong(play, keeper, "new.ogg", 5);
    EXPECT_TRUE(play.songEnd.newBest);
    EXPECT_TRUE(play.songEnd.notKept);
    EXPECT_THAT(logText(folder), ::testing::ContainsRegex("Best score not kept: [^\n]*No space left on device"));
    EXPECT_EQ(readFile(file), damaged);
    for (const auto& entry : fs::directory_iterator(disk)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == kBestScoresFile || name == "filler" || name == "best-scores.txt.lock") << name;
    }
}

// A writer paused in a child process, until the test lets it go on.
int readyPipe[2], goPipe[2];
bool pauseWhenWritten(plat::ReplaceStep step) {
    char byte = 1;
    return step != plat::ReplaceStep::tempWritten ||
           (::write(readyPipe[1], &byte, 1) == 1 && ::read(goPipe[0], &byte, 1) == 1);
}

// A copy of the game in a child process that loads the scores, says so and
// waits for the word to go, then finishes `songs`; exits 1 when a best was not kept.
pid_t secondCopy(const std::function<void(PlayState&, ScoreKeeper&)>& songs, plat::ReplaceHook hook = nullptr) {
    const pid_t child = fork();
    if (child != 0) {
        return child;
    }
    PlayState play;
    ScoreKeeper keeper(kBestScoresFile, hook);
    keeper.load(play);
    char byte = 1;
    if (::write(readyPipe[1], &byte, 1) != 1 || ::read(goPipe[0], &byte, 1) != 1) {
        _exit(2);
    }
    songs(play, keeper);
    _exit(play.songEnd.notKept ? 1 : 0);
}

int exitOf(pid_t child) {
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Two copies of the game on one scores file (started with different runtime
// folders, or on two machines sharing a home) keep every best of both, the
// higher of a song both played.
TEST(ScoreKeeper, TwoCopiesWritingAtOnceKeepEveryBestOfBoth) {
    WorkingFolder folder;
    writeFile(folder.path() / kBestScoresFile, kHead + "50 both.ogg\n");
    ASSERT_EQ(pipe(readyPipe), 0);
    ASSERT_EQ(pipe(goPipe), 0);
    constexpr int kSongs = 15;
    pid_t copies[2];
    for (int copy = 0; copy < 2; ++copy) {
        copies[copy] = secondCopy([copy](PlayState& play, ScoreKeeper& keeper) {
            for (int i = 0; i < kSongs; ++i) {
                finishSong(play, keeper, "copy" + std::to_string(copy) + "-" + std::to_string(i) + ".ogg", i);
                if (play.songEnd.notKept) {
                    return;
                }
                finishSong(play, keeper, "both.ogg", 51 + i * 2 + copy);
                if (play.songEnd.notKept) {
                    return;
                }
            }
        });
        ASSERT_GT(copies[copy], 0);
    }
    char byte = 0;
    for (int copy = 0; copy < 2; ++copy) {
        ASSERT_EQ(::read(readyPipe[0], &byte, 1), 1);
    }
    ASSERT_EQ(::write(goPipe[1], "gg", 2), 2);
    for (const pid_t copy : copies) {
        EXPECT_EQ(exitOf(copy), 0) << logText(folder);
    }
    for (int* ends : {readyPipe, goPipe}) {
        close(ends[0]);
        close(ends[1]);
    }

    PlayState play;
    ScoreKeeper keeper;
    keeper.load(play);
    EXPECT_EQ(play.bestScores.size(), 2u * kSongs + 1) << readFile(folder.path() / kBestScoresFile);
    for (int copy = 0; copy < 2; ++copy) {
        for (int i = 0; i < kSongs; ++i) {
            const std::string song = "copy" + std::to_string(copy) + "-" + std::to_string(i) + ".ogg";
            ASSERT_NE(play.bestScores.find(song), nullptr) << song;
            EXPECT_EQ(*play.bestScores.find(song), i);
        }
    }
    ASSERT_NE(play.bestScores.find("both.ogg"), nullptr);
    EXPECT_EQ(*play.bestScores.find("both.ogg"), 51 + (kSongs - 1) * 2 + 1);
    EXPECT_THAT(logText(folder), ::testing::Not(HasSubstr("not kept")));
}

// A copy that starts while another writes leaves the other's temporary file.
TEST(ScoreKeeper, AStartLeavesTheWriteOfAnotherCopyGoingOn) {
    WorkingFolder folder;
    writeFile(folder.path() / kBestScoresFile, kHead + "30 a.mp3\n");
    ASSERT_EQ(pipe(readyPipe), 0);
    ASSERT_EQ(pipe(goPipe), 0);
    const pid_t writer = secondCopy(
        [](PlayState& play, ScoreKeeper& keeper) { finishSong(play, keeper, "other.ogg", 9); }, pauseWhenWritten);
    ASSERT_GT(writer, 0);
    char byte = 0;
    ASSERT_EQ(::read(readyPipe[0], &byte, 1), 1);  // loaded
    ASSERT_EQ(::write(goPipe[1], &byte, 1), 1);
    ASSERT_EQ(::read(readyPipe[0], &byte, 1), 1);  // its new file written, not yet renamed

    PlayState play;
    ScoreKeeper keeper;
    keeper.load(play);
    EXPECT_THAT(logText(folder), ::testing::Not(HasSubstr("Removed")));
    ASSERT_EQ(::write(goPipe[1], &byte, 1), 1);
    EXPECT_EQ(exitOf(writer), 0) << logText(folder);
    EXPECT_EQ(readFile(folder.path() / kBestScoresFile), kHead + "30 a.mp3\n9 other.ogg\n");
    for (int* ends : {readyPipe, goPipe}) {
        close(ends[0]);
        close(ends[1]);
    }
}

#endif

}  // namespace
