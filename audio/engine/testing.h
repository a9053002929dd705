#pragma once

// Seams for tests: run the engine without a device and without waiting in
// real time, and script what the spectrum of a channel says.

namespace snd {
class System;
}

namespace snd::testing {

// While on, the next System::init plays on an offline output that advances
// only through render(). Off again for later inits.
void useOfflineOutput(bool on);

// Renders `frames` 48 kHz frames of the current offline system's mix at once,
// decoding whatever the streams need first. `out`, when given, receives the
// mix (2 * frames floats). Does nothing when no offline system is running.
void render(int frames);
void render(float* out, int frames);

// When set, Channel::getSpectrum of every channel fills its output from this
// function instead of the analysis; nullptr restores the analysis.
using SpectrumSource = void (*)(float* out, int count, void* user);
void setSpectrumSource(SpectrumSource source, void* user);

// Makes System::getVersion report this number instead of the engine's own;
// 0 restores it.
void overrideVersion(unsigned version);

// Sounds and streams the system holds (made and not yet released).
int liveSounds(System* system);

}  // namespace snd::testing
