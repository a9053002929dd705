// The commands of the keyboard and the pad, and the table that binds them.

#include "game/commands.h"

#include <string>
#include <string_view>
#include <vector>

#include "audio/Audio.h"
#include "diag/ErrorHandler.h"
#include "game/Player.h"
#include "game/keys.h"
#include "platform/gamepad.h"
#include "platform/key_codes.h"
#include "platform/music_folder.h"

namespace {

enum class Command : std::uint8_t {
    none,       // not bound in this state; a key's press is kept for a later state
    takePress,  // does nothing, but the press is used up: it must be released first
    previousSong,
    nextSong,
    firstSong,
    lastSong,
    previousFolder,  // the first song of the folder before the selected song's
    nextFolder,      // the first song of the folder after it
    play,            // the selected song from its start
    replay,          // the last song again, from the Score menu
    pause,
    resume,
    restart,  // the paused song from its start
    stop,     // the paused song stopped, back to the menu
    volumeUp,
    volumeDown,
    quit,  // Escape: the shell shows the cursor and posts the quit message
    exit,  // the pad's BACK: the shell shuts the game down at once
};

enum class Device : std::uint8_t { keyboard, pad };

// When a bound input acts.
enum class Fires : std::uint8_t {
    whileHeld,     // in every frame it is down
    oncePerPress,  // once per press: a key when its latch is clear (and sets it
                   // where it is bound), a pad input in the frame it goes down
    repeating,     // a pad input: once when it goes down, then again and again
                   // while held, at the pace of kRepeatPace
};

struct Binding {
    Device device;
    std::uint32_t input;  // a virtual key, or pad inputs (any of them down counts)
    Fires fires;
    Command welcome;  // the command in each state; Command::none where it is not bound
    Command score;
    Command playing;
    Command paused;
};

using namespace plat;
using C = Command;
constexpr Device KEY = Device::keyboard;
constexpr Device PAD = Device::pad;
constexpr Fires HELD = Fires::whileHeld;
constexpr Fires ONCE = Fires::oncePerPress;
constexpr Fires REPEATS = Fires::repeating;

// Every binding, in the order they are tried in a frame; each sees the state
// the earlier ones left.
// clang-format off
constexpr Binding kBindings[] = {
    // device input                                  fires    Welcome menu       Score menu         Playing        Paused
    {KEY, VK_ESCAPE,                                 HELD,    C::quit,           C::quit,           C::quit,       C::quit},
    // Space replays from the Score menu without its latch: leaving the menu, it cannot repeat.
    {KEY, VK_SPACE,                                  HELD,    C::none,           C::replay,         C::none,       C::none},
    {KEY, VK_SPACE,                                  ONCE,    C::none,           C::none,           C::none,       C::restart},
    {KEY, VK_LEFT,                                   ONCE,    C::previousSong,   C::previousSong,   C::none,       C::none},
    {KEY, VK_RIGHT,                                  ONCE,    C::nextSong,       C::nextSong,       C::none,       C::none},
    {KEY, VK_UP,                                     ONCE,    C::previousFolder, C::previousFolder, C::none,       C::none},
    {KEY, VK_DOWN,                                   ONCE,    C::nextFolder,     C::nextFolder,     C::none,       C::none},
    {KEY, VK_HOME,                                   ONCE,    C::firstSong,      C::firstSong,      C::none,       C::none},
    {KEY, VK_END,                                    ONCE,    C::lastSong,       C::lastSong,       C::none,       C::none},
    {KEY, VK_RETURN,                                 ONCE,    C::play,           C::play,           C::takePress,  C::stop},
    {KEY, VK_P,                                      ONCE,    C::none,           C::none,           C::pause,      C::resume},
    {KEY, VK_PRIOR,                                  HELD,    C::volumeUp,       C::volumeUp,       C::volumeUp,   C::volumeUp},
    {KEY, VK_NEXT,                                   HELD,    C::volumeDown,     C::volumeDown,     C::volumeDown, C::volumeDown},
    {PAD, GAMEPAD_DPAD_LEFT | PAD_STICK_LEFT,        REPEATS, C::previousSong,   C::previousSong,   C::none,       C::none},
    {PAD, GAMEPAD_DPAD_RIGHT | PAD_STICK_RIGHT,      REPEATS, C::nextSong,       C::nextSong,       C::none,       C::none},
    {PAD, GAMEPAD_LEFT_SHOULDER,                     ONCE,    C::previousFolder, C::previousFolder, C::none,       C::none},
    {PAD, GAMEPAD_RIGHT_SHOULDER,                    ONCE,    C::nextFolder,     C::nextFolder,     C::none,       C::none},
    {PAD, GAMEPAD_A,                                 ONCE,    C::play,           C::play,           C::none,       C::none},
    // START is tried before BACK: once it has left the menu, BACK no longer exits.
    {PAD, GAMEPAD_START,                             ONCE,    C::play,           C::replay,         C::pause,      C::resume},
    {PAD, GAMEPAD_Y,                                 ONCE,    C::none,           C::none,           C::none,       C::restart},
    {PAD, GAMEPAD_BACK,                              ONCE,    C::exit,           C::exit,           C::none,       C::stop},
    {PAD, GAMEPAD_DPAD_UP,                           HELD,    C::volumeUp,       C::volumeUp,       C::volumeUp,   C::volumeUp},
    {PAD, GAMEPAD_DPAD_DOWN,                         HELD,    C::volumeDown,     C::volumeDown,     C::volumeDown, C::volumeDown},
};
// clang-format on

Command commandNow(const Binding& binding, const PlayState& play) {
    if (play.inMenu) {
        return play.firstMenu ? binding.welcome : binding.score;
    }
    return play.paused ? binding.paused : binding.playing;
}

// A song's folder: its name in the menu up to the last '/', empty for a song
// directly in the music folder.
std::string_view folderOf(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string_view() : std::string_view(name).substr(0, slash);
}

// The first song of the run of songs from one folder that `index` is in.
int runStart(const std::vector<std::string>& songs, int index) {
    const std::string_view folder = folderOf(songs[static_cast<std::size_t>(index)]);
    while (index > 0 && folderOf(songs[static_cast<std::size_t>(index - 1)]) == folder) {
        --index;
    }
    return index;
}

// The first song of the folder before or after the selected song's, in menu
// order, past the ends round to the other end. A folder whose songs are not
// all together in the menu (songs come by kind of file first) counts once for
// each run of its songs.
int folderJump(const std::vector<std::string>& songs, int selected, bool forward) {
    const int count = static_cast<int>(songs.size());
    if (selected < 0 || selected >= count) {
        return selected;
    }
    if (!forward) {
        const int start = runStart(songs, selected);
        return runStart(songs, start == 0 ? count - 1 : start - 1);
    }
    const std::string_view folder = folderOf(songs[static_cast<std::size_t>(selected)]);
    int next = selected + 1;
    while (next < count && folderOf(songs[static_cast<std::size_t>(next)]) == folder) {
        ++next;
    }
    return next == count ? 0 : next;
}

void playSelected(PlayState& play) {
    const std::vector<std::string>& musicList = play.musicList;
    const int selectedSong = play.selectedSong;
    // With an empty music folder there is nothing to start: the menu stays.
    if (selectedSong < 0 || static_cast<std::size_t>(selectedSong) >= musicList.size()) {
        errorHandler.log("No song to play: %s holds no playable file", kMusicFolder);
        return;
    }
    // Songs open by their whole path, which in a deep library can be far
    // longer than a bare name, so no fixed buffer holds it.
    const std::size_t song = static_cast<std::size_t>(selectedSong);
    const std::string Dest =
        song < play.songFiles.size() ? play.songFiles[song] : std::string(kMusicFolder) + "/" + musicList[song];
    // A song that did not start has no best to keep.
    play.playingSong = audio.playSong(Dest.c_str()) ? musicList[song] : std::string();
    play.inMenu = false;
    player.resetPoints();
}

// Carries out `command`. A song step moves `songs` songs; a press's single
// step goes round past the ends, the steps of a held direction stop there.
ShellRequest carryOut(PlayState& play, Command command, int songs = 1, bool roundTheEnds = true) {
    int& selectedSong = play.selectedSong;
    const int maxSongIndex = play.maxSongIndex;
    switch (command) {
        case C::none:
        case C::takePress:
            break;
        case C::previousSong:
            if (!roundTheEnds) {
                selectedSong = selectedSong - songs < 0 ? 0 : selectedSong - songs;
            } else if (maxSongIndex >= selectedSong) {
                selectedSong = (selectedSong == 0) ? maxSongIndex : selectedSong - 1;
            }
            break;
        case C::nextSong:
            if (!roundTheEnds) {
                selectedSong = selectedSong + songs > maxSongIndex ? maxSongIndex : selectedSong + songs;
            } else {
                selectedSong = (selectedSong == maxSongIndex) ? 0 : selectedSong + 1;
            }
            break;
        case C::firstSong:
            selectedSong = 0;
            break;
        case C::lastSong:
            selectedSong = maxSongIndex;
            break;
        case C::previousFolder:
        case C::nextFolder:
            selectedSong = folderJump(play.musicList, selectedSong, command == C::nextFolder);
            break;
        case C::play:
            playSelected(play);
            break;
        case C::replay:
        case C::restart:
            restartSong(play);
            play.inMenu = false;
            break;
        case C::pause:
            audio.setPaused(true);
            play.paused = true;
            break;
        case C::resume:
            audio.setPaused(false);
            play.paused = false;
            break;
        case C::stop:
            play.inMenu = true;
            play.paused = false;
            returnToMenu(play);
            break;
        case C::volumeUp:
            audio.volumeUp();
            break;
        case C::volumeDown:
            audio.volumeDown();
            break;
        case C::quit:
            return ShellRequest::quit;
        case C::exit:
            return ShellRequest::shutDown;
    }
    return ShellRequest::none;
}

void keep(ShellRequest& request, ShellRequest asked) {
    if (asked != ShellRequest::none) {
        request = asked;
    }
}

// A held direction repeats in phases: from `fromMs` of holding on, a step of
// `songs` songs every `everyMs`, until the next phase begins.
struct RepeatPhase {
    long long fromMs;
    long long everyMs;
    int songs;
};
constexpr RepeatPhase kRepeatPace[] = {
    {400, 100, 1},      // the first repeat after 0.4 s, then ten a second
    {2400, 50, 1},      // twenty a second
    {4400, 50, 10},     // 200 songs a second
    {6400, 50, 100},    // 2,000 a second
    {8400, 50, 1000},   // 20,000 a second: any library is crossed
};

// How many songs a pad direction held for `seconds` has moved the selection
// in all, the press's own step included.
int padRepeatSongs(double seconds) {
    // Whole milliseconds: 24 frames of 1/60 s are 0.4 s, not a hair less.
    const long long heldMs = static_cast<long long>(seconds * 1000.0 + 1e-6);
    long long songs = 1;
    const std::size_t phases = sizeof kRepeatPace / sizeof kRepeatPace[0];
    for (std::size_t i = 0; i < phases && heldMs >= kRepeatPace[i].fromMs; ++i) {
        const RepeatPhase& phase = kRepeatPace[i];
        long long steps = (heldMs - phase.fromMs) / phase.everyMs + 1;
        if (i + 1 < phases) {
            const long long span = kRepeatPace[i + 1].fromMs - phase.fromMs;
            const long long stepsInPhase = (span + phase.everyMs - 1) / phase.everyMs;
            steps = steps < stepsInPhase ? steps : stepsInPhase;
        }
        songs += steps * phase.songs;
    }
    constexpr long long kMost = 1LL << 30;  // held for days: no overflow
    return static_cast<int>(songs < kMost ? songs : kMost);
}

}  // namespace

