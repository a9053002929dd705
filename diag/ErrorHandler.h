#pragma once

// The game's diagnostics: an append-only "log.txt" and message boxes whose
// wording and title depend on the kind of error.

#include <cstdarg>

enum ErrorKind : int {
    ERROR_KIND_MESSAGE = 0,  // information box, then the process ends (code 1)
    ERROR_KIND_UNKNOWN = 1,
    ERROR_KIND_GENERAL = 2,
    ERROR_KIND_MEMORY = 3,
    ERROR_KIND_WINDOW = 4,
    ERROR_KIND_DIRECTX = 5,
    ERROR_KIND_OPENGL = 6,
    ERROR_KIND_SOUND = 7,    // box, then the process ends (code 1)
    ERROR_KIND_GAME = 8,
};

class ErrorHandler {
public:
    ErrorHandler() {}
    virtual ~ErrorHandler() {}

    // Starts the log of a run: stores "No Error" as kind 0, then writes the
    // "#Game Started: MM/DD/YY HH:MM:SS" line when logging is on.
    void open(const char* name, bool enableLogging);

    // Formats `message` and appends it to "log.txt", whether logging is on or not.
    void log(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // Formats and stores `message` with its kind; appends it to the log only
    // while logging is on.
    void setError(int errorKind, const char* format, ...) __attribute__((format(printf, 3, 4)));

    // Shows the box of the stored kind and message. Kinds 0 and 7 end the
    // process with exit code 1 through the normal exit and do not return.
    void show();

    // The box text `show` would display for the stored kind and message.
    // Never longer than 1023 characters.
    void formatBox(char* out, unsigned long size) const;
    const char* boxTitle() const;

    char fileName[260];
    char message[1024];
    int kind;
    bool logEnabled;

private:
    void appendToLog(const char* line) const;
    void storeMessage(const char* format, va_list args) __attribute__((format(printf, 2, 0)));
};

extern ErrorHandler errorHandler;

// The file every line goes to, in the current directory.
inline constexpr const char* kLogFileName = "log.txt";
