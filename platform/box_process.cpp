// The process that shows one message box. The game starts its own binary anew
// for every box, so the box inherits nothing of the game: no threads, no GL
// context, no window or X connection, no focus bookkeeping. It tries SDL's own
// box first, then a desktop dialog tool, then a box window it draws itself with
// a font built into the binary, which needs neither X core fonts nor any file.

#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/message_box.h"
#include "platform/message_box_internal.h"
#include "platform/sdl_internal.h"

extern char** environ;

namespace plat {

bool detail::boxProcessSupported = false;
const char* detail::boxProgram = "/proc/self/exe";

namespace {

constexpr const char* kBoxProcessArg = "--redavave-message-box";

// A 5x7 font for the printable ASCII characters, five columns a glyph, the
// lowest bit of a column its top row.
constexpr std::uint8_t kGlyphs[95][5] = {
    {0x00, 0x00, 0x00, 0x00, 0x00}, {0x00, 0x00, 0x5F, 0x00, 0x00}, {0x00, 0x07, 0x00, 0x07, 0x00},
    {0x14, 0x7F, 0x14, 0x7F, 0x14}, {0x24, 0x2A, 0x7F, 0x2A, 0x12}, {0x23, 0x13, 0x08, 0x64, 0x62},
    {0x36, 0x49, 0x55, 0x22, 0x50}, {0x00, 0x05, 0x03, 0x00, 0x00}, {0x00, 0x1C, 0x22, 0x41, 0x00},
    {0x00, 0x41, 0x22, 0x1C, 0x00}, {0x08, 0x2A, 0x1C, 0x2A, 0x08}, {0x08, 0x08, 0x3E, 0x08, 0x08},
    {0x00, 0x50, 0x30, 0x00, 0x00}, {0x08, 0x08, 0x08, 0x08, 0x08}, {0x00, 0x60, 0x60, 0x00, 0x00},
    {0x20, 0x10, 0x08, 0x04, 0x02}, {0x3E, 0x51, 0x49, 0x45, 0x3E}, {0x00, 0x42, 0x7F, 0x40, 0x00},
    {0x42, 0x61, 0x51, 0x49, 0x46}, {0x21, 0x41, 0x45, 0x4B, 0x31}, {0x18, 0x14, 0x12, 0x7F, 0x10},
    {0x27, 0x45, 0x45, 0x45, 0x39}, {0x3C, 0x4A, 0x49, 0x49, 0x30}, {0x01, 0x71, 0x09, 0x05, 0x03},
    {0x36, 0x49, 0x49, 0x49, 0x36}, {0x06, 0x49, 0x49, 0x29, 0x1E}, {0x00, 0x36, 0x36, 0x00, 0x00},
    {0x00, 0x56, 0x36, 0x00, 0x00}, {0x08, 0x14, 0x22, 0x41, 0x00}, {0x14, 0x14, 0x14, 0x14, 0x14},
    {0x00, 0x41, 0x22, 0x14, 0x08}, {0x02, 0x01, 0x51, 0x09, 0x06}, {0x32, 0x49, 0x79, 0x41, 0x3E},
    {0x7E, 0x11, 0x11, 0x11, 0x7E}, {0x7F, 0x49, 0x49, 0x49, 0x36}, {0x3E, 0x41, 0x41, 0x41, 0x22},
    {0x7F, 0x41, 0x41, 0x22, 0x1C}, {0x7F, 0x49, 0x49, 0x49, 0x41}, {0x7F, 0x09, 0x09, 0x09, 0x01},
    {0x3E, 0x41, 0x49, 0x49, 0x7A}, {0x7F, 0x08, 0x08, 0x08, 0x7F}, {0x00, 0x41, 0x7F, 0x41, 0x00},
    {0x20, 0x40, 0x41, 0x3F, 0x01}, {0x7F, 0x08, 0x14, 0x22, 0x41}, {0x7F, 0x40, 0x40, 0x40, 0x40},
    {0x7F, 0x02, 0x0C, 0x02, 0x7F}, {0x7F, 0x04, 0x08, 0x10, 0x7F}, {0x3E, 0x41, 0x41, 0x41, 0x3E},
    {0x7F, 0x09, 0x09, 0x09, 0x06}, {0x3E, 0x41, 0x51, 0x21, 0x5E}, {0x7F, 0x09, 0x19, 0x29, 0x46},
    {0x46, 0x49, 0x49, 0x49, 0x31}, {0x01, 0x01, 0x7F, 0x01, 0x01}, {0x3F, 0x40, 0x40, 0x40, 0x3F},
    {0x1F, 0x20, 0x40, 0x20, 0x1F}, {0x3F, 0x40, 0x38, 0x40, 0x3F}, {0x63, 0x14, 0x08, 0x14, 0x63},
    {0x07, 0x08, 0x70, 0x08, 0x07}, {0x61, 0x51, 0x49, 0x45, 0x43}, {0x00, 0x7F, 0x41, 0x41, 0x00},
    {0x02, 0x04, 0x08, 0x10, 0x20}, {0x00, 0x41, 0x41, 0x7F, 0x00}, {0x04, 0x02, 0x01, 0x02, 0x04},
    {0x40, 0x40, 0x40, 0x40, 0x40}, {0x00, 0x01, 0x02, 0x04, 0x00}, {0x20, 0x54, 0x54, 0x54, 0x78},
    {0x7F, 0x48, 0x44, 0x44, 0x38}, {0x38, 0x44, 0x44, 0x44, 0x20}, {0x38, 0x44, 0x44, 0x48, 0x7F},
    {0x38, 0x54, 0x54, 0x54, 0x18}, {0x08, 0x7E, 0x09, 0x01, 0x02}, {0x0C, 0x52, 0x52, 0x52, 0x3E},
    {0x7F, 0x08, 0x04, 0x04, 0x78}, {0x00, 0x44, 0x7D, 0x40, 0x00}, {0x20, 0x40, 0x44, 0x3D, 0x00},
    {0x7F, 0x10, 0x28, 0x44, 0x00}, {0x00, 0x41, 0x7F, 0x40, 0x00}, {0x7C, 0x04, 0x18, 0x04, 0x78},
    {0x7C, 0x08, 0x04, 0x04, 0x78}, {0x38, 0x44, 0x44, 0x44, 0x38}, {0x7C, 0x14, 0x14, 0x14, 0x08},
    {0x08, 0x14, 0x14, 0x18, 0x7C}, {0x7C, 0x08, 0x04, 0x04, 0x08}, {0x48, 0x54, 0x54, 0x54, 0x20},
    {0x04, 0x3F, 0x44, 0x40, 0x20}, {0x3C, 0x40, 0x40, 0x20, 0x7C}, {0x1C, 0x20, 0x40, 0x20, 0x1C},
    {0x3C, 0x40, 0x30, 0x40, 0x3C}, {0x44, 0x28, 0x10, 0x28, 0x44}, {0x0C, 0x50, 0x50, 0x50, 0x3C},
    {0x44, 0x64, 0x54, 0x4C, 0x44}, {0x00, 0x08, 0x36, 0x41, 0x00}, {0x00, 0x00, 0x7F, 0x00, 0x00},
    {0x00, 0x41, 0x36, 0x08, 0x00}, {0x08, 0x04, 0x08, 0x10, 0x08},
};

constexpr int kScale = 2;
constexpr int kCellWidth = 6 * kScale;
constexpr int kLineHeight = 10 * kScale;
constexpr int kMargin = 20;
constexpr int kWrapColumns = 90;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 30;

// The text's lines, long ones wrapped at a blank where there is one.
std::vector<std::string> layoutLines(const char* text) {
    std::vector<std::string> lines;
    std::string line;
    for (const char* c = text;; ++c) {
        if (*c == '\0' || *c == '\n') {
            lines.push_back(line);
            line.clear();
            if (*c == '\0') {
                break;
            }
            continue;
        }
        line += *c == '\t' ? ' ' : *c;
        if (static_cast<int>(line.size()) > kWrapColumns) {
            const std::size_t blank = line.rfind(' ');
            const std::size_t cut = blank != std::string::npos && blank > 0 ? blank : line.size() - 1;
            lines.push_back(line.substr(0, cut));
            line = line.substr(blank != std::string::npos && blank > 0 ? cut + 1 : cut);
        }
    }
    return lines;
}

void fill(SDL_Surface* surface, int x, int y, int w, int h, Uint32 colour) {
    SDL_Rect rect{x, y, w, h};
    SDL_FillRect(surface, &rect, colour);
}

void drawText(SDL_Surface* surface, int x, int y, const std::string& text, Uint32 colour) {
    for (unsigned char c : text) {
        // Characters outside printable ASCII (bytes of UTF-8 names) show as '?'.
        const int index = c >= 32 && c < 127 ? c - 32 : '?' - 32;
        for (int column = 0; column < 5; ++column) {
            for (int row = 0; row < 7; ++row) {
                if ((kGlyphs[index][column] >> row) & 1) {
                    fill(surface, x + column * kScale, y + row * kScale, kScale, kScale, colour);
                }
            }
        }
        x += kCellWidth;
    }
}

void drawBox(SDL_Window* window, const std::vector<std::string>& lines, bool error) {
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (surface == nullptr) {
        return;
    }
    const Uint32 background = SDL_MapRGB(surface->format, 0xE4, 0xE4, 0xE4);
    const Uint32 ink = SDL_MapRGB(surface->format, 0x10, 0x10, 0x10);
    const Uint32 accent = error ? SDL_MapRGB(surface->format, 0xC0, 0x20, 0x20) : SDL_MapRGB(surface->format, 0x20, 0x50, 0xC0);
    fill(surface, 0, 0, surface->w, surface->h, background);
    fill(surface, 0, 0, surface->w, 6, accent);
    int y = kMargin;
    for (const std::string& line : lines) {
        drawText(surface, kMargin, y, line, ink);
        y += kLineHeight;
    }
    const int buttonX = (surface->w - kButtonWidth) / 2;
    const int buttonY = surface->h - kMargin - kButtonHeight;
    fill(surface, buttonX, buttonY, kButtonWidth, kButtonHeight, ink);
    fill(surface, buttonX + 2, buttonY + 2, kButtonWidth - 4, kButtonHeight - 4, SDL_MapRGB(surface->format, 0xF8, 0xF8, 0xF8));
    drawText(surface, buttonX + (kButtonWidth - 2 * kCellWidth) / 2, buttonY + (kButtonHeight - 7 * kScale) / 2, "OK", ink);
    SDL_UpdateWindowSurface(window);
}

// The box window the game draws itself. False when no window could be opened.
bool showOwnBox(const char* title, const char* text, bool error) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        return false;
    }
    // A window drawn into memory would wait for a click nobody can give.
    if (detail::isHeadlessDriver(SDL_GetCurrentVideoDriver())) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    const std::vector<std::string> lines = layoutLines(text);
    std::size_t widest = 2;
    for (const std::string& line : lines) {
        widest = std::max(widest, line.size());
    }
    const int width = std::max(320, static_cast<int>(widest) * kCellWidth + 2 * kMargin);
    const int height = static_cast<int>(lines.size()) * kLineHeight + 3 * kMargin + kButtonHeight;
    SDL_Window* window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, 0);
    if (window == nullptr) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    SDL_RaiseWindow(window);
    drawBox(window, lines, error);
    bool focusAsked = false;
    bool done = false;
    SDL_Event event;
    while (!done && SDL_WaitEvent(&event) != 0) {
        switch (event.type) {
            case SDL_KEYDOWN: {
                const SDL_Keycode key = event.key.keysym.sym;
                done = key == SDLK_RETURN || key == SDLK_KP_ENTER || key == SDLK_SPACE || key == SDLK_ESCAPE;
                break;
            }
            case SDL_MOUSEBUTTONUP:
            case SDL_QUIT:
                done = true;
                break;
            case SDL_WINDOWEVENT:
                if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                    done = true;
                } else if (event.window.event == SDL_WINDOWEVENT_SHOWN && !focusAsked) {
                    // Without a window manager nobody else gives a new window the keyboard.
                    focusAsked = true;
                    SDL_SetWindowInputFocus(window);
                } else if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                           event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    drawBox(window, lines, error);
                }
                break;
            default:
                break;
        }
    }
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return true;
}

