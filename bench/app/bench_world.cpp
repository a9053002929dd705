#include "bench/app/bench_world.h"

#include <unistd.h>

#include <cstdlib>

#include "tests/support/game_start.h"
#include "tests/support/lane_song.h"

namespace benchworld {

namespace fs = std::filesystem;

namespace {
testworld::WorldOptions generatedTree() {
    testworld::WorldOptions options;
    options.generatedAssets = true;
    return options;
}
}  // namespace

Folder::Folder() : TempResources("app-bench", generatedTree()) {}

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
