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
    bool finished() const { return ended && !resamplerHolds && pendingFrames == 0; }
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
    // Converts into `pending` at most one block; the resampler keeps the rest.
    bool takeConverted(const uint8_t** input, int inputFrames);
    // What the resampler held back from earlier input; false when nothing.
    bool takeHeldBack();
    // The resampler's tail at the end of the file, a block per call.
    bool flushResampler();

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
    bool resamplerHolds = false;  // the last conversion filled its block: more may wait

    std::vector<float> pending;  // converted frames not yet read, interleaved in outChannels
    int pendingFrames = 0;
    int pendingOffset = 0;
    std::int64_t produced = 0;
};

}  // namespace snd
