#pragma once

// Takes the player's best scores to disk and back. The file is read once at
// start; every best set later is handed to a writer thread, which rewrites
// the whole file durably, so the main loop never waits for the disk. Outcomes
// come back to the main thread, which alone writes the log.

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
    // files of writes cut short by a crash. A damaged file is set aside under
    // a new name first; a file that cannot be read or set aside is never
    // written over (every later best then fails to be kept). Logs what it found.
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
    };
    void removeUnfinishedWrites();
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
    BestScores written_;  // the writer's own copy of the table (the names are shared, never changed)
    std::thread writer_;
};
