// Any bytes as a song of the music folder, through the calls the game makes
// to start one: the stream is opened and played on a fresh channel, then
// decoded and mixed to its end. Opening must give a sound or one of the
// engine's refusals; a sound must play, and where its channel stops the
// position must be its length, or the game would never see the song end.
//
// The engine opens songs by path, as the game does, so each input is written
// to a file in this process's scratch folder for the length of its run. It is
// named .mp3: FFmpeg takes the name as a hint only for files with no clear
// signature of their own, and those are the MPEG ones.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "audio/engine/sound.h"
#include "audio/engine/testing.h"
#include "fuzz/fuzz_setup.h"

namespace {

snd::System* engine = nullptr;
const char* const kSongPath = "song.mp3";  // relative to the scratch folder

// A few bytes can declare hours of sound (a tiny rate, huge blocks). Past
// this much, the rest would only repeat what was already exercised.
constexpr long kMaxFrames = 20L * snd::kMixRate;
constexpr int kBlockFrames = 2048;

bool writeInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(kSongPath, "wb");
    if (file == nullptr) {
        return false;
    }
    const bool whole = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && whole;
}

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_song: %s\n", what);
        std::abort();
    }
}

void playToTheEnd(snd::Sound* sound) {
    snd::Channel* channel = nullptr;
    // The file opened a moment ago: it must open again for the play.
    check(engine->playSound(snd::CHANNEL_FREE, sound, false, &channel) == snd::OK && channel != nullptr,
          "a stream that opened does not play");
    long rendered = 0;
    bool playing = true;
    unsigned position = 0;
    unsigned length = 0;
    while (channel->isPlaying(&playing) == snd::OK && playing && rendered < kMaxFrames) {
        snd::testing::render(kBlockFrames);
        rendered += kBlockFrames;
        check(channel->getPosition(&position, snd::TIMEUNIT_FRAMES) == snd::OK, "a played channel has no position");
        check(sound->getLength(&length, snd::TIMEUNIT_FRAMES) == snd::OK, "a sound has no length");
        // The game takes a position equal to the length for the song's end.
        check(position <= length, "a song plays on past its length");
        check(position <= static_cast<unsigned long>(rendered), "a channel played more than was mixed");
    }
    if (!playing) {
        check(position == length, "a finished channel stopped short of its sound's length");
    }
    // Spectrum reads of whatever was played, as the course does every frame.
    static float spectrum[snd::kMaxSpectrumBins];
    check(channel->getSpectrum(spectrum, snd::kMaxSpectrumBins, 0, snd::WINDOW_TRIANGLE) == snd::OK,
          "the spectrum of a channel cannot be read");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    fuzzsetup::quietGame(argc, argv);
    snd::testing::useOfflineOutput(true);
    check(snd::createSystem(&engine) == snd::OK && engine->init(16, 0, nullptr) == snd::OK,
          "the engine does not start");
    snd::testing::useOfflineOutput(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check(writeInput(data, size), "cannot write the input to the scratch folder");
    snd::Sound* sound = nullptr;
    const snd::Result opened = engine->createStream(kSongPath, 0x49, nullptr, &sound);
    if (opened == snd::OK) {
        check(sound != nullptr, "an opened stream has no handle");
        playToTheEnd(sound);
        check(sound->release() == snd::OK, "a sound cannot be released");
    } else {
        check(sound == nullptr, "a refused stream left a handle");
        check(opened == snd::ERR_NOT_AUDIO || opened == snd::ERR_FILE_READ || opened == snd::ERR_OUT_OF_MEMORY,
              "a file that exists is refused for a reason that does not fit");
    }
    unlink(kSongPath);
    return 0;
}
