#include "tests/e2e/menu_walk.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/e2e/pictures.h"

namespace e2e {

void playEachToItsScore(GameProcess& game, const std::string& run, const std::vector<MenuSong>& songs,
                        const MenuPace& pace) {
    for (std::size_t i = 0; i < songs.size(); ++i) {
        const MenuSong& song = songs[i];
        SCOPED_TRACE(song.name);
        const std::string step = run + "_" + std::to_string(i + 1);
        if (i > 0) {
            ASSERT_TRUE(game.key({"Right"}));
        }
        const auto showsName = [&](const Image& image) { return showsSelectedName(image, song.cells); };
        const Image menu = waitForPicture(game, step + "_selected", pace.selected, showsName);
        ASSERT_TRUE(showsName(menu)) << "the line ends at " << selectedSongRow(menu).right << ", its " << song.cells
                                     << " characters do not";

        ASSERT_TRUE(game.key({"Return"}));
        const auto started = std::chrono::steady_clock::now();
        if (song.minSeconds > 0.0) {  // a song too short to be seen playing has its Score screen to show for it
            ASSERT_TRUE(playing(waitForPicture(game, step + "_playing", pace.playing, playing)))
                << game.standardError();
        }
        ASSERT_TRUE(inScoreMenu(waitForPicture(game, step + "_score", pace.score, inScoreMenu)))
            << "no Score screen after the song; stderr: " << game.standardError();
        const double played = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_GE(played, song.minSeconds);
    }
}

}  // namespace e2e
