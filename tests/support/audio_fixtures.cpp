#include "tests/support/audio_fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
}

namespace fixtures {

namespace {

struct FormatInfo {
    const char* encoder;
    const char* muxer;
    const char* extension;
    const char* name;
    int defaultBitRate;
};

FormatInfo info(AudioFormat format) {
    switch (format) {
        case AudioFormat::Mp3: return {"libmp3lame", "mp3", "mp3", "mp3", 128000};
        case AudioFormat::Mp2: return {"mp2", "mp2", "mp2", "mp2", 192000};
        case AudioFormat::Ogg: return {"libvorbis", "ogg", "ogg", "ogg", 128000};
        case AudioFormat::Flac: return {"flac", "flac", "flac", "flac", 0};
        case AudioFormat::Wma: return {"wmav2", "asf", "wma", "wma2", 128000};
        case AudioFormat::Wma1: return {"wmav1", "asf", "wma", "wma1", 128000};
        case AudioFormat::M4aAac: return {"aac", "ipod", "m4a", "m4a_aac", 128000};
        case AudioFormat::M4aAlac: return {"alac", "ipod", "m4a", "m4a_alac", 0};
        case AudioFormat::Aac: return {"aac", "adts", "aac", "aac", 128000};
        case AudioFormat::Opus: return {"opus", "ogg", "opus", "opus", 96000};
        case AudioFormat::Wav: return {"pcm_s16le", "wav", "wav", "wav", 0};
        case AudioFormat::Aiff: return {"pcm_s16be", "aiff", "aiff", "aiff", 0};
    }
    return {"", "", "", "", 0};
}

bool fail(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
    return false;
}

AVSampleFormat pickSampleFormat(const AVCodec* codec) {
    static const AVSampleFormat preferred[] = {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_S16,
                                               AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_S32, AV_SAMPLE_FMT_S32P};
    if (codec->sample_fmts == nullptr) {
        return AV_SAMPLE_FMT_FLTP;
    }
    for (AVSampleFormat want : preferred) {
        for (const AVSampleFormat* have = codec->sample_fmts; *have != AV_SAMPLE_FMT_NONE; ++have) {
            if (*have == want) {
                return want;
            }
        }
    }
    return codec->sample_fmts[0];
}

// The song's samples, one value per frame (every channel carries the same).
std::vector<float> synthesise(const ToneSong& song) {
    std::vector<float> samples;
    for (const TonePart& part : song.parts) {
        const auto frames = static_cast<int64_t>(std::llround(part.seconds * song.sampleRate));
        for (int64_t n = 0; n < frames; ++n) {
            const double t = static_cast<double>(n) / song.sampleRate;
            double value = 0.0;
            for (const Sine& sine : part.sines) {
                value += sine.amplitude * std::sin(2.0 * M_PI * sine.frequency * t);
            }
            samples.push_back(static_cast<float>(std::clamp(value, -1.0, 1.0)));
        }
    }
    return samples;
}

void store(AVFrame* frame, int index, int channels, float value) {
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(format) != 0;
    for (int c = 0; c < channels; ++c) {
        uint8_t* base = frame->extended_data[planar ? c : 0];
        const int at = planar ? index : index * channels + c;
        switch (av_get_packed_sample_fmt(format)) {
            case AV_SAMPLE_FMT_FLT: reinterpret_cast<float*>(base)[at] = value; break;
            case AV_SAMPLE_FMT_S16: reinterpret_cast<int16_t*>(base)[at] = static_cast<int16_t>(std::lrint(value * 32767.0)); break;
            case AV_SAMPLE_FMT_S32:
                reinterpret_cast<int32_t*>(base)[at] = static_cast<int32_t>(std::llrint(value * 2147483647.0));
                break;
            default: break;
        }
    }
}

class Encoder {
public:
    ~Encoder() {
        av_frame_free(&frame);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        if (format != nullptr) {
            if (format->pb != nullptr) {
                avio_closep(&format->pb);
            }
            avformat_free_context(format);
        }
    }