ShellRequest runKeyCommands(PlayState& play) {
    ShellRequest request = ShellRequest::none;
    for (const Binding& binding : kBindings) {
        if (binding.device != Device::keyboard || !play.keys[binding.input]) {
            continue;
        }
        const Command command = commandNow(binding, play);
        if (command == C::none) {
            continue;
        }
        if (binding.fires != Fires::whileHeld) {
            if (play.keyLatch[binding.input]) {
                continue;
            }
            play.keyLatch[binding.input] = true;
        }
        keep(request, carryOut(play, command));
    }
    return request;
}

ShellRequest runPadCommands(PlayState& play, std::uint32_t inputs, double frameTime) {
    ShellRequest request = ShellRequest::none;
    const std::uint32_t last = play.padInputsLast;
    play.padInputsLast = inputs;
    PlayState::PadRepeat& repeat = play.padRepeat;
    for (const Binding& binding : kBindings) {
        if (binding.device != Device::pad) {
            continue;
        }
        const bool down = (inputs & binding.input) != 0;
        const bool pressed = down && (last & binding.input) == 0;
        const bool repeating = repeat.input == binding.input;
        const Command command = commandNow(binding, play);
        if (command == C::none || !down) {
            if (repeating) {
                repeat = PlayState::PadRepeat{};
            }
            continue;
        }
        switch (binding.fires) {
            case Fires::whileHeld:
                keep(request, carryOut(play, command));
                break;
            case Fires::oncePerPress:
                if (pressed) {
                    keep(request, carryOut(play, command));
                }
                break;
            case Fires::repeating:
                if (pressed) {
                    repeat = PlayState::PadRepeat{binding.input, 0.0, 1};
                    keep(request, carryOut(play, command));
                } else if (repeating) {
                    repeat.seconds += frameTime;
                    const int due = padRepeatSongs(repeat.seconds);
                    if (due > repeat.songs) {
                        keep(request, carryOut(play, command, due - repeat.songs, false));
                        repeat.songs = due;
                    }
                }
                break;
        }
    }
    return request;
}