std::string findInPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (end > start && access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

// Runs a dialog tool and waits for it; its exit code, or -1 when it did not run.
int runTool(const std::string& program, std::vector<std::string> args) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) == -1) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// zenity or kdialog, when the desktop has one. Both answer 0 for OK and 1 for
// a closed box; anything else means the dialog could not be shown.
bool showToolBox(const char* title, const char* text, bool error) {
    const std::string zenity = findInPath("zenity");
    if (!zenity.empty()) {
        const int code = runTool(zenity, {error ? "--error" : "--info", "--no-markup", std::string("--title=") + title,
                                          std::string("--text=") + text});
        if (code == 0 || code == 1) {
            return true;
        }
    }
    const std::string kdialog = findInPath("kdialog");
    if (!kdialog.empty()) {
        const int code = runTool(kdialog, {"--title", title, error ? "--error" : "--msgbox", text});
        if (code == 0 || code == 1) {
            return true;
        }
    }
    return false;
}

void setSignal(int signal, void (*handler)(int)) {
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

// The box process ends with the game: the system sends it SIGTERM when the
// game goes, and it takes the dialog tool it may be waiting for with it (the
// tools run in the box process's own process group).
void endWithTheGame(int) {
    setSignal(SIGTERM, SIG_IGN);
    kill(0, SIGTERM);
    _exit(detail::kBoxNotShown);
}

}  // namespace

