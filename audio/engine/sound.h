#pragma once

// The game's sound engine: files decoded with FFmpeg, resampled to 48 kHz
// stereo float, mixed on up to 16 channels and played on an SDL audio device,
// or on a silent clock when there is no device. Nothing outside this folder
// sees FFmpeg or the audio device.
//
// Every call below is made from one thread, the game's. The engine's own
// decoding thread and the device's mixing thread meet the game's thread only
// through atomics and short per-channel locks that the mixer never waits for.

#include <string>
#include <vector>

namespace snd {

enum Result : int {
    OK = 0,
    ERR_BAD_ARGUMENT = 1,
    ERR_BAD_HANDLE = 2,
    ERR_FILE_NOT_FOUND = 3,
    ERR_NOT_AUDIO = 4,
    ERR_OUTPUT = 5,
    ERR_NOT_INITIALISED = 6,
    ERR_ALREADY_INITIALISED = 7,
    ERR_OUT_OF_MEMORY = 8,
    ERR_CHANNEL_IDLE = 9,
    ERR_FILE_READ = 10,
};

// Our own text for a result code; "Unknown error." for any other number.
const char* errorString(int code);

// Engine version as 0xMMmmpppp.
inline constexpr unsigned kVersion = 0x00050100;

inline constexpr int kMixRate = 48000;
inline constexpr int kMaxChannels = 16;
// Frames per device callback: 512 / 48000 s = 10.7 ms.
inline constexpr int kDeviceBufferFrames = 512;
inline constexpr int kMaxSpectrumBins = 8192;

inline constexpr int CHANNEL_FREE = -1;
inline constexpr unsigned TIMEUNIT_MS = 1;
inline constexpr unsigned TIMEUNIT_FRAMES = 2;  // output frames at 48 kHz
inline constexpr int WINDOW_RECTANGLE = 0;
inline constexpr int WINDOW_TRIANGLE = 1;

// Mode bits callers use to describe a sound. Every sound is mixed in
// software, in 2-D, once; the bits are accepted and otherwise ignored.
inline constexpr unsigned MODE_LOOP_OFF = 0x01;
inline constexpr unsigned MODE_2D = 0x08;
inline constexpr unsigned MODE_HARDWARE = 0x20;
inline constexpr unsigned MODE_SOFTWARE = 0x40;

// What became of the sound output while the game runs.
enum class OutputEvent : int {
    Lost,  // the sound server went away: the game plays on, silently, at the pace of a clock
    Back,  // the server answers again and plays from where the clock stood
};
// `detail` names the output and, when it is lost, why. Called on an engine
// thread, never the game's, and never while mixing.
using OutputWatcher = void (*)(OutputEvent event, const char* detail, void* user);

class Sound {
public:
    // For a stream the length is first estimated from the file's packets, and
    // kept ahead of what a play has decoded when the packets promised less;
    // once a play has decoded to the end it is the exact decoded length, which
    // is also the position a finished channel reports.
    Result getLength(unsigned* length, unsigned timeUnit);
    // Stops every channel that plays the sound, then frees it.
    Result release();

protected:
    Sound() = default;
    ~Sound() = default;
};

class Channel {
public:
    Result setPaused(bool paused);
    Result getPaused(bool* paused);
    // Clamped to [0, 1]; a channel starts at 1.
    Result setVolume(float volume);
    Result getVolume(float* volume);
    // A channel that has played its sound to the end keeps it and answers with
    // a position equal to the sound's length until it is stopped or reused.
    // A stopped or never used channel answers ERR_CHANNEL_IDLE.
    Result getPosition(unsigned* position, unsigned timeUnit);
    Result getCurrentSound(class Sound** sound);
    Result isPlaying(bool* playing);
    Result stop();
    // `count` magnitudes (a power of two from 64 to 8192) of the last
    // 2 * count samples this channel sent to output channel `offset` (0 left,
    // 1 right); bin i stands for i * 24000 / count Hz. A full-scale sine at a
    // bin's centre gives about 1.0; silence, pauses and idle channels give 0.
    Result getSpectrum(float* out, int count, int offset, int window);

protected:
    Channel() = default;
    ~Channel() = default;
};

class System {
public:
    Result getVersion(unsigned* version);
    Result init(int maxChannels, unsigned flags, void* extraDriverData);
    // Decodes the whole file into memory.
    Result createSound(const char* path, unsigned mode, void* extraInfo, Sound** sound);
    // Checks the file and measures it; playing it decodes ahead in the
    // engine's thread. A stream may play on several channels at once.
    Result createStream(const char* path, unsigned mode, void* extraInfo, Sound** sound);
    // Only CHANNEL_FREE is accepted as index. With every channel busy, the
    // least recently started channel that does not play the newest stream is
    // taken over.
    Result playSound(int channelIndex, Sound* sound, bool paused, Channel** channel);
    Result update();
    Result close();
    // Closes if needed, then frees the system and every sound it made.
    Result release();

    // Overwrites `out` with the next `frames` frames of the mix, interleaved
    // stereo. The outputs call it; it never allocates and never waits: a
    // channel that the game's thread is changing just then sits the block out.
    void mix(float* out, int frames);

    // Set before init; nullptr tells no one.
    void setOutputWatcher(OutputWatcher watcher, void* user);

    // "pulse", "sdl:<driver>", "silent" (no device, or the server went away:
    // a real-time clock) or "offline".
    const char* outputName() const;

protected:
    System() = default;
    ~System() = default;
};

Result createSystem(System** system);

// Starts decoding the files `paths` whole on a thread of its own (loading
// the decoding libraries first where they are loaded at run time), so that
// createSound takes a file's sound from there instead of decoding it again,
// as long as the file is still the one decoded (same size and time). A file
// that cannot be decoded there is decoded by createSound, which reports it as
// it always does. Relative paths are taken in the working folder of the call,
// and createSound must name each as it was given here. A later call drops
// what an earlier one decoded and nobody took; calling it never is harmless.
void decodeAhead(std::vector<std::string> paths);

}  // namespace snd
