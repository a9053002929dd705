// The flat layer over the picture: the veil and texts of the menus and the
// pause screen, developer readouts, the score bar and the chain swatch.
// Positions come from the desktop's size, y grows upwards from the bottom.

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
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

// The HUD is laid out for screens of up to 1200 lines. On a taller one every
// figure in pixels grows with its height (1.2 times at 1440 lines, 1.8 times
// at 2160), so that the HUD keeps its share of the picture; on a screen
// turned upright the rows grow only as far as its width lets them stay whole.
float hudScale(int width, int height) {
    const float byHeight = static_cast<float>(height) / 1200.0f;
    const float byWidth = static_cast<float>(width) / 1280.0f;
    return std::max(1.0f, std::min(byHeight, byWidth));
}

// Where the rows of the HUD go on a screen of W x H pixels: each row is
// written with the offsets and the text scale of the 1200-line layout, from
// the centre or from an edge, and placed here, grown by the HUD's scale.
struct HudLayout {
    HudLayout(int width, int height) : W(width), H(height), s(hudScale(width, height)) {}

    // A figure of the 1200-line layout on this screen, in whole pixels.
    int grown(int figure) const { return static_cast<int>(std::lround(static_cast<float>(figure) * s)); }
    // Screen positions may be negative on narrow displays; the print call
    // takes them as unsigned and starts such a text at the window's edge.
    std::uint32_t centreX(int offset) const { return static_cast<std::uint32_t>(W / 2 + grown(offset)); }
    std::uint32_t centreY(int offset) const { return static_cast<std::uint32_t>(H / 2 + grown(offset)); }
    std::uint32_t left(int offset) const { return static_cast<std::uint32_t>(grown(offset)); }
    std::uint32_t bottom(int offset) const { return static_cast<std::uint32_t>(grown(offset)); }
    std::uint32_t belowTop(int offset) const { return static_cast<std::uint32_t>(H - grown(offset)); }
    float text(float scale) const { return scale * s; }

    const int W;
    const int H;
    const float s;
};

