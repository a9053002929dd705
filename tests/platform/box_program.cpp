// The game's binary as far as boxes go: the box process's entry, and with
// --own-a-box a game that shows one box through a box process and waits.

#include <cstring>

#include "platform/message_box.h"
#include "platform/message_box_internal.h"

int main(int argc, char** argv) {
    if (plat::isMessageBoxProcess(argc, argv)) {
        return plat::runMessageBoxProcess(argc, argv);
    }
    if (argc == 2 && std::strcmp(argv[1], "--own-a-box") == 0) {
        return plat::detail::runBoxProcess("The box's text", "Box Owner", plat::MB_OK | plat::MB_ICONERROR) ? 0 : 1;
    }
    return 2;
}
