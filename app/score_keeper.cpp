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

// How long a write waits for another copy's write to end.
constexpr double kLockWait = 10.0;

}  // namespace

ScoreKeeper::ScoreKeeper(std::string path, plat::ReplaceHook hook) : path_(std::move(path)), hook_(hook) {}

void ScoreKeeper::removeUnfinishedWrites(const std::string& file) {
    // Temporary files are made beside the file a link leads to. One that no
    // writer holds is a write a crash or a kill cut short, and the file it
    // was to replace is whole; one held is another copy's write going on.
    const std::size_t slash = file.find_last_of("/\\");
    const std::string folder = slash == std::string::npos ? "." : file.substr(0, slash);
    const std::string prefix = file.substr(slash == std::string::npos ? 0 : slash + 1) + ".new-";
    for (const std::string& name : plat::listFiles(folder.c_str(), [](const char*) { return true; })) {
        if (name.compare(0, prefix.size(), prefix) == 0 && temporarySuffix(name.c_str() + prefix.size())) {
            const std::string temporary = folder + "/" + name;
            if (plat::removeUnheldTemporary(temporary.c_str()) == plat::Removal::removed) {
                errorHandler.log("Removed %s, a write of the best scores cut short", temporary.c_str());
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
    std::string error;
    plat::FileTarget target;
    if (!plat::findTargetToWrite(path_.c_str(), target, &error)) {
        writable_ = false;
        if (target.dangling) {
            // Its folder not there yet (not mounted, not synced): the link
            // stays, to find the file next time.
            notWritable_ = error;
            errorHandler.log("Best scores file %s: none will be kept this time", error.c_str());
        } else {
            notWritable_ = path_ + " could not be read";
            errorHandler.log("Best scores not read, none will be kept this time: %s", error.c_str());
        }
        return;
    }
    const std::string& file = target.path;
    removeUnfinishedWrites(file);
    std::string content;
    bool missing = false;
    if (!plat::readWholeFile(file.c_str(), content, &missing, &error)) {
        if (!missing) {
            writable_ = false;
            notWritable_ = file + " could not be read";
            errorHandler.log("Best scores not read, none will be kept this time: %s", error.c_str());
        }
        return;
    }
    ScoresReading reading = parseBestScores(std::move(content));
    if (reading.newer) {
        // Its lines may mean what this version cannot know: the newer game
        // finds its file as it left it.
        writable_ = false;
        notWritable_ = file + " is from a newer version of the game";
        errorHandler.log("Best scores file %s is from a newer version of the game: left as it is, none will be kept "
                         "this time",
                         file.c_str());
        return;
    }
    if (reading.damaged) {
        // What could be read goes back under the file's own name at once: a
        // start that sets no best must not leave the next one with nothing.
        std::vector<std::string> notes;
        if (merge(BestScores(), notes, error)) {
            for (const std::string& note : notes) {
                errorHandler.log("%s", note.c_str());
            }
        } else {
            errorHandler.log("Best scores file %s is damaged (%s), %u songs read from it: %s", file.c_str(),
                             reading.problem.c_str(), static_cast<unsigned>(reading.scores.size()), error.c_str());
        }
    }
    play.bestScores = std::move(reading.scores);
}

bool ScoreKeeper::merge(const BestScores& bests, std::vector<std::string>& notes, std::string& error) {
    // The link is followed anew each time: its target may have come or gone.
    plat::FileTarget target;
    if (!plat::findTargetToWrite(path_.c_str(), target, &error)) {
        return false;
    }
    const std::string& file = target.path;
    plat::FileLock lock;
    if (!lock.take((file + ".lock").c_str(), kLockWait, &error)) {
        return false;
    }
    std::string content;
    bool missing = false;
    ScoresReading reading;
    if (plat::readWholeFile(file.c_str(), content, &missing, &error)) {
        reading = parseBestScores(std::move(content));
    } else if (!missing) {
        return false;  // what could not be read is never written over
    }
    if (reading.newer) {
        error = file + " is from a newer version of the game: left as it is";
        return false;
    }
    const std::size_t read = reading.scores.size();
    bool changed = reading.damaged;
    for (const BestScores::Entry& best : bests.entries()) {
        changed = reading.scores.offer(best.song, best.score) || changed;
    }
    if (!changed) {
        return true;
    }
    // A damaged file gets a second name first; its own stays on it until the
    // new file takes it, so a failure leaves it where it was.
    std::string aside;
    if (reading.damaged && !plat::keepCopy(file.c_str(), &aside, &error)) {
        error = file + " is damaged (" + reading.problem + ") and could not be set aside: " + error;
        return false;
    }
    const std::string text = serialiseBestScores(reading.scores);
    if (!plat::replaceFile(file.c_str(), text.data(), text.size(), &error, hook_)) {
        std::string now;
        if (!aside.empty() && plat::readWholeFile(file.c_str(), now, nullptr, nullptr) && now != text) {
            plat::removeFile(aside.c_str());  // the damaged file is still under its name
        }
        return false;
    }
    if (reading.damaged) {
        notes.push_back("Best scores file " + file + " is damaged (" + reading.problem + "): kept as " + aside + ", " +
                        std::to_string(read) + " songs read from it");
    }
    return true;
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
        for (const std::string& note : outcome.notes) {
            errorHandler.log("%s", note.c_str());
        }
        // Every write holds all the session's bests: a later success keeps what an earlier failure did not.
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
            session_.offer(best.song, best.score);
        }
        std::string error;
        std::vector<std::string> notes;
        const bool written = merge(session_, notes, error);

        lock.lock();
        busy_ = false;
        outcomes_.push_back({through, written, std::move(error), std::move(notes)});
        outcomesWaiting_.store(true, std::memory_order_release);
        idle_.notify_all();
    }
}