    bool run(const std::string& path, AudioFormat which, const ToneSong& song, std::string* error) {
        const FormatInfo fi = info(which);
        const AVCodec* encoder = avcodec_find_encoder_by_name(fi.encoder);
        if (encoder == nullptr) {
            return fail(error, std::string("no encoder ") + fi.encoder);
        }
        if (avformat_alloc_output_context2(&format, nullptr, fi.muxer, path.c_str()) < 0) {
            return fail(error, std::string("no muxer ") + fi.muxer);
        }
        AVStream* stream = avformat_new_stream(format, nullptr);
        codec = avcodec_alloc_context3(encoder);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        if (stream == nullptr || codec == nullptr || packet == nullptr || frame == nullptr) {
            return fail(error, "out of memory");
        }
        // FFmpeg's own Opus encoder takes 48 kHz only and is marked experimental.
        const int sampleRate = which == AudioFormat::Opus ? 48000 : song.sampleRate;
        if (which == AudioFormat::Opus) {
            codec->strict_std_compliance = FF_COMPLIANCE_EXPERIMENTAL;
        }
        codec->sample_rate = sampleRate;
        av_channel_layout_default(&codec->ch_layout, song.channels);
        codec->sample_fmt = pickSampleFormat(encoder);
        codec->time_base = AVRational{1, sampleRate};
        const int bitRate = song.bitRate > 0 ? song.bitRate : fi.defaultBitRate;
        if (bitRate > 0) {
            codec->bit_rate = bitRate;
        }
        const bool vbrMp3 = which == AudioFormat::Mp3 && song.variableBitRateWithoutLengthHeader;
        if (vbrMp3) {
            codec->flags |= AV_CODEC_FLAG_QSCALE;
            codec->global_quality = FF_QP2LAMBDA * 2;
        }
        if ((format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
            codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        if (avcodec_open2(codec, encoder, nullptr) < 0) {
            return fail(error, std::string("cannot open encoder ") + fi.encoder);
        }
        if (avcodec_parameters_from_context(stream->codecpar, codec) < 0) {
            return fail(error, "cannot copy encoder parameters");
        }
        stream->time_base = codec->time_base;
        if (avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
            return fail(error, "cannot create " + path);
        }
        AVDictionary* options = nullptr;
        if (vbrMp3) {
            av_dict_set(&options, "write_xing", "0", 0);
        }
        const int headerResult = avformat_write_header(format, &options);
        av_dict_free(&options);
        if (headerResult < 0) {
            return fail(error, "cannot write header of " + path);
        }
        ToneSong resampled = song;
        resampled.sampleRate = sampleRate;  // the same tones, synthesised at the rate written
        if (!encodeAll(synthesise(resampled), stream)) {
            return fail(error, "encoding failed for " + path);
        }
        if (av_write_trailer(format) < 0) {
            return fail(error, "cannot finish " + path);
        }
        return true;
    }

private:
    bool encodeAll(const std::vector<float>& samples, AVStream* stream) {
        const bool variable = (codec->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0;
        const bool smallLast = (codec->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
        const int frameSize = codec->frame_size > 0 && !variable ? codec->frame_size : 1024;
        const auto total = static_cast<int64_t>(samples.size());
        for (int64_t at = 0; at < total; at += frameSize) {
            int count = static_cast<int>(std::min<int64_t>(frameSize, total - at));
            const int padded = (variable || smallLast) ? count : frameSize;  // such encoders take whole frames only
            frame->nb_samples = padded;
            frame->format = codec->sample_fmt;
            frame->sample_rate = codec->sample_rate;
            if (av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout) < 0 || av_frame_get_buffer(frame, 0) < 0) {
                return false;
            }
            for (int i = 0; i < padded; ++i) {
                store(frame, i, codec->ch_layout.nb_channels, i < count ? samples[at + i] : 0.0f);
            }
            frame->pts = at;
            const bool sent = avcodec_send_frame(codec, frame) >= 0;
            av_frame_unref(frame);
            if (!sent || !drain(stream)) {
                return false;
            }
        }
        return avcodec_send_frame(codec, nullptr) >= 0 && drain(stream);
    }

    bool drain(AVStream* stream) {
        for (;;) {
            int result = avcodec_receive_packet(codec, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
                return true;
            }
            if (result < 0) {
                return false;
            }
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            if (av_interleaved_write_frame(format, packet) < 0) {
                return false;
            }
        }
    }

    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
};

}  // namespace

const std::vector<AudioFormat>& musicFormats() {
    static const std::vector<AudioFormat> formats = {AudioFormat::Mp3, AudioFormat::Mp2, AudioFormat::Ogg,
                                                     AudioFormat::Flac, AudioFormat::Wma};
    return formats;
}

const std::vector<AudioFormat>& moreMusicFormats() {
    static const std::vector<AudioFormat> formats = {AudioFormat::M4aAac, AudioFormat::M4aAlac, AudioFormat::Aac,
                                                     AudioFormat::Opus,   AudioFormat::Wav,     AudioFormat::Aiff};
    return formats;
}

const char* extension(AudioFormat format) { return info(format).extension; }

const char* formatName(AudioFormat format) { return info(format).name; }

ToneSong& ToneSong::then(const ToneSong& next) {
    parts.insert(parts.end(), next.parts.begin(), next.parts.end());
    return *this;
}

double ToneSong::seconds() const {
    double total = 0.0;
    for (const TonePart& part : parts) {
        total += part.seconds;
    }
    return total;
}

ToneSong tone(double frequency, double seconds, double amplitude) {
    return mixture({Sine{frequency, amplitude}}, seconds);
}

ToneSong mixture(const std::vector<Sine>& sines, double seconds) {
    ToneSong song;
    song.parts.push_back(TonePart{seconds, sines});
    return song;
}

ToneSong silence(double seconds) { return mixture({}, seconds); }

bool writeSong(const std::string& path, AudioFormat format, const ToneSong& song, std::string* error) {
    av_log_set_level(AV_LOG_ERROR);
    Encoder encoder;
    return encoder.run(path, format, song, error);
}

}  // namespace fixtures
