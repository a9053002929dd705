// The process entry: the arguments become one command-line text, as the
// desktop hands it to a GUI program (without the program name).

#include <string>

#include "app/Core.h"
#include "platform/files.h"
#include "platform/window.h"

int main(int argc, char** argv) {
    plat::enterProgramFolder();
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            commandLine += ' ';
        }
        commandLine += argv[i];
    }
    return gameMain(plat::moduleHandle(), commandLine.c_str());
}
