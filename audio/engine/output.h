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

// The default SDL audio device at 48 kHz stereo float with a 512-frame
// buffer, or nullptr when there is no device to open.
std::unique_ptr<Output> openDeviceOutput(System* system);

// A thread that pulls the mix in 512-frame blocks on a real-time clock and
// drops it: positions, song ends and spectra go on without a device.
std::unique_ptr<Output> openSilentOutput(System* system);

}  // namespace snd
