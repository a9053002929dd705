// The flat layer over the picture: the veil and texts of the menus and the
// pause screen, developer readouts, the score bar and the chain swatch.
// Positions come from the desktop's size, y grows upwards from the bottom.

#include <GL/gl.h>

#include <cstdio>

#include "audio/Audio.h"
#include "game/Player.h"
#include "game/song_search.h"
#include "platform/music_folder.h"
#include "platform/system.h"
#include "platform/window.h"
#include "render/FontHandler.h"
#include "text/glyph_text.h"
#include "render/scene.h"
#include "render/sprite.h"
#include "render/texture_set.h"

namespace {

// Screen positions may be negative on narrow displays; the print call takes
// them as unsigned and clips what falls outside the window.
unsigned pos(int value) { return static_cast<unsigned>(value); }

// The "Selected: " line starts 40 pixels in, and at its scale of 0.4 every
// character takes 20 pixels; one cell is kept free at the right edge.
constexpr std::size_t kSelectedLineSize = 512;
std::size_t selectedNameCells(plat::WindowHandle window) {
    constexpr int kLeft = 40, kCell = 20, kPrefixCells = 10;
    plat::Rect client{};
    plat::getClientRect(window, &client);
    const int cells = (client.right - client.left - kLeft) / kCell - kPrefixCells - 1;
    return cells > 0 ? static_cast<std::size_t>(cells) : 0;
}


}  // namespace

