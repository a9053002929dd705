#pragma once

// One open audio file, read as 48 kHz interleaved stereo float.

#include <cstdint>
#include <memory>
#include <vector>

#include "audio/engine/sound.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;

namespace snd {

class Decoder {
public:
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    static Result open(const char* path, std::unique_ptr<Decoder>* decoder);

    // Writes up to `maxFrames` frames; fewer only once the file has ended
    // (then finished() is true). Undecodable packets are skipped.
    int read(float* out, int maxFrames);
    bool finished() const { return ended && pendingFrames == 0; }
    // Frames handed out by read() so far.
    std::int64_t framesRead() const { return produced; }

    // Reads through the file's packets without decoding them all and returns
    // the length they add up to, in 48 kHz frames; ERR_NOT_AUDIO when not a
    // single packet decodes. Meant for a fresh decoder that is then dropped.
    Result measure(std::int64_t* frames);

private:
    Decoder() = default;
    // Decodes the next frame into `pending`; false at the end of the file.
    bool decodeMore();
    bool convert();
    void flushResampler();

    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwrContext* resampler = nullptr;
    int streamIndex = -1;
    int resamplerRate = 0;
    int resamplerFormat = -1;
    int resamplerChannels = 0;
    int outChannels = 2;  // mono files are resampled as mono and doubled
    bool draining = false;
    bool ended = false;

    std::vector<float> pending;  // converted frames not yet read, interleaved in outChannels
    int pendingFrames = 0;
    int pendingOffset = 0;
    std::int64_t produced = 0;
};

}  // namespace snd
