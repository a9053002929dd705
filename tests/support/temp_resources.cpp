#include "tests/support/temp_resources.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <mutex>
#include <random>
#include <system_error>

namespace testworld {

namespace fs = std::filesystem;

namespace {

int processId() {
#ifdef _WIN32
    return _getpid();
#else
    return getpid();
#endif
}

// The folders of the worlds alive in this process, with the process that made
// each. A death test's child process leaves through exit(), past every
// destructor: what it made goes at its exit instead. A forked child shares its
// parent's folders and leaves them alone.
class LiveFolders {
public:
    static LiveFolders& get() {
        static LiveFolders* folders = new LiveFolders;  // outlives every world, even static ones
        return *folders;
    }

    void add(const fs::path& folder) {
        const std::lock_guard<std::mutex> hold(lock_);
        if (!exitHook_) {
            exitHook_ = std::atexit([] { get().removeOwn(); }) == 0;
        }
        folders_[folder] = processId();
    }

    void drop(const fs::path& folder) {
        const std::lock_guard<std::mutex> hold(lock_);
        folders_.erase(folder);
    }

private:
    void removeOwn() {
        const std::lock_guard<std::mutex> hold(lock_);
        std::error_code ignored;
        for (const auto& [folder, owner] : folders_) {
            if (owner != processId()) {
                continue;
            }
            if (fs::current_path(ignored) == folder) {
                fs::current_path(folder.parent_path(), ignored);  // Windows removes no working folder
            }
            fs::remove_all(folder, ignored);
        }
        folders_.clear();
    }

    std::mutex lock_;
    std::map<fs::path, int> folders_;
    bool exitHook_ = false;
};

}  // namespace

fs::path makeTempFolder(const std::string& tag) {
    std::error_code failed;
    const fs::path parent = fs::temp_directory_path(failed);
    if (failed) {
        return {};
    }
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937_64 random{std::random_device{}() ^
                                  static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
    // create_directory says false when the name is taken: another name then.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = "redavave-" + tag + "-";
        for (int i = 0; i < 6; ++i) {
            name += kLetters[letter(random)];
        }
        const fs::path candidate = parent / name;
        if (fs::create_directory(candidate, failed)) {
            fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace, failed);
            return candidate;
        }
        if (failed) {
            return {};
        }
    }
    return {};
}

namespace {

// The generated tree's folders in the world: links where the system has them
// cheaply (POSIX), copies on Windows, where links need rights a player lacks.
void bringIn(const fs::path& from, const fs::path& to, std::error_code& failed) {
#ifdef _WIN32
    fs::copy(from, to, fs::copy_options::recursive, failed);
#else
    fs::create_symlink(from, to, failed);
#endif
}

}  // namespace

TempResources::TempResources(const std::string& tag, WorldOptions options) {
    path_ = makeTempFolder(tag);
    if (path_.empty()) {
        error_ = "cannot make a scratch folder";
        return;
    }
    LiveFolders::get().add(path_);
    std::error_code failed;
    if (options.generatedAssets || options.effects) {
        fs::create_directories(music(), failed);
    }
    if (options.lockFolder) {
        fs::create_directories(lockFolder(), failed);
        fs::permissions(lockFolder(), fs::perms::owner_all, failed);
    }
    if (failed) {
        error_ = "cannot make the folders of " + path_.string() + ": " + failed.message();
        return;
    }
    if (options.generatedAssets) {
        const fs::path generated = fs::path(REDAVAVE_RUN_DIR) / "resources";
        if (!fs::is_directory(generated / "Textures")) {
            error_ = "the generated resources are missing in " + generated.string() + " (build the resources target)";
            return;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(generated)) {
            if (entry.path().filename() != "Music") {
                bringIn(entry.path(), resources() / entry.path().filename(), failed);
            }
        }
        if (failed) {
            error_ = "cannot bring in the generated resources: " + failed.message();
            return;
        }
    }
    if (options.effects && !fs::exists(resources() / "Sounds")) {
        fs::create_directories(resources() / "Sounds");
        for (const char* effect : {"blockHit", "bonusHit", "SkullHit"}) {
            const std::string path = (resources() / "Sounds" / effect).string() + ".mp3";
            std::string why;
            if (!fixtures::writeSong(path, fixtures::AudioFormat::Mp3, fixtures::tone(880.0, 0.1), &why)) {
                error_ = "cannot write " + path + ": " + why;
                return;
            }
        }
    }
    if (options.enter) {
        previous_ = fs::current_path(failed);
        fs::current_path(path_, failed);
        if (failed) {
            previous_.clear();
            error_ = "cannot enter " + path_.string() + ": " + failed.message();
        }
    }
}

TempResources::~TempResources() {
    std::error_code ignored;
    if (!previous_.empty()) {
        fs::current_path(previous_, ignored);
    }
    if (!kept_) {
        removeNow();
    }
}

void TempResources::keep() {
    kept_ = true;
    LiveFolders::get().drop(path_);
}

void TempResources::removeNow() {
    if (!path_.empty()) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
        LiveFolders::get().drop(path_);
    }
}

bool TempResources::addSong(const std::string& name, fixtures::AudioFormat format, const fixtures::ToneSong& song) {
    std::string why;
    std::error_code ignored;
    fs::create_directories(music(), ignored);
    if (!fixtures::writeSong((music() / name).string(), format, song, &why)) {
        error_ = "cannot write " + name + ": " + why;
        return false;
    }
    return true;
}

}  // namespace testworld
