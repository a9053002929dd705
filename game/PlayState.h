#pragma once

// The state of play: which screen is up, the songs and the one highlighted,
// the colour chain, the course's spawn counters, the key tables with their
// one-press latches, what the mouse and the pad did last, the banner and the
// turning bodies. The functions of game/ change it; render/ only reads it.
// It knows no window and no OpenGL context, so a test can make one on its own.

#include <cstdint>
#include <string>
#include <vector>

#include "game/best_scores.h"
#include "game/song_search.h"

struct PlayState {
    float menuFade = 0.0f;
    bool inMenu = true;
    bool firstMenu = true;
    bool paused = false;
    // The menu's songs, as shown: the path below their music folder,
    // '/'-separated (what the game keeps about a song is keyed by it).
    std::vector<std::string> musicList;
    // The file each song of musicList opens; a song without one is in the game's Music folder.
    std::vector<std::string> songFiles;
    int selectedSong = 0;
    int maxSongIndex = 0;
    bool active = false;  // the game's window is the active one
    int chainColor = 1;
    int comboBonus = 0;
    bool padConnected = false;
    float earthAngle = 0.0f;
    float moonAngle = 0.0f;
    float venusAngle = 200.0f;
    float mercuryAngle = 340.0f;
    float sunAngle = 350.0f;
    bool devMode = false;    // -devmode
    bool fullscreen = true;  // cleared by -window
    int spawnSlot = 0;
    float spawnCooldown[3] = {10.0f, 10.0f, 10.0f};
    bool keys[256] = {};
    bool keyLatch[256] = {};
    struct Banner {
        float width = 400.0f;
        float height = 100.0f;
        float top = 0.0f;
    } banner;

    bool mouseCentreSet = false;  // mouseSteer has taken its first centre
    int mouseCentreX = 0;
    int mouseCentreY = 0;
    std::uint32_t padInputsLast = 0;  // the pad's inputs at the previous poll, for press edges
    // The pad direction that repeats while held: its inputs, how long it has
    // been held and how many songs it has moved the selection so far.
    struct PadRepeat {
        std::uint32_t input = 0;
        double seconds = 0.0;
        int songs = 0;
    } padRepeat;
    SongSearch songSearch;  // type to jump in the song menus

    // Best scores: the table, the song being played (its entry in musicList,
    // kept for Space's replay), what the Score menu says of the song that
    // ended last, and the bests set since the shell last took them to disk.
    BestScores bestScores;
    std::string playingSong;
    struct SongEnd {
        bool shown = false;    // the Score menu is for a song played to its end
        int best = 0;
        bool newBest = false;  // this run set it
        bool notKept = false;  // it could not be written to disk
        unsigned change = 0;   // its number among the bests set since start
    } songEnd;
    struct NewBest {
        std::string song;
        int score;
    };
    std::vector<NewBest> unsavedBests;
    unsigned bestsSet = 0;
};

// What the game asks of the shell around it; the main loop carries it out.
enum class ShellRequest {
    none,
    quit,      // Escape: show the cursor and post the quit message
    shutDown,  // the pad's BACK in the menus: shut the game down at once
};