bool isMessageBoxProcess(int argc, char** argv) {
    detail::boxProcessSupported = true;
    return argc == 6 && std::strcmp(argv[1], kBoxProcessArg) == 0;
}

int runMessageBoxProcess(int argc, char** argv) {
    if (!isMessageBoxProcess(argc, argv)) {
        return 2;
    }
    // Set before SDL starts, which then leaves SIGTERM to this handler. The
    // system watches the thread that started the box process: the game shows
    // its boxes from its main thread, which lasts as long as the game.
    setSignal(SIGTERM, endWithTheGame);
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != static_cast<pid_t>(std::atol(argv[5]))) {
        return detail::kBoxNotShown;  // the game is already gone
    }
    // The waits for SDL's and the dialog tools' processes need their exit
    // status, whatever a launcher left SIGCHLD at.
    setSignal(SIGCHLD, SIG_DFL);
    const char* title = argv[2];
    const char* text = argv[3];
    const bool error = std::strcmp(argv[4], "error") == 0;
    const Uint32 icon = error ? SDL_MESSAGEBOX_ERROR : std::strcmp(argv[4], "information") == 0 ? SDL_MESSAGEBOX_INFORMATION : 0;
    // REDAVAVE_MESSAGE_BOXES=window asks for the game's own box window alone.
    const char* mode = std::getenv("REDAVAVE_MESSAGE_BOXES");
    const bool ownOnly = mode != nullptr && std::strcmp(mode, "window") == 0;
    if (!ownOnly && SDL_ShowSimpleMessageBox(icon, title, text, nullptr) == 0) {
        return detail::kBoxShown;
    }
    // SDL's box needs fonts from the X server, which not every desktop has.
    if ((!ownOnly && showToolBox(title, text, error)) || showOwnBox(title, text, error)) {
        return detail::kBoxShown;
    }
    return detail::kBoxNotShown;
}

