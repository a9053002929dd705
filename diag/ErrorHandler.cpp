#include "diag/ErrorHandler.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/system.h"

// Zero-initialised global storage: empty name and message, kind 0, logging off.
ErrorHandler errorHandler;

namespace {

struct KindBox {
    const char* head;
    const char* title;
};

KindBox boxFor(int kind) {
    switch (kind) {
        case 1: return {"There was a problem!", "Unkown Error"};
        case 2: return {"There was a problem!", "Error"};
        case 3: return {"There was a problem with memory!", "Memory Error"};
        case 4: return {"There was a problem!", "Window Error"};
        case 5: return {"There was a problem with DirectX!", "DirectX Error"};
        case 6: return {"There was a problem with OpenGL!", "OpenGL Error"};
        case 7: return {"There was a problem with Fmod!", "FMod Error"};
        case 8: return {"There was a problem with The Dovazud Engine!", "Game Error"};
        default: return {"There was a problem!", "Unkown Error"};
    }
}

}  // namespace

void ErrorHandler::appendToLog(const char* line) const {
    // Opened and closed per line so that a crash never loses what was written.
    FILE* file = plat::openFile(kLogFileName, "a+");
    if (file == nullptr) {
        return;  // an unwritable log drops the line; the game goes on
    }
    std::fprintf(file, "%s\n", line);
    std::fclose(file);
}

void ErrorHandler::open(const char* name, bool enableLogging) {
    logEnabled = enableLogging;
    setError(ERROR_KIND_MESSAGE, "No Error");
    std::snprintf(fileName, sizeof fileName, "%s", name);
    if (!logEnabled) {
        return;
    }
    FILE* file = plat::openFile(fileName, "a+");
    if (file == nullptr) {
        return;
    }
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // MM/DD/YY HH:MM:SS: the two-digit year is the log's own format.
    std::fprintf(file, "#Game Started: %02d/%02d/%02d %02d:%02d:%02d\n", local.tm_mon + 1, local.tm_mday,
                 local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec);
    std::fclose(file);
}

void ErrorHandler::storeMessage(const char* format, va_list args) {
    // Formatted aside first: the arguments may be the stored message itself
    // (showing an earlier error again), and the cut must stay at 1023 characters.
    char formatted[sizeof message];
    if (std::vsnprintf(formatted, sizeof formatted, format, args) < 0) {
        formatted[0] = '\0';
    }
    std::memcpy(message, formatted, sizeof message);
}

void ErrorHandler::log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    storeMessage(format, args);
    va_end(args);
    appendToLog(message);
}

void ErrorHandler::setError(int errorKind, const char* format, ...) {
    va_list args;
    va_start(args, format);
    storeMessage(format, args);
    va_end(args);
    kind = errorKind;
    if (logEnabled) {
        appendToLog(message);
    }
}

const char* ErrorHandler::boxTitle() const {
    return kind == ERROR_KIND_MESSAGE ? "All Ok!" : boxFor(kind).title;
}

void ErrorHandler::formatBox(char* out, unsigned long size) const {
    if (size > 1024) {
        size = 1024;  // a box text holds at most 1023 characters
    }
    int written = 0;
    if (kind == ERROR_KIND_MESSAGE) {
        written = std::snprintf(out, size,
                                "Warning/Message Notification:\n\n Message As Fallows:\n %s\n\nWarning: Game may "
                                "close, crash or have game play malfunctions after you click 'OK'.",
                                message);
    } else {
        // The message is an argument, never the format: a percent sign in it shows literally.
        written = std::snprintf(out, size,
                                "%s\n\n Error As Fallows:\n%s\n\nWarning: Game may close, crash or have game play "
                                "malfunctions after you click 'OK'.",
                                boxFor(kind).head, message);
    }
    if (written < 0 && size > 0) {
        out[0] = '\0';
    }
    // Longer texts are cut at the buffer's end, which snprintf has done.
}

void ErrorHandler::show() {
    char text[1024];
    formatBox(text, sizeof text);
    plat::showCursor(true);
    const unsigned icon = kind == ERROR_KIND_MESSAGE ? plat::MB_ICONINFORMATION : plat::MB_ICONERROR;
    plat::messageBox(nullptr, text, boxTitle(), plat::MB_OK | icon);
    if (kind == ERROR_KIND_MESSAGE || kind == ERROR_KIND_SOUND) {
        // Through the normal exit so the global objects are torn down. A box of
        // an ending kind raised again while that exit runs (from a destructor)
        // must not start a second exit, which would be undefined.
        static bool exiting = false;
        if (exiting) {
            std::_Exit(1);
        }
        exiting = true;
        std::exit(1);
    }
}
