#pragma once

// The keyboard, and the game states its commands and the pad's move between:
// Welcome menu, Score menu, Playing and Paused, kept in the flags inMenu,
// firstMenu, paused.

#include <cstdint>

#include "game/PlayState.h"

// Key messages of the game's window. A key's one-press latch is set by the
// command it triggers and cleared by its next plain release; a release with Alt
// held (sysKeyUp) keeps it, so the key must be released plainly before its
// command acts again. Codes of 256 and above are ignored.
void keyDown(PlayState& play, std::uint32_t key);
void keyUp(PlayState& play, std::uint32_t key);
void sysKeyUp(PlayState& play, std::uint32_t key);

// The keyboard step of a frame: steering by the held keys, typing in the song
// menus, then the keys' commands (commands.h). Escape asks the shell to quit.
ShellRequest processKeys(PlayState& play, double frameTime);

// The song from its start with a fresh score and an empty course.
void restartSong(PlayState& play);
// The song stopped, the score and the course cleared, back in the menu.
void returnToMenu(PlayState& play);