const char* messageBoxProcessArg() { return kBoxProcessArg; }

bool detail::runBoxProcess(const char* text, const char* title, std::uint32_t flags) {
    const char* kind = (flags & MB_ICONERROR) != 0 ? "error" : (flags & MB_ICONINFORMATION) != 0 ? "information" : "none";
    std::string owner = std::to_string(getpid());
    char* argv[] = {const_cast<char*>("redavave"), const_cast<char*>(messageBoxProcessArg()), const_cast<char*>(title),
                    const_cast<char*>(text), const_cast<char*>(kind), owner.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // The game's files, sockets and lock stay with the game.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The box process starts with no signal blocked and SIGCHLD and SIGTERM at
    // their defaults, in a process group of its own.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    sigaddset(&signals, SIGCHLD);
    sigaddset(&signals, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    // The wait needs the box process's exit status: with SIGCHLD ignored or
    // caught with SA_NOCLDWAIT, as a launcher may hand it down, the system
    // would reap the process itself and the wait would fail once it ended.
    struct sigaction childDefault = {};
    childDefault.sa_handler = SIG_DFL;
    sigemptyset(&childDefault.sa_mask);
    struct sigaction gameChild = {};
    sigaction(SIGCHLD, &childDefault, &gameChild);
    pid_t pid = -1;
    int status = 0;
    bool ended = posix_spawn(&pid, detail::boxProgram, &actions, &attributes, argv, environ) == 0;
    while (ended && waitpid(pid, &status, 0) == -1) {
        ended = errno == EINTR;
    }
    sigaction(SIGCHLD, &gameChild, nullptr);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    // Only the box process's own word counts: a crash, or another program
    // where the game's binary was expected, showed nothing.
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == detail::kBoxShown;
}

}  // namespace plat
