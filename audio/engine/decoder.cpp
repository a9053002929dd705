#include "audio/engine/decoder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

extern "C" {
#include <libavutil/intreadwrite.h>
#include <libavutil/opt.h>
}

#include "audio/engine/ffmpeg.h"

namespace snd {

namespace {

// Output frames the resampler hands over per call; what does not fit stays
// inside it for the next call. A damaged header can declare a rate of 1 Hz,
// and a frame of it converted whole would ask for gigabytes at once.
constexpr int kConvertFrames = 8192;

Result openError(int error) {
    if (error == AVERROR(ENOENT) || error == AVERROR(ENOTDIR)) {
        return ERR_FILE_NOT_FOUND;
    }
    if (error == AVERROR(EACCES) || error == AVERROR(EISDIR) || error == AVERROR(EIO) || error == AVERROR(EPERM)) {
        return ERR_FILE_READ;
    }
    if (error == AVERROR(ENOMEM)) {
        return ERR_OUT_OF_MEMORY;
    }
    return ERR_NOT_AUDIO;
}

}  // namespace

Decoder::~Decoder() {
    ff::swr_free(&resampler);
    ff::av_frame_free(&frame);
    ff::av_packet_free(&packet);
    ff::avcodec_free_context(&codec);
    ff::avformat_close_input(&format);
}

Result Decoder::open(const char* path, std::unique_ptr<Decoder>* decoder) {
    std::unique_ptr<Decoder> d(new Decoder());
    int error = ff::avformat_open_input(&d->format, path, nullptr, nullptr);
    if (error < 0) {
        return openError(error);
    }
    if (ff::avformat_find_stream_info(d->format, nullptr) < 0) {
        return ERR_NOT_AUDIO;
    }
    const AVCodec* codecType = nullptr;
    d->streamIndex = ff::av_find_best_stream(d->format, AVMEDIA_TYPE_AUDIO, -1, -1, &codecType, 0);
    if (d->streamIndex < 0 || codecType == nullptr) {
        return ERR_NOT_AUDIO;
    }
    for (unsigned i = 0; i < d->format->nb_streams; ++i) {
        if (static_cast<int>(i) != d->streamIndex) {
            d->format->streams[i]->discard = AVDISCARD_ALL;  // cover art and the like
        }
    }
    AVStream* stream = d->format->streams[d->streamIndex];
    d->codec = ff::avcodec_alloc_context3(codecType);
    d->packet = ff::av_packet_alloc();
    d->frame = ff::av_frame_alloc();
    if (d->codec == nullptr || d->packet == nullptr || d->frame == nullptr) {
        return ERR_OUT_OF_MEMORY;
    }
    if (ff::avcodec_parameters_to_context(d->codec, stream->codecpar) < 0) {
        return ERR_NOT_AUDIO;
    }
    d->codec->pkt_timebase = stream->time_base;
    if (ff::avcodec_open2(d->codec, codecType, nullptr) < 0) {
        return ERR_NOT_AUDIO;
    }
    *decoder = std::move(d);
    return OK;
}

bool Decoder::convert() {
    // Zeroed: the copy below releases what the layout held before, and a
    // layout of stack garbage would have it free a pointer it never had.
    AVChannelLayout inLayout{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels == 0) {
        int channels = frame->ch_layout.nb_channels > 0 ? frame->ch_layout.nb_channels : codec->ch_layout.nb_channels;
        ff::av_channel_layout_default(&inLayout, channels);
    } else if (ff::av_channel_layout_copy(&inLayout, &frame->ch_layout) < 0) {
        return false;
    }
    if (inLayout.nb_channels <= 0) {
        return false;
    }
    if (resampler == nullptr || frame->sample_rate != resamplerRate || frame->format != resamplerFormat ||
        inLayout.nb_channels != resamplerChannels) {
        ff::swr_free(&resampler);
        // Mono is kept mono here and doubled when read: the resampler's own
        // upmix would put it 3 dB down in each ear.
        outChannels = inLayout.nb_channels == 1 ? 1 : 2;
        AVChannelLayout outLayout;
        ff::av_channel_layout_default(&outLayout, outChannels);
        int error = ff::swr_alloc_set_opts2(&resampler, &outLayout, AV_SAMPLE_FMT_FLT, kMixRate, &inLayout,
                                        static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
        ff::av_channel_layout_uninit(&outLayout);
        if (error < 0 || ff::swr_init(resampler) < 0) {
            ff::av_channel_layout_uninit(&inLayout);
            ff::swr_free(&resampler);
            return false;
        }
        resamplerRate = frame->sample_rate;
        resamplerFormat = frame->format;
        resamplerChannels = inLayout.nb_channels;
    }
    ff::av_channel_layout_uninit(&inLayout);

    return takeConverted(const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
}

bool Decoder::takeConverted(const uint8_t** input, int inputFrames) {
    pending.resize(static_cast<size_t>(kConvertFrames) * 2);
    uint8_t* outPlane = reinterpret_cast<uint8_t*>(pending.data());
    const int frames = ff::swr_convert(resampler, &outPlane, kConvertFrames, input, inputFrames);
    pendingFrames = frames > 0 ? frames : 0;
    pendingOffset = 0;
    // A full block may have left more behind.
    resamplerHolds = frames == kConvertFrames;
    return frames >= 0;
}

bool Decoder::takeHeldBack() {
    // No new input: planar input still has its pointer per channel read,
    // though none is followed. The resampler takes at most 64 channels.
    static const uint8_t* const kNoInput[64] = {};
    return takeConverted(const_cast<const uint8_t**>(kNoInput), 0) && pendingFrames > 0;
}

bool Decoder::flushResampler() {
    pendingFrames = 0;
    pendingOffset = 0;
    if (resampler == nullptr || !takeConverted(nullptr, 0)) {
        resamplerHolds = false;
    }
    return pendingFrames > 0;
}

bool Decoder::decodeMore() {
    if (ended) {
        // The resampler's tail, a block at a time.
        return resamplerHolds && flushResampler();
    }
    if (resamplerHolds && takeHeldBack()) {
        return true;
    }
    // A damaged stretch costs its own packets only. A file whose packets
    // keep failing would hold us here forever, though: that long a run of
    // failures means the rest is not audio.
    int failures = 0;
    while (!ended) {
        int error = ff::avcodec_receive_frame(codec, frame);
        if (error == 0) {
            bool converted = convert();
            ff::av_frame_unref(frame);
            if (converted && pendingFrames > 0) {
                return true;
            }
            continue;
        }
        if (error != AVERROR_EOF && !draining) {
            if (error != AVERROR(EAGAIN) && ++failures > 1000) {
                draining = true;
                ff::avcodec_send_packet(codec, nullptr);
                continue;
            }
            const int readError = ff::av_read_frame(format, packet);
            if (readError < 0) {
                // A damaged page or chunk: the demuxer finds the next one on
                // the following read, unless the file is at its end.
                if (readError == AVERROR_EOF || ff::avio_feof(format->pb) || ++failures > 1000) {
                    draining = true;
                    ff::avcodec_send_packet(codec, nullptr);
                }
                continue;
            }
            if (packet->stream_index == streamIndex && ff::avcodec_send_packet(codec, packet) < 0) {
                ++failures;
            }
            ff::av_packet_unref(packet);
            continue;
        }
        // The decoder has given all it has.
        ended = true;
        resamplerHolds = true;
        return flushResampler();
    }
    return false;
}

int Decoder::read(float* out, int maxFrames) {
    int written = 0;
    while (written < maxFrames) {
        if (pendingFrames == 0 && !decodeMore()) {
            break;
        }
        int n = std::min(maxFrames - written, pendingFrames);
        const float* src = pending.data() + static_cast<size_t>(pendingOffset) * outChannels;
        float* dst = out + static_cast<size_t>(written) * 2;
        if (outChannels == 1) {
            for (int i = 0; i < n; ++i) {
                dst[2 * i] = src[i];
                dst[2 * i + 1] = src[i];
            }
        } else {
            std::memcpy(dst, src, sizeof(float) * 2 * static_cast<size_t>(n));
        }
        pendingOffset += n;
        pendingFrames -= n;
        written += n;
    }
    produced += written;
    return written;
}

Result Decoder::measure(std::int64_t* frames) {
    AVStream* stream = format->streams[streamIndex];
    std::int64_t durationSum = 0;
    std::int64_t trimmed = 0;  // samples the decoder will drop: encoder delay and padding
    bool sawTrim = false;
    const bool trimsLastPacket = std::strcmp(format->iformat->name, "ogg") == 0;
    bool decodedOne = false;
    int tries = 0;
    while (ff::av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == streamIndex) {
            // Packets before time 0 are decoder warm-up (Ogg) and give no sound.
            if (packet->duration > 0 && (packet->pts == AV_NOPTS_VALUE || packet->pts >= 0)) {
                durationSum += packet->duration;
            }
            size_t size = 0;
            const uint8_t* skip = ff::av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
            if (skip != nullptr && size >= 8) {
                // Ogg already gives its last packet the trimmed duration.
                trimmed += AV_RL32(skip) + (trimsLastPacket ? 0 : AV_RL32(skip + 4));
                sawTrim = true;
            }
            // Prove that the packets really are audio this codec takes.
            if (!decodedOne && tries < 64) {
                ++tries;
                if (ff::avcodec_send_packet(codec, packet) >= 0 && ff::avcodec_receive_frame(codec, frame) == 0) {
                    decodedOne = frame->nb_samples > 0;
                    ff::av_frame_unref(frame);
                }
            }
        }
        ff::av_packet_unref(packet);
    }
    if (!decodedOne) {
        return ERR_NOT_AUDIO;
    }
    std::int64_t estimate = 0;
    if (durationSum > 0) {
        estimate = ff::av_rescale_q(durationSum, stream->time_base, AVRational{1, kMixRate});
        // Encoder delay and padding are cut by the decoder, not the demuxer.
        const int rate = stream->codecpar->sample_rate > 0 ? stream->codecpar->sample_rate : kMixRate;
        if (!sawTrim) {
            trimmed = stream->codecpar->initial_padding + stream->codecpar->trailing_padding;
        }
        estimate -= ff::av_rescale(trimmed, kMixRate, rate);
    } else if (format->duration > 0) {
        estimate = ff::av_rescale(format->duration, kMixRate, AV_TIME_BASE);
    }
    *frames = std::max<std::int64_t>(estimate, 0);
    return OK;
}

}  // namespace snd
