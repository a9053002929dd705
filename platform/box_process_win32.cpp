// On Windows a box is SDL's MessageBox, shown in the game's own process: the
// desktop gives the keyboard back to the game's window when it closes, so no
// box process is needed and the game's binary has no box entry.

#include <cstdint>

#include "platform/message_box.h"
#include "platform/message_box_internal.h"

namespace plat {

bool detail::boxProcessSupported = false;
const char* detail::boxProgram = nullptr;

bool detail::runBoxProcess(const char*, const char*, std::uint32_t) { return false; }

bool isMessageBoxProcess(int, char**) { return false; }

int runMessageBoxProcess(int, char**) { return 2; }

const char* messageBoxProcessArg() { return "--redavave-message-box"; }

}  // namespace plat
