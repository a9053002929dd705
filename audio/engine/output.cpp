#include "audio/engine/output.h"

#include <SDL.h>
#ifndef _WIN32
#include <dlfcn.h>
#include <pthread.h>
#include <sched.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "audio/engine/sound.h"

namespace snd {

namespace {

#ifndef _WIN32
void ignoreAlsaMessage(const char*, int, const char*, int, const char*, ...) {}
#endif

// On a machine without a sound card ALSA prints a screenful of errors while
// SDL looks for a device. Having no device is not an error for us (we play
// to a clock instead), so ALSA is asked to keep quiet. It is the same library
// instance that SDL loads, so the handler applies to SDL's attempts.
void quietenAlsa() {
#ifndef _WIN32
    static const bool done = [] {
        void* alsa = dlopen("libasound.so.2", RTLD_NOW);
        if (alsa == nullptr) {
            return true;
        }
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        using SetHandler = int (*)(Handler);
        auto setHandler = reinterpret_cast<SetHandler>(dlsym(alsa, "snd_lib_error_set_handler"));
        if (setHandler != nullptr) {
            setHandler(&ignoreAlsaMessage);
        }
        return true;  // the library stays loaded: its handler must outlive this call
    }();
    (void)done;
#endif
}

class DeviceOutput final : public Output {
public:
    ~DeviceOutput() override {
        if (device != 0) {
            SDL_CloseAudioDevice(device);
        }
        if (subsystemUp) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
    }
    const char* name() const override { return label.c_str(); }

    bool open(System* target) {
        system = target;
        quietenAlsa();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            return false;
        }
        subsystemUp = true;
        SDL_AudioSpec want{};
        want.freq = kMixRate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = kDeviceBufferFrames;
        want.callback = &DeviceOutput::callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the device takes, so
        // the mixer always works in 48 kHz stereo float.
        device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device == 0) {
            return false;
        }
        const char* driver = SDL_GetCurrentAudioDriver();
        label = std::string("sdl:") + (driver != nullptr ? driver : "?");
        SDL_PauseAudioDevice(device, 0);
        return true;
    }

private:
    static void SDLCALL callback(void* user, Uint8* stream, int bytes) {
        auto* self = static_cast<DeviceOutput*>(user);
        if (!self->scheduled) {
            self->scheduled = true;
            raiseMixingThread();
        }
        self->system->mix(reinterpret_cast<float*>(stream), bytes / static_cast<int>(2 * sizeof(float)));
    }

    bool scheduled = false;  // mixing thread only
    System* system = nullptr;
    SDL_AudioDeviceID device = 0;
    bool subsystemUp = false;
    std::string label;
};

class SilentOutput final : public Output {
public:
    explicit SilentOutput(System* target) : system(target), block(2 * kDeviceBufferFrames) {
        thread = std::thread([this] { run(); });
    }
    ~SilentOutput() override {
        quit.store(true);
        thread.join();
    }
    const char* name() const override { return "silent"; }

private:
    void run() {
        using Clock = std::chrono::steady_clock;
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(kDeviceBufferFrames) / kMixRate));
        auto next = Clock::now();
        while (!quit.load()) {
            system->mix(block.data(), kDeviceBufferFrames);
            next += period;
            const auto now = Clock::now();
            if (now - next > std::chrono::milliseconds(200)) {
                next = now;  // after a stall, go on from now rather than race to catch up
            }
            std::this_thread::sleep_until(next);
        }
    }

    System* system;
    std::vector<float> block;
    std::atomic<bool> quit{false};
    std::thread thread;
};

}  // namespace

// With a 512-frame buffer a mixing thread that waits behind busy processes
// for more than a few milliseconds leaves a gap the player hears. Real-time
// round-robin at a low real-time priority, where the system grants it (root,
// or a real-time limit); elsewhere the thread keeps the priority it has.
void raiseMixingThread() {
#ifndef _WIN32
    sched_param param{};
    param.sched_priority = std::max(sched_get_priority_min(SCHED_RR), 10);
    pthread_setschedparam(pthread_self(), SCHED_RR, &param);
#endif
    // Windows: SDL's audio thread already runs at time-critical priority.
}

namespace {

bool given(const char* value) { return value != nullptr && *value != '\0'; }

bool named(const char* value, const char* name) { return given(value) && std::strcmp(value, name) == 0; }

}  // namespace

std::vector<SoundServer> soundServersToTry(const char* sdlDriver, const char* pulseServer, const char* pipewireRemote) {
    if (named(sdlDriver, "pipewire")) {
        return {SoundServer::PipeWire};
    }
    if (named(sdlDriver, "pulseaudio") || named(sdlDriver, "pulse")) {
        return {SoundServer::PulseAudio};
    }
    if (given(sdlDriver)) {
        return {};
    }
    if (given(pulseServer) && !given(pipewireRemote)) {
        return {SoundServer::PulseAudio, SoundServer::PipeWire};
    }
    return {SoundServer::PipeWire, SoundServer::PulseAudio};
}

#ifndef __linux__
// PulseAudio and PipeWire are Linux servers: elsewhere SDL's device is the
// first choice.
std::unique_ptr<Output> openPulseOutput(System*) { return nullptr; }
std::unique_ptr<Output> openPipeWireOutput(System*) { return nullptr; }
#endif

std::unique_ptr<Output> openDeviceOutput(System* system) {
    auto output = std::make_unique<DeviceOutput>();
    if (!output->open(system)) {
        return nullptr;
    }
    return output;
}

std::unique_ptr<Output> openSilentOutput(System* system) {
    return std::make_unique<SilentOutput>(system);
}

}  // namespace snd
