#pragma once

// What the game tests share: a working folder with the three hit effects and a
// music folder, the sound engine on its offline output, a pitch script that
// stands in for the song's spectrum, and a fresh play state in a known state.
// No window and no OpenGL context: the game's logic needs neither.

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "game/PlayState.h"

namespace gametest {

// Songs written into resources/Music of the world; the first three hold a few
// seconds of tones, "long.ogg" a minute.
extern const std::vector<std::string> kSongs;

// Once per process: makes the folder, changes into it and starts the audio.
void enterWorld();
const std::string& worldDir();
// Ends a death test's child with `code`: removes the folder, then leaves at once,
// so that no exit-time check of outside libraries can change the code.
[[noreturn]] void leaveWorld(int code);

// From now on every spectrum read shows one peak at `bin` (pitch = bin * 2.9296875 Hz).
void scriptPeakBin(int bin);
// Back to the engine's own analysis of what plays.
void stopScript();
// How many spectrum reads the script has answered.
int spectrumReads();

// Starts `name` from resources/Music on the song channel (the course asks it for its spectrum).
void startSong(const std::string& name);

// Seconds of one frame at 60 frames per second.
inline constexpr double kFrameTime = 1.0 / 60.0;

// A play state as the game has it during play: active, windowed, in the Welcome
// menu, with the three songs; the course pool is emptied and the ship reset to
// lane 2 with speed 4.
PlayState makePlay();

// The four states of the game, named.
enum class State { Welcome, Score, Playing, Paused };
const char* nameOf(State state);
inline void PrintTo(State state, std::ostream* out) { *out << nameOf(state); }
// Puts `play` into `state` the way play leaves it; a song is on the channel
// whenever one is being played.
void enter(PlayState& play, State state);
State stateOf(const PlayState& play);
// Whether the song channel is paused (a failure when there is none).
bool songChannelPaused();

// Puts the given kind (1 bonus, 2 skull, 3..10 block) and colour into `slot` in
// `lane` at distance `x`, through carClass::spawn with a seed that draws them.
void placeObject(int slot, int lane, int kind, int color, float x);

// The sound the most recent hit effect plays (null before any effect).
const void* lastEffectSound();

}  // namespace gametest
