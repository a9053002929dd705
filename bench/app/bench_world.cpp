#include "bench/app/bench_world.h"

#include <unistd.h>

#include <cstdlib>

#include "tests/support/game_start.h"
#include "tests/support/lane_song.h"

namespace benchworld {

namespace fs = std::filesystem;

Folder::Folder() {
    const fs::path generated = fs::path(REDAVAVE_RUN_DIR) / "resources";
    if (!fs::is_directory(generated / "Textures")) {
        error_ = "the generated resources are missing in " + generated.string() + " (build the resources target)";
        return;
    }
    std::string pattern = (fs::temp_directory_path() / "redavave-app-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        error_ = "cannot make a scratch folder";
        return;
    }
    path_ = pattern;
    fs::create_directories(music());
    for (const fs::directory_entry& entry : fs::directory_iterator(generated)) {
        if (entry.path().filename() != "Music") {
            fs::create_symlink(entry.path(), path_ / "resources" / entry.path().filename());
        }
    }
}

Folder::~Folder() {
    if (!path_.empty()) {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
}

bool Folder::addSong(const std::string& name, fixtures::AudioFormat format, const fixtures::ToneSong& song) {
    std::string why;
    if (!fixtures::writeSong((music() / name).string(), format, song, &why)) {
        error_ = "cannot write " + name + ": " + why;
        return false;
    }
    return true;
}

Game& gameWithSong(double seconds, const char* commandLine) {
    static Game* made = [&] {
        auto* game = new Game;
        if (std::getenv("DISPLAY") == nullptr) {
            game->error = "needs an X display (DISPLAY is unset)";
        } else if (!game->folder.ready() ||
                   !game->folder.addSong("Bench.ogg", fixtures::AudioFormat::Ogg, fixtures::threeLaneSong(seconds))) {
            game->error = game->folder.error();
        } else {
            fs::current_path(game->folder.path());
            setenv("SDL_AUDIODRIVER", "dummy", 0);
            game->core = fixtures::startGameInProcess(commandLine);
            if (game->core == nullptr) {
                game->error = "the game window could not be made";
            }
        }
        return game;
    }();
    return *made;
}

}  // namespace benchworld
