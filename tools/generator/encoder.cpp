#include "tools/generator/encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "tools/generator/file_out.h"

namespace {

struct CodecChoice {
    const char* extension;
    const char* encoder;
    const char* muxer;
    std::int64_t bitRate;  // 0: the codec's own (lossless)
};

const CodecChoice kCodecs[] = {
    {".mp3", "libmp3lame", "mp3", 160000}, {".mp2", "mp2", "mp2", 192000}, {".ogg", "libvorbis", "ogg", 128000},
    {".flac", "flac", "flac", 0},           {".wma", "wmav2", "asf", 128000},
};

const CodecChoice* choiceFor(const std::string& path) {
    for (const CodecChoice& choice : kCodecs) {
        const std::string ext = choice.extension;
        if (path.size() > ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0) {
            return &choice;
        }
    }
    return nullptr;
}

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Owns everything of one encoding run, released in any case.
struct Session {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~Session() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (format != nullptr) {
            if (format->pb != nullptr) {
                avio_closep(&format->pb);
            }
            avformat_free_context(format);
        }
    }
};

AVSampleFormat pickFormat(const AVCodec* codec) {
    const AVSampleFormat preferred[] = {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_S16,
                                        AV_SAMPLE_FMT_S32P, AV_SAMPLE_FMT_S32};
    for (const AVSampleFormat want : preferred) {
        for (const AVSampleFormat* f = codec->sample_fmts; f != nullptr && *f != AV_SAMPLE_FMT_NONE; ++f) {
            if (*f == want) {
                return want;
            }
        }
    }
    return AV_SAMPLE_FMT_NONE;
}

// Stores `count` frames from `offset` in the frame's own layout; the rest of a last, short frame is silence.
void fillFrame(AVFrame* frame, const StereoSamples& in, std::size_t offset, int count) {
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    for (int i = 0; i < frame->nb_samples; ++i) {
        for (int ch = 0; ch < 2; ++ch) {
            const std::vector<float>& src = ch == 0 ? in.left : in.right;
            const float v = i < count ? std::clamp(src[offset + i], -1.0f, 1.0f) : 0.0f;
            const int index = planar ? i : i * 2 + ch;
            std::uint8_t* plane = frame->data[planar ? ch : 0];
            switch (format) {
                case AV_SAMPLE_FMT_FLT:
                case AV_SAMPLE_FMT_FLTP: reinterpret_cast<float*>(plane)[index] = v; break;
                case AV_SAMPLE_FMT_S16:
                case AV_SAMPLE_FMT_S16P:
                    reinterpret_cast<std::int16_t*>(plane)[index] = static_cast<std::int16_t>(v * 32767.0f);
                    break;
                default:
                    reinterpret_cast<std::int32_t*>(plane)[index] = static_cast<std::int32_t>(v * 2147483392.0f);
                    break;
            }
        }
    }
}

bool drain(Session& s, AVStream* stream, std::string& error) {
    for (;;) {
        const int got = avcodec_receive_packet(s.codec, s.packet);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) {
            return true;
        }
        if (got < 0) {
            error = "encoding failed: " + avError(got);
            return false;
        }
        av_packet_rescale_ts(s.packet, s.codec->time_base, stream->time_base);
        s.packet->stream_index = stream->index;
        const int written = av_interleaved_write_frame(s.format, s.packet);
        if (written < 0) {
            error = "writing failed: " + avError(written);
            return false;
        }
    }
}

}  // namespace

bool encodeAudioFile(const std::string& path, const StereoSamples& samples, std::string& error) {
    const CodecChoice* choice = choiceFor(path);
    if (choice == nullptr) {
        error = "no encoder for the file name '" + path + "'";
        return false;
    }
    const AVCodec* encoder = avcodec_find_encoder_by_name(choice->encoder);
    if (encoder == nullptr) {
        error = std::string("FFmpeg has no encoder ") + choice->encoder;
        return false;
    }
    if (!makeParentFolders(path)) {
        error = "cannot create the folder of '" + path + "'";
        return false;
    }
    Session s;
    if (avformat_alloc_output_context2(&s.format, nullptr, choice->muxer, path.c_str()) < 0) {
        error = std::string("FFmpeg has no muxer ") + choice->muxer;
        return false;
    }
    s.format->flags |= AVFMT_FLAG_BITEXACT;
    AVStream* stream = avformat_new_stream(s.format, nullptr);
    s.codec = avcodec_alloc_context3(encoder);
    s.frame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (stream == nullptr || s.codec == nullptr || s.frame == nullptr || s.packet == nullptr) {
        error = "out of memory";
        return false;
    }
    s.codec->sample_fmt = pickFormat(encoder);
    s.codec->sample_rate = samples.sampleRate;
    av_channel_layout_default(&s.codec->ch_layout, 2);
    s.codec->bit_rate = choice->bitRate;
    s.codec->time_base = AVRational{1, samples.sampleRate};
    s.codec->flags |= AV_CODEC_FLAG_BITEXACT;
    if ((s.format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        s.codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    int result = avcodec_open2(s.codec, encoder, nullptr);
    if (result < 0) {
        error = "cannot open the encoder: " + avError(result);
        return false;
    }
    avcodec_parameters_from_context(stream->codecpar, s.codec);
    stream->time_base = s.codec->time_base;
    result = avio_open(&s.format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) {
        error = "cannot write '" + path + "': " + avError(result);
        return false;
    }
    if ((result = avformat_write_header(s.format, nullptr)) < 0) {
        error = "cannot write the header: " + avError(result);
        return false;
    }
    const int frameSize = s.codec->frame_size > 0 ? s.codec->frame_size : 4096;
    s.frame->format = s.codec->sample_fmt;
    s.frame->sample_rate = s.codec->sample_rate;
    av_channel_layout_copy(&s.frame->ch_layout, &s.codec->ch_layout);
    s.frame->nb_samples = frameSize;
    if (av_frame_get_buffer(s.frame, 0) < 0) {
        error = "out of memory";
        return false;
    }
    const std::size_t total = std::min(samples.left.size(), samples.right.size());
    for (std::size_t offset = 0; offset < total; offset += frameSize) {
        if (av_frame_make_writable(s.frame) < 0) {
            error = "out of memory";
            return false;
        }
        const int count = static_cast<int>(std::min<std::size_t>(frameSize, total - offset));
        fillFrame(s.frame, samples, offset, count);
        s.frame->pts = static_cast<std::int64_t>(offset);
        if ((result = avcodec_send_frame(s.codec, s.frame)) < 0) {
            error = "encoding failed: " + avError(result);
            return false;
        }
        if (!drain(s, stream, error)) {
            return false;
        }
    }
    avcodec_send_frame(s.codec, nullptr);
    if (!drain(s, stream, error)) {
        return false;
    }
    if ((result = av_write_trailer(s.format)) < 0) {
        error = "cannot finish the file: " + avError(result);
        return false;
    }
    return true;
}
