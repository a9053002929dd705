// Icon resources of window classes. The game's icon is a picture in its
// resources tree; the window manager gets it with the window (taskbar,
// window switcher, title bar).

#include <cstdio>

#include "platform/window_internal.h"

namespace plat {
namespace detail {
namespace {

struct IconResource {
    int id;
    const char* file;
};

constexpr IconResource kIcons[] = {
    {108, "resources/Icons/redavave.bmp"},
};

}  // namespace

void applyClassIcon(SDL_Window* sdl, int iconId) {
    for (const IconResource& icon : kIcons) {
        if (icon.id != iconId) {
            continue;
        }
        SDL_Surface* picture = SDL_LoadBMP(icon.file);
        if (picture == nullptr) {
            std::fprintf(stderr, "redavave: window icon %s: %s\n", icon.file, SDL_GetError());
            return;
        }
        SDL_SetWindowIcon(sdl, picture);
        SDL_FreeSurface(picture);
        return;
    }
}

}  // namespace detail
}  // namespace plat