void drawHud(const PlayState& play, const SceneView& view) {
    const bool inMenu = play.inMenu;
    const bool firstMenu = play.firstMenu;
    const bool paused = play.paused;
    const bool devMode = play.devMode;
    const PlayState::Banner& banner = play.banner;
    glDisable(GL_LIGHTING);
    const int W = plat::getSystemMetrics(plat::SM_CXSCREEN);
    const int H = plat::getSystemMetrics(plat::SM_CYSCREEN);
    const int halfW = W / 2;
    const int halfH = H / 2;

    if (devMode) {
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    }

    glLoadIdentity();
    glEnable(GL_BLEND);
    glColor4f(0.0f, 0.0f, 0.4f, play.menuFade);
    glBegin(GL_QUADS);
    glVertex2f(-10.0f * H, 100.0f);
    glVertex2f(H + banner.width, 100.0f);
    glVertex2f(H + banner.width, 10.0f * W + 100.0f);
    glVertex2f(-10.0f * H, 10.0f * W + 100.0f);
    glEnd();
    glDisable(GL_BLEND);

    if (paused) {
        fontHandler.print(12, pos(halfH + 50), pos(halfW - 430), 0, 255, 0, 0.6f, "- Paused -");
        fontHandler.print(13, pos(halfH + 1), pos(halfW - 500), 0, 230, 0, 0.25f,
                          "(Press P To Continue, Space To Restart, Enter To Stop Song)");
        if (play.padConnected) {
            fontHandler.print(13, pos(halfH - 20), pos(halfW - 500), 0, 230, 0, 0.25f,
                              "(Pad: START To Continue, Y To Restart, BACK To Stop Song)");
        }
    }

    if (inMenu) {
        if (!firstMenu) {
            fontHandler.print(5, pos(halfH + 100), pos(halfW - 350), 0, 255, 0, 0.8f, "Your Score: %i!",
                              player.getPoints());
            // The song's best, in the free band above the help line.
            const PlayState::SongEnd& end = play.songEnd;
            if (end.shown) {
                fontHandler.print(4, pos(halfH + 72), pos(halfW - 350), 255, 255, 0, 0.4f, "Best: %i%s%s", end.best,
                                  end.newBest ? " - New Best!" : "", end.notKept ? " - Could Not Be Saved!" : "");
            }
        } else {
            fontHandler.print(11, pos(halfH + 250), pos(halfW - 450), 0, 255, 0, 0.4f, "Welcome To Redavave!");
        }
        // One hint line, for the pad while one is plugged in. Before a song
        // has ended there is nothing for START to restart: the Welcome menu
        // names the buttons that choose and play instead.
        if (play.padConnected && firstMenu) {
            fontHandler.print(6, pos(halfH + 50), pos(halfW - 400), 255, 255, 255, 0.3f,
                              "D-Pad Or LB/RB To Change Selected, A To Play, BACK To Exit.");
        } else if (play.padConnected) {
            fontHandler.print(6, pos(halfH + 50), pos(halfW - 300), 255, 255, 255, 0.3f,
                              "Press START To Restart The Game OR Press BACK To Exit");
        } else if (!firstMenu) {
            fontHandler.print(6, pos(halfH + 50), pos(halfW - 400), 255, 255, 255, 0.3f,
                              "Press SPACE To Replay, Press Enter To Play Selected.");
        } else {
            fontHandler.print(6, pos(halfH + 50), pos(halfW - 400), 255, 255, 255, 0.3f,
                              "Use The Arrow Keys To Change Selected And Press Enter To Play.");
        }
        {  // the selected song, its place in the list and its best
            const int selectedSong = play.selectedSong;
            if (selectedSong >= 0 && static_cast<size_t>(selectedSong) < play.musicList.size()) {
                // A long name is shortened in its middle so that the whole line
                // stays inside the window.
                char name[kSelectedLineSize];
                fitToCells(play.musicList[static_cast<size_t>(selectedSong)].c_str(), selectedNameCells(view.window), name,
                           sizeof name);
                fontHandler.print(10, pos(halfH + 20), 40, 255, 255, 255, 0.4f, "Selected: %s", name);
                // Where the selection is in a long list: just under the song
                // line, in a band no other text of the menus uses.
                char position[64];
                const std::size_t length = formatSongPosition(selectedSong, static_cast<int>(play.musicList.size()),
                                                              position, sizeof position);
                if (const int* best = play.bestScores.find(play.musicList[static_cast<size_t>(selectedSong)])) {
                    std::snprintf(position + length, sizeof position - length, "   Best: %i", *best);
                }
                fontHandler.print(14, pos(halfH - 15), 40, 255, 255, 0, 0.3f, "%s", position);
            } else {
                fontHandler.print(10, pos(halfH + 20), 40, 255, 255, 255, 0.4f, "Selected: (no songs in %s)",
                                  plat::kMusicFolder);
            }
        }
    }

    if (devMode) {
        const Vector3 v3Position = player.getPosition();
        fontHandler.print(3, pos(H - 40), 2, 0, 255, 0, 0.3f, "Song Pitch : %7.1f",
                          static_cast<double>(audio.getPeakFrequency()));
        fontHandler.print(7, pos(H - 60), 5, 0, 255, 0, 0.3f, "Player Pos: %f", static_cast<double>(v3Position.y));
        fontHandler.print(8, pos(H - 75), 15, 0, 255, 0, 0.3f, "Music Pos: %i:%i:%i", audio.getMinutes(),
                          audio.getSeconds(), audio.getHundredths());
        fontHandler.print(9, pos(H - 96), 20, 0, 255, 0, 0.3f, "FPS: %f", static_cast<double>(view.fps));
    }

    // Score bar: the background texture repeated twice along the bottom strip.
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, textures[TEXTURE_BAR].texID);
    glColor4f(1.0f, 1.0f, 1.0f, 0.8f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(0.0f, banner.top);
    glTexCoord2f(2.0f, 0.0f);
    glVertex2f(banner.width, banner.top);
    glTexCoord2f(2.0f, 1.0f);
    glVertex2f(banner.width, banner.top + banner.height);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, banner.top + banner.height);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);

    fontHandler.print(1, 60, 30, 256, 256, 256, 0.4f, "Player One Points:%i + %i", player.getPoints(), play.comboBonus);
    fontHandler.print(2, 30, 30, 256, 256, 256, 0.3f, "Redavave 1.3 - Game By Rodadi Vuzivi");

    setBlockColor(play.chainColor);
    glBegin(GL_QUADS);
    glVertex2f(static_cast<float>(halfW - 680), 100.0f);
    glVertex2f(static_cast<float>(halfW - 570), 100.0f);
    glVertex2f(static_cast<float>(halfW - 570), 200.0f);
    glVertex2f(static_cast<float>(halfW - 680), 200.0f);
    glEnd();

    fontHandler.print(13, 60, pos(halfW + 140), 256, 256, 256, 0.3f, "Bonus Color");

    if (devMode) {
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    }
    glDisable(GL_TEXTURE_2D);
}
