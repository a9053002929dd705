// Writes the song fuzzer's seeds: a quarter of a second of two tones in each
// format of the music folder, at a CD rate and at half of it (MPEG-2 frames,
// another resampling ratio), made by the same encoders as the game's songs.
// MP2 is left out at the half rate: its encoder's fixed 192 kbit/s is more
// than MPEG-2 allows.
//
//   fuzz_song_seeds <folder>

#include <cmath>
#include <cstdio>
#include <string>

#include "tools/generator/encoder.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    const char* const extensions[] = {".mp3", ".mp2", ".ogg", ".flac", ".wma"};
    for (const int rate : {44100, 22050}) {
        StereoSamples samples;
        samples.sampleRate = rate;
        const int frames = rate / 4;
        for (int i = 0; i < frames; ++i) {
            const double t = static_cast<double>(i) / rate;
            // Left and right differ, and the tone changes halfway: a decoder
            // that mixes up channels or frames takes another path.
            const double hz = i < frames / 2 ? 440.0 : 1760.0;
            samples.left.push_back(static_cast<float>(0.5 * std::sin(2.0 * M_PI * hz * t)));
            samples.right.push_back(static_cast<float>(0.3 * std::sin(2.0 * M_PI * 110.0 * t)));
        }
        for (const char* extension : extensions) {
            if (rate != 44100 && std::string(extension) == ".mp2") {
                continue;
            }
            const std::string path = folder + "/tone" + std::to_string(rate) + extension;
            std::string error;
            if (!encodeAudioFile(path, samples, error)) {
                std::fprintf(stderr, "fuzz_song_seeds: %s: %s\n", path.c_str(), error.c_str());
                return 1;
            }
        }
    }
    return 0;
}
