#pragma once

// Where the mix goes. Each output calls System::mix from its own thread at
// the pace of real time; the offline output has no object and advances only
// through snd::testing::render.

#include <memory>

namespace snd {

class System;

class Output {
public:
    virtual ~Output() = default;
    virtual const char* name() const = 0;
};

// A stream on the PulseAudio server the player's setup names, or nullptr
// when there is none (or SDL_AUDIODRIVER asks for another driver).
std::unique_ptr<Output> openPulseOutput(System* system);

// The default SDL audio device at 48 kHz stereo float with a 512-frame
// buffer, or nullptr when there is no device to open.
std::unique_ptr<Output> openDeviceOutput(System* system);

// Gives the calling thread, which mixes for an output, a real-time priority
// where the system allows it.
void raiseMixingThread();

// A thread that pulls the mix in 512-frame blocks on a real-time clock and
// drops it: positions, song ends and spectra go on without a device.
std::unique_ptr<Output> openSilentOutput(System* system);

}  // namespace snd
