#pragma once

// Takes the player's best scores to disk and back. The file is read once at
// start; every best set later is handed to a writer thread, which rewrites
// the whole file durably, so the main loop never waits for the disk. Outcomes
// come back to the main thread, which alone writes the log.
//
// Another copy of the game may keep the same file at the same time (started
// with another runtime folder, or on another machine sharing the home): each
// write takes the lock beside the file, reads what the file holds then, adds
// this session's bests (the higher score of a song wins) and writes it all.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "game/PlayState.h"
#include "platform/durable_file.h"

class ScoreKeeper {
public:
    explicit ScoreKeeper(std::string path = kBestScoresFile, plat::ReplaceHook hook = nullptr);
    ~ScoreKeeper();  // finishes the writes handed over, then stops its thread
    ScoreKeeper(const ScoreKeeper&) = delete;
    ScoreKeeper& operator=(const ScoreKeeper&) = delete;

    // Reads the file into `play.bestScores`, after removing the temporary
    // files of writes cut short by a crash. A damaged file is kept under a new
    // name and what could be read written back in its place. A file that
    // cannot be read, a newer version's file and a link that leads nowhere are
    // left as they are and never written over (every later best then fails to
    // be kept). Logs what it found.
    void load(PlayState& play);

    // Once a pass: hands the bests set since the last call to the writer, and
    // logs the failed writes, marking the Score menu's best as not kept.
    void keep(PlayState& play);

    // Waits until everything handed over is on disk (or failed), then keep().
    void finish(PlayState& play);

private:
    struct Outcome {
        unsigned change;  // the last best it holds
        bool written;
        std::string error;
        std::vector<std::string> notes;  // for the log
    };
    // Under the lock beside the file: what the file holds now with `bests`
    // added, written back when that changes it (a damaged file always is, once
    // kept under a new name). False with `error` when nothing could be written.
    bool merge(const BestScores& bests, std::vector<std::string>& notes, std::string& error);
    void removeUnfinishedWrites(const std::string& file);
    void writerLoop();
    void takeOutcomes(PlayState& play);

    const std::string path_;
    const plat::ReplaceHook hook_;
    bool writable_ = true;
    std::string notWritable_;  // why, when it is not

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::vector<PlayState::NewBest> handed_;  // guarded by mutex_
    unsigned handedThrough_ = 0;              // guarded by mutex_
    bool busy_ = false;                       // guarded by mutex_
    bool stopping_ = false;                   // guarded by mutex_
    std::vector<Outcome> outcomes_;           // guarded by mutex_
    std::atomic<bool> outcomesWaiting_{false};
    BestScores session_;  // the writer's: every best set since start, added to the file at each write
    std::thread writer_;
};
