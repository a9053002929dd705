#include "audio/engine/sound.h"

namespace snd {

const char* errorString(int code) {
    switch (code) {
        case OK: return "No error.";
        case ERR_BAD_ARGUMENT: return "An argument is missing or out of range.";
        case ERR_BAD_HANDLE: return "The handle does not belong to this sound system.";
        case ERR_FILE_NOT_FOUND: return "The file was not found.";
        case ERR_NOT_AUDIO: return "The file holds no audio that can be decoded.";
        case ERR_OUTPUT: return "The sound output could not be started.";
        case ERR_NOT_INITIALISED: return "The sound system has not been started.";
        case ERR_ALREADY_INITIALISED: return "The sound system has already been started.";
        case ERR_OUT_OF_MEMORY: return "Not enough memory.";
        case ERR_CHANNEL_IDLE: return "The channel is stopped and plays nothing.";
        case ERR_FILE_READ: return "The file could not be read.";
        default: return "Unknown error.";
    }
}

}  // namespace snd
