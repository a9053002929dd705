// Modal message boxes through SDL, with a switch to standard error for runs
// that nobody can click through (tests, no display).

#include "platform/message_box.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sdl_internal.h"

namespace plat {
namespace {

MessageBoxBackend backend = nullptr;

int printBox(const char* text, const char* title) {
    std::fprintf(stderr, "%s: %s\n", title, text);
    std::fflush(stderr);
    return IDOK;
}

bool boxesGoToStderr() {
    const char* mode = std::getenv("REDAVAVE_MESSAGE_BOXES");
    return mode != nullptr && std::strcmp(mode, "stderr") == 0;
}

}  // namespace

int messageBox(WindowHandle owner, const char* text, const char* title, std::uint32_t flags) {
    (void)owner;  // boxes are owned by the desktop
    text = text != nullptr ? text : "";
    title = title != nullptr ? title : "";
    if (backend != nullptr) {
        return backend(text, title, flags);
    }
    if (boxesGoToStderr() || !detail::ensureVideo()) {
        return printBox(text, title);
    }
    const Uint32 icon = (flags & MB_ICONERROR) != 0         ? SDL_MESSAGEBOX_ERROR
                        : (flags & MB_ICONINFORMATION) != 0 ? SDL_MESSAGEBOX_INFORMATION
                                                            : 0;
    if (SDL_ShowSimpleMessageBox(icon, title, text, nullptr) != 0) {
        return printBox(text, title);  // the box could not be shown: the text must not be lost
    }
    return IDOK;
}

void setMessageBoxBackend(MessageBoxBackend replacement) { backend = replacement; }

}  // namespace plat
