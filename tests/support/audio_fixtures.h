#pragma once

// Writes small songs for tests: sines and mixtures of sines, one part after
// another, encoded by FFmpeg's real encoders in the formats the game plays.
//
//   fixtures::ToneSong song = fixtures::tone(440.0, 2.0);
//   song.then(fixtures::tone(30.0, 1.0));
//   fixtures::writeSong("/tmp/x/song.ogg", fixtures::AudioFormat::Ogg, song);

#include <string>
#include <vector>

namespace fixtures {

enum class AudioFormat { Mp3, Mp2, Ogg, Flac, Wma, Wma1, M4aAac, M4aAlac, Aac, Opus, Wav, Aiff };

// The five formats of the game's music folder (Wma is WMA version 2).
const std::vector<AudioFormat>& musicFormats();
// The formats players keep besides those five, all written by FFmpeg's own
// encoders and muxers: AAC and ALAC in .m4a, ADTS .aac, Opus in Ogg (.opus),
// 16-bit PCM in .wav and .aiff.
const std::vector<AudioFormat>& moreMusicFormats();
// The file extension: "mp3", "mp2", "ogg", "flac", "wma" ("wma" for both WMA
// versions), "m4a" (AAC and ALAC), "aac", "opus", "wav", "aiff".
const char* extension(AudioFormat format);
const char* formatName(AudioFormat format);

struct Sine {
    double frequency = 440.0;  // Hz
    double amplitude = 0.5;    // of full scale
};

struct TonePart {
    double seconds = 1.0;
    std::vector<Sine> sines;  // summed; none is silence
};

struct ToneSong {
    std::vector<TonePart> parts;
    int sampleRate = 44100;  // Opus is always written at 48000
    int channels = 2;
    int bitRate = 0;  // 0: the format's usual rate
    // mp3 only: variable bit rate and no header that gives the length, so a
    // reader has to guess the duration.
    bool variableBitRateWithoutLengthHeader = false;

    ToneSong& then(const ToneSong& next);
    double seconds() const;
};

ToneSong tone(double frequency, double seconds, double amplitude = 0.5);
ToneSong mixture(const std::vector<Sine>& sines, double seconds);
ToneSong silence(double seconds);

// Encodes `song` into `path` (the folder must exist). False with a reason in
// `error` when the encoder or the file fails.
bool writeSong(const std::string& path, AudioFormat format, const ToneSong& song, std::string* error = nullptr);

}  // namespace fixtures
