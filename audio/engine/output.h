#pragma once

// Where the mix goes. Each output calls System::mix from its own thread at
// the pace of real time; the offline output has no object and advances only
// through snd::testing::render.

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace snd {

class System;

class Output {
public:
    virtual ~Output() = default;
    virtual const char* name() const = 0;
};

// The sound servers the engine plays to itself, in the order they are
// tried; SDL's device and the silent clock come after them.
enum class SoundServer { PipeWire, PulseAudio };

// For the player's setup, given SDL_AUDIODRIVER, PULSE_SERVER and
// PIPEWIRE_REMOTE (null or empty when unset): SDL_AUDIODRIVER naming one of
// the two servers' drivers asks for that server alone, naming another
// driver for none of them. Otherwise PipeWire comes first, where a desktop
// runs it, unless PULSE_SERVER names a PulseAudio server and PIPEWIRE_REMOTE
// does not name a PipeWire one: the player wants that server.
std::vector<SoundServer> soundServersToTry(const char* sdlDriver, const char* pulseServer, const char* pipewireRemote);

// A stream on the PulseAudio server the player's setup names, or nullptr
// when there is none.
std::unique_ptr<Output> openPulseOutput(System* system);

// A stream on the player's PipeWire server (PIPEWIRE_REMOTE, or pipewire-0 in
// the runtime folder), or nullptr when none answers or libpipewire is missing.
std::unique_ptr<Output> openPipeWireOutput(System* system);

// The default SDL audio device at 48 kHz stereo float with a 512-frame
// buffer, or nullptr when there is no device to open.
std::unique_ptr<Output> openDeviceOutput(System* system);

// Gives the calling thread, which mixes for an output, a real-time priority
// where the system allows it.
void raiseMixingThread();

// A thread that pulls the mix in 512-frame blocks on a real-time clock and
// drops it: positions, song ends and spectra go on without a device.
std::unique_ptr<Output> openSilentOutput(System* system);

// Who mixes for an output whose stream may stop and start under it: the
// stream's real-time callback or a clock that keeps the game's time
// meanwhile, never both at once. The callback only tries, and never waits;
// the side that hands over may wait for a mix under way to end.
class MixHandover {
public:
    // Real-time side, before a mix: true when the stream may mix now, and
    // then leave() follows the mix.
    bool enter() {
        busy.store(true, std::memory_order_seq_cst);
        if (streamMixes.load(std::memory_order_seq_cst)) {
            return true;
        }
        busy.store(false, std::memory_order_release);
        return false;
    }
    void leave() { busy.store(false, std::memory_order_release); }

    // The stream mixes from its next callback on.
    void toStream() { streamMixes.store(true, std::memory_order_seq_cst); }
    // No mix of the stream's is under way or to come once this returns.
    void toClock() {
        streamMixes.store(false, std::memory_order_seq_cst);
        while (busy.load(std::memory_order_seq_cst)) {
            std::this_thread::yield();
        }
    }

private:
    std::atomic<bool> streamMixes{false};
    std::atomic<bool> busy{false};
};

}  // namespace snd
