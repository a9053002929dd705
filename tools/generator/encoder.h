#pragma once

// Compressed audio files through FFmpeg's encoders and muxers, written
// bit-exactly (no random stream serials, no version strings), so that the
// same samples always give the same file.

#include <string>
#include <vector>

struct StereoSamples {
    int sampleRate = 44100;
    std::vector<float> left;
    std::vector<float> right;
};

// The encoder follows the file's extension: .mp3, .mp2, .ogg, .flac or .wma.
// False with the reason in `error` on failure.
bool encodeAudioFile(const std::string& path, const StereoSamples& samples, std::string& error);
