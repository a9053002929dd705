#include "app/score_keeper.h"

#include <cstring>
#include <utility>

#include "diag/ErrorHandler.h"
#include "platform/files.h"
#include "platform/system.h"

namespace {

// "<digits>-<digits>": the process and attempt of a temporary file's name.
bool temporarySuffix(const char* text) {
    const char* dash = std::strchr(text, '-');
    if (dash == nullptr || dash == text || dash[1] == '\0') {
        return false;
    }
    for (const char* c = text; *c != '\0'; ++c) {
        if (c != dash && (*c < '0' || *c > '9')) {
            return false;
        }
    }
    return true;
}

}  // namespace

ScoreKeeper::ScoreKeeper(std::string path, plat::ReplaceHook hook) : path_(std::move(path)), hook_(hook) {}

void ScoreKeeper::removeUnfinishedWrites() {
    // Only the game writes these, and only one copy of it runs: one found now
    // is a write a crash or a kill cut short, and the file it was to replace
    // is whole.
    const std::size_t slash = path_.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "." : path_.substr(0, slash);
    const std::string prefix = path_.substr(slash == std::string::npos ? 0 : slash + 1) + ".new-";
    for (const std::string& name : plat::listFiles(folder.c_str(), [](const char*) { return true; })) {
        if (name.compare(0, prefix.size(), prefix) == 0 && temporarySuffix(name.c_str() + prefix.size())) {
            const std::string file = folder + "/" + name;
            if (plat::removeFile(file.c_str())) {
                errorHandler.log("Removed %s, a write of the best scores cut short", file.c_str());
            }
        }
    }
}

ScoreKeeper::~ScoreKeeper() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (writer_.joinable()) {
        writer_.join();
    }
}

void ScoreKeeper::load(PlayState& play) {
    removeUnfinishedWrites();
    std::string content;
    bool missing = false;
    std::string error;
    if (!plat::readWholeFile(path_.c_str(), content, &missing, &error)) {
        if (!missing) {
            writable_ = false;
            notWritable_ = path_ + " could not be read";
            errorHandler.log("Best scores not read, none will be kept this time: %s", error.c_str());
        }
        return;
    }
    ScoresReading reading = parseBestScores(std::move(content));
    if (reading.damaged) {
        std::string aside;
        if (plat::setAside(path_.c_str(), &aside, &error)) {
            errorHandler.log("Best scores file %s is damaged (%s): kept as %s, %u songs read from it", path_.c_str(),
                             reading.problem.c_str(), aside.c_str(), static_cast<unsigned>(reading.scores.size()));
            // What could be read goes back under the file's own name at once: a
            // start that sets no best must not leave the next one with nothing.
            const std::string readable = serialiseBestScores(reading.scores);
            if (!plat::replaceFile(path_.c_str(), readable.data(), readable.size(), &error, hook_)) {
                errorHandler.log("Best score not kept: %s", error.c_str());
            }
        } else {
            writable_ = false;
            notWritable_ = path_ + " is damaged and could not be set aside";
            errorHandler.log("Best scores file %s is damaged (%s) and could not be set aside (%s): %u songs read, "
                             "none will be kept this time",
                             path_.c_str(), reading.problem.c_str(), error.c_str(),
                             static_cast<unsigned>(reading.scores.size()));
        }
    }
    play.bestScores = std::move(reading.scores);
    written_ = play.bestScores;
}

void ScoreKeeper::keep(PlayState& play) {
    if (!play.unsavedBests.empty()) {
        for (const PlayState::NewBest& best : play.unsavedBests) {
            errorHandler.log("#New Best Score: %i for %s", best.score, best.song.c_str());
        }
        if (!writable_) {
            errorHandler.log("Best score not kept: %s", notWritable_.c_str());
            play.songEnd.notKept = play.songEnd.newBest;
            play.unsavedBests.clear();
        } else {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                for (PlayState::NewBest& best : play.unsavedBests) {
                    handed_.push_back(std::move(best));
                }
                handedThrough_ = play.bestsSet;
                if (!writer_.joinable()) {
                    writer_ = std::thread(&ScoreKeeper::writerLoop, this);
                }
            }
            play.unsavedBests.clear();
            wake_.notify_one();
        }
    }
    if (outcomesWaiting_.load(std::memory_order_acquire)) {
        takeOutcomes(play);
    }
}

void ScoreKeeper::finish(PlayState& play) {
    keep(play);
    {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return handed_.empty() && !busy_; });
    }
    takeOutcomes(play);
}

void ScoreKeeper::takeOutcomes(PlayState& play) {
    std::vector<Outcome> outcomes;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        outcomes.swap(outcomes_);
        outcomesWaiting_.store(false, std::memory_order_release);
    }
    PlayState::SongEnd& end = play.songEnd;
    for (const Outcome& outcome : outcomes) {
        // Every write holds the whole table: a later success keeps what an earlier failure did not.
        if (!outcome.written) {
            errorHandler.log("Best score not kept: %s", outcome.error.c_str());
        }
        if (end.newBest && outcome.change >= end.change) {
            end.notKept = !outcome.written;
        }
    }
}

void ScoreKeeper::writerLoop() {
    plat::lowerThreadPriority();
    std::vector<PlayState::NewBest> bests;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !handed_.empty(); });
        if (handed_.empty()) {
            return;  // stopping, nothing left to write
        }
        bests.clear();
        bests.swap(handed_);
        const unsigned through = handedThrough_;
        busy_ = true;
        lock.unlock();

        for (const PlayState::NewBest& best : bests) {
            written_.offer(best.song, best.score);
        }
        const std::string content = serialiseBestScores(written_);
        std::string error;
        const bool written = plat::replaceFile(path_.c_str(), content.data(), content.size(), &error, hook_);

        lock.lock();
        busy_ = false;
        outcomes_.push_back({through, written, error});
        outcomesWaiting_.store(true, std::memory_order_release);
        idle_.notify_all();
    }
}
