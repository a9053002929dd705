#include "diag/ErrorHandler.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>

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
    FILE* file = std::fopen(kLogFileName, "a+");
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
    FILE* file = std::fopen(fileName, "a+");
    if (file == nullptr) {
        return;
    }
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%m/%d/%y %H:%M:%S", &local);
    std::fprintf(file, "#Game Started: %s\n", stamp);
    std::fclose(file);
}

void ErrorHandler::log(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    appendToLog(message);
}

void ErrorHandler::setError(int errorKind, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
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
    if (kind == ERROR_KIND_MESSAGE) {
        std::snprintf(out, size,
                      "Warning/Message Notification:\n\n Message As Fallows:\n %s\n\nWarning: Game may close, crash or "
                      "have game play malfunctions after you click 'OK'.",
                      message);
        return;
    }
    // The message is an argument, never the format: a percent sign in it shows literally.
    std::snprintf(out, size,
                  "%s\n\n Error As Fallows:\n%s\n\nWarning: Game may close, crash or have game play malfunctions "
                  "after you click 'OK'.",
                  boxFor(kind).head, message);
}

void ErrorHandler::show() {
    char text[1024];
    formatBox(text, sizeof text);
    plat::showCursor(true);
    const unsigned icon = kind == ERROR_KIND_MESSAGE ? plat::MB_ICONINFORMATION : plat::MB_ICONERROR;
    plat::messageBox(nullptr, text, boxTitle(), plat::MB_OK | icon);
    if (kind == ERROR_KIND_MESSAGE || kind == ERROR_KIND_SOUND) {
        std::exit(1);
    }
}
