#pragma once

// Shared between the platform sources only: the one place besides them that may
// see SDL is the platform tests. Game code never includes this.

#include <SDL.h>

#include <cstdint>

namespace plat::detail {

// Brings up SDL's video once per process. False when no display can be reached;
// the reason is kept for displayError().
bool ensureVideo();
// Video drivers that show nothing (drawing into memory), unless SDL_VIDEODRIVER
// asks for one by name.
bool isHeadlessDriver(const char* driver);

// Virtual-key code for an SDL key, 0 when the game has no code for it.
std::uint32_t virtualKeyFromSdl(SDL_Keycode key);

// Gamepad bookkeeping for controllers plugged in or out while events are pumped.
void handleControllerEvent(const SDL_Event& event);

// Applies the cursor counter to SDL once video is up.
void applyCursorVisibility();

}  // namespace plat::detail