// The "Selected: " line starts 40 pixels in, and at its scale of 0.4 every
// character takes 20 pixels (both grown on tall screens); one cell is kept
// free at the right edge.
constexpr std::size_t kSelectedLineSize = 512;
constexpr int kSelectedLeft = 40;
constexpr float kSelectedScale = 0.4f;
std::size_t selectedNameCells(plat::WindowHandle window, const HudLayout& at) {
    constexpr int kPrefixCells = 10;
    plat::Rect client{};
    plat::getClientRect(window, &client);
    const float cell = static_cast<float>(kFontCell) * at.text(kSelectedScale);
    const int room = client.right - client.left - at.grown(kSelectedLeft);
    const int cells = static_cast<int>(static_cast<float>(room) / cell) - kPrefixCells - 1;
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
    const HudLayout at(W, H);
    // The score bar along the bottom; the veil covers everything above it.
    const float barTop = banner.top + banner.height * at.s;

    if (devMode) {
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    }

    // The veil over everything above the score bar. While a song plays it is
    // wholly transparent: blending it over the whole picture would change no
    // pixel, and costs a software renderer a third of its work in a pass.
    if (play.menuFade > 0.0f) {
        glLoadIdentity();
        glEnable(GL_BLEND);
        glColor4f(0.0f, 0.0f, 0.4f, play.menuFade);
        glBegin(GL_QUADS);
        glVertex2f(-10.0f * H, barTop);
        glVertex2f(H + banner.width, barTop);
        glVertex2f(H + banner.width, 10.0f * W + barTop);
        glVertex2f(-10.0f * H, 10.0f * W + barTop);
        glEnd();
        glDisable(GL_BLEND);
    }

    if (paused) {
        fontHandler.print(12, at.centreY(50), at.centreX(-430), 0, 255, 0, at.text(0.6f), "- Paused -");
        fontHandler.print(13, at.centreY(1), at.centreX(-500), 0, 230, 0, at.text(0.25f),
                          "(Press P To Continue, Space To Restart, Enter To Stop Song)");
        if (play.padConnected) {
            fontHandler.print(13, at.centreY(-20), at.centreX(-500), 0, 230, 0, at.text(0.25f),
                              "(Pad: START To Continue, Y To Restart, BACK To Stop Song)");
        }
    }

    if (inMenu) {
        if (!firstMenu) {
            fontHandler.print(5, at.centreY(100), at.centreX(-350), 0, 255, 0, at.text(0.8f), "Your Score: %i!",
                              player.getPoints());
            // The song's best, in the free band above the help line.
            const PlayState::SongEnd& end = play.songEnd;
            if (end.shown) {
                fontHandler.print(4, at.centreY(72), at.centreX(-350), 255, 255, 0, at.text(0.4f), "Best: %i%s%s",
                                  end.best, end.newBest ? " - New Best!" : "",
                                  end.notKept ? " - Could Not Be Saved!" : "");
            }
        } else {
            fontHandler.print(11, at.centreY(250), at.centreX(-450), 0, 255, 0, at.text(0.4f), "Welcome To Redavave!");
        }
        // One hint line, for the pad while one is plugged in. Before a song
        // has ended there is nothing for START to restart: the Welcome menu
        // names the buttons that choose and play instead.
        if (play.padConnected && firstMenu) {
            fontHandler.print(6, at.centreY(50), at.centreX(-400), 255, 255, 255, at.text(0.3f),
                              "D-Pad Or LB/RB To Change Selected, A To Play, BACK To Exit.");
        } else if (play.padConnected) {
            fontHandler.print(6, at.centreY(50), at.centreX(-300), 255, 255, 255, at.text(0.3f),
                              "Press START To Restart The Game OR Press BACK To Exit");
        } else if (!firstMenu) {
            fontHandler.print(6, at.centreY(50), at.centreX(-400), 255, 255, 255, at.text(0.3f),
                              "Press SPACE To Replay, Press Enter To Play Selected.");
        } else {
            fontHandler.print(6, at.centreY(50), at.centreX(-400), 255, 255, 255, at.text(0.3f),
                              "Use The Arrow Keys To Change Selected And Press Enter To Play.");
        }
        {  // the selected song, its place in the list and its best
            const int selectedSong = play.selectedSong;
            if (selectedSong >= 0 && static_cast<size_t>(selectedSong) < play.musicList.size()) {
                // A long name is shortened in its middle so that the whole line
                // stays inside the window.
                char name[kSelectedLineSize];
                fitToCells(play.musicList[static_cast<size_t>(selectedSong)].c_str(),
                           selectedNameCells(view.window, at), name, sizeof name);
                fontHandler.print(10, at.centreY(20), at.left(kSelectedLeft), 255, 255, 255, at.text(kSelectedScale),
                                  "Selected: %s", name);
                // Where the selection is in a long list: just under the song
                // line, in a band no other text of the menus uses.
                char position[64];
                const std::size_t length = formatSongPosition(selectedSong, static_cast<int>(play.musicList.size()),
                                                              position, sizeof position);
                if (const int* best = play.bestScores.find(play.musicList[static_cast<size_t>(selectedSong)])) {
                    std::snprintf(position + length, sizeof position - length, "   Best: %i", *best);
                }
                fontHandler.print(14, at.centreY(-15), at.left(kSelectedLeft), 255, 255, 0, at.text(0.3f), "%s",
                                  position);
            } else {
                fontHandler.print(10, at.centreY(20), at.left(kSelectedLeft), 255, 255, 255, at.text(kSelectedScale),
                                  "Selected: (no songs in %s)", plat::kMusicFolder);
            }
        }
    }

    if (devMode) {
        const Vector3 v3Position = player.getPosition();
        fontHandler.print(3, at.belowTop(40), at.left(2), 0, 255, 0, at.text(0.3f), "Song Pitch : %7.1f",
                          static_cast<double>(audio.getPeakFrequency()));
        fontHandler.print(7, at.belowTop(60), at.left(5), 0, 255, 0, at.text(0.3f), "Player Pos: %f",
                          static_cast<double>(v3Position.y));
        fontHandler.print(8, at.belowTop(75), at.left(15), 0, 255, 0, at.text(0.3f), "Music Pos: %i:%i:%i",
                          audio.getMinutes(), audio.getSeconds(), audio.getHundredths());
        fontHandler.print(9, at.belowTop(96), at.left(20), 0, 255, 0, at.text(0.3f), "FPS: %f",
                          static_cast<double>(view.fps));
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
    glVertex2f(banner.width, barTop);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(0.0f, barTop);
    glEnd();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);

    fontHandler.print(1, at.bottom(60), at.left(30), 256, 256, 256, at.text(0.4f), "Player One Points:%i + %i",
                      player.getPoints(), play.comboBonus);
    fontHandler.print(2, at.bottom(30), at.left(30), 256, 256, 256, at.text(0.3f),
                      "Redavave 1.3 - Game By Rodadi Vuzivi");

    // The chain swatch is placed in the space the credit line leaves behind:
    // from the pen after its last glyph, at its scale, so it grows with it.
    const int halfW = W / 2;
    setBlockColor(play.chainColor);
    glBegin(GL_QUADS);
    glVertex2f(static_cast<float>(halfW - 680), 100.0f);
    glVertex2f(static_cast<float>(halfW - 570), 100.0f);
    glVertex2f(static_cast<float>(halfW - 570), 200.0f);
    glVertex2f(static_cast<float>(halfW - 680), 200.0f);
    glEnd();

    fontHandler.print(13, at.bottom(60), at.centreX(140), 256, 256, 256, at.text(0.3f), "Bonus Color");

    if (devMode) {
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    }
    glDisable(GL_TEXTURE_2D);
}
