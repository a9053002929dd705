// The FFmpeg calls of the engine, loaded on first use instead of at process
// start. Linked directly, FFmpeg brings its dependencies into the process's
// global symbol scope before main(); opened here with local scope, they stay
// out of the way, and only when the engine first needs them. The libraries
// are the game's own build when the game was built with one (named
// lib<name>_redavave.so.<major>, beside the game in ../lib/redavave, found
// through the program's run path): the four libraries and the C library,
// against over a hundred for Debian's. Each function below has the
// signature of FFmpeg's own and forwards to it.

#include <dlfcn.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/engine/ffmpeg.h"

namespace {

#ifndef REDAVAVE_FFMPEG_SUFFIX
#define REDAVAVE_FFMPEG_SUFFIX ""
#endif
#define REDAVAVE_SONAME(name, major) "lib" name REDAVAVE_FFMPEG_SUFFIX ".so." AV_STRINGIFY(major)

// In the order they are opened: each after the ones it needs, which it then
// finds loaded already.
enum Library { kUtil, kResample, kCodec, kFormat, kLibraryCount };

constexpr const char* kSonames[kLibraryCount] = {
    REDAVAVE_SONAME("avutil", LIBAVUTIL_VERSION_MAJOR),
    REDAVAVE_SONAME("swresample", LIBSWRESAMPLE_VERSION_MAJOR),
    REDAVAVE_SONAME("avcodec", LIBAVCODEC_VERSION_MAJOR),
    REDAVAVE_SONAME("avformat", LIBAVFORMAT_VERSION_MAJOR),
};

// Opens `soname` as the dynamic linker would for the program itself. A plain
// dlopen searches the run path of its caller, which is not the program when
// dlopen is intercepted (AddressSanitizer's lives in its own library): then
// the folders of the program's own search path are tried one by one.
void* openLibrary(const char* soname) {
    if (void* handle = dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {
        return handle;
    }
    void* program = dlopen(nullptr, RTLD_NOW);
    Dl_serinfo size{};
    if (program == nullptr || dlinfo(program, RTLD_DI_SERINFOSIZE, &size) != 0) {
        return nullptr;
    }
    std::vector<char> buffer(size.dls_size);
    auto* info = reinterpret_cast<Dl_serinfo*>(buffer.data());
    *info = size;  // dlinfo fills in the sizes it was given
    if (dlinfo(program, RTLD_DI_SERINFO, info) != 0) {
        return nullptr;
    }
    for (unsigned i = 0; i < info->dls_cnt; ++i) {
        const std::string path = std::string(info->dls_serpath[i].dls_name) + "/" + soname;
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            return handle;
        }
    }
    dlopen(soname, RTLD_NOW | RTLD_LOCAL);  // for dlerror's words about the name
    return nullptr;
}

// All four at the first call from any thread; a library that cannot be
// loaded is named once on standard error.
void* handleOf(Library library) {
    static void* const* const handles = [] {
        static void* opened[kLibraryCount] = {};
        for (int i = 0; i < kLibraryCount; ++i) {
            opened[i] = openLibrary(kSonames[i]);
            if (opened[i] == nullptr) {
                const char* why = dlerror();
                std::fprintf(stderr, "sound engine: cannot load %s: %s\n", kSonames[i], why != nullptr ? why : "");
            }
        }
        return opened;
    }();
    return handles[library];
}

// The function `name` of `library`, or null when it cannot be had (the
// forwarding function then answers as FFmpeg does for a failed call).
template <typename Function>
Function resolve(Library library, const char* name) {
    void* handle = handleOf(library);
    return handle != nullptr ? reinterpret_cast<Function>(dlsym(handle, name)) : nullptr;
}

}  // namespace

// Forwards `name` (result type `result`, parameters `params`, call `args`) to
// FFmpeg; `failed` is what a missing library answers.
#define REDAVAVE_FORWARD(library, result, name, params, args, failed)                           \
    result name params {                                                                       \
        static const auto real = resolve<result(*) params>(library, #name);                    \
        return real != nullptr ? real args : failed;                                           \
    }
#define REDAVAVE_FORWARD_VOID(library, name, params, args)                                     \
    void name params {                                                                         \
        static const auto real = resolve<void(*) params>(library, #name);                      \
        if (real != nullptr) {                                                                 \
            real args;                                                                         \
        }                                                                                      \
    }

namespace snd::ff {

// libavutil
REDAVAVE_FORWARD(kUtil, int, av_channel_layout_copy, (AVChannelLayout * dst, const AVChannelLayout* src), (dst, src),
                 AVERROR(ENOSYS))
REDAVAVE_FORWARD_VOID(kUtil, av_channel_layout_default, (AVChannelLayout * layout, int channels), (layout, channels))
REDAVAVE_FORWARD_VOID(kUtil, av_channel_layout_uninit, (AVChannelLayout * layout), (layout))
REDAVAVE_FORWARD(kUtil, AVFrame*, av_frame_alloc, (void), (), nullptr)
REDAVAVE_FORWARD_VOID(kUtil, av_frame_free, (AVFrame * *frame), (frame))
REDAVAVE_FORWARD_VOID(kUtil, av_frame_unref, (AVFrame * frame), (frame))
REDAVAVE_FORWARD_VOID(kUtil, av_freep, (void* pointer), (pointer))
REDAVAVE_FORWARD_VOID(kUtil, av_log_set_level, (int level), (level))
REDAVAVE_FORWARD(kUtil, void*, av_malloc, (size_t size), (size), nullptr)
REDAVAVE_FORWARD(kUtil, int64_t, av_rescale, (int64_t a, int64_t b, int64_t c), (a, b, c), 0)
REDAVAVE_FORWARD(kUtil, int64_t, av_rescale_q, (int64_t a, AVRational bq, AVRational cq), (a, bq, cq), 0)
REDAVAVE_FORWARD(kUtil, int, av_tx_init,
                 (AVTXContext * *context, av_tx_fn* transform, enum AVTXType type, int inverse, int length,
                  const void* scale, uint64_t flags),
                 (context, transform, type, inverse, length, scale, flags), AVERROR(ENOSYS))
REDAVAVE_FORWARD_VOID(kUtil, av_tx_uninit, (AVTXContext * *context), (context))

// libavcodec
REDAVAVE_FORWARD(kCodec, AVPacket*, av_packet_alloc, (void), (), nullptr)
REDAVAVE_FORWARD_VOID(kCodec, av_packet_free, (AVPacket * *packet), (packet))
REDAVAVE_FORWARD(kCodec, uint8_t*, av_packet_get_side_data,
                 (const AVPacket* packet, enum AVPacketSideDataType type, size_t* size), (packet, type, size), nullptr)
REDAVAVE_FORWARD_VOID(kCodec, av_packet_unref, (AVPacket * packet), (packet))
REDAVAVE_FORWARD(kCodec, AVCodecContext*, avcodec_alloc_context3, (const AVCodec* codec), (codec), nullptr)
REDAVAVE_FORWARD_VOID(kCodec, avcodec_free_context, (AVCodecContext * *context), (context))
REDAVAVE_FORWARD(kCodec, int, avcodec_open2, (AVCodecContext * context, const AVCodec* codec, AVDictionary** options),
                 (context, codec, options), AVERROR(ENOSYS))
REDAVAVE_FORWARD(kCodec, int, avcodec_parameters_to_context,
                 (AVCodecContext * context, const AVCodecParameters* parameters), (context, parameters),
                 AVERROR(ENOSYS))
REDAVAVE_FORWARD(kCodec, int, avcodec_receive_frame, (AVCodecContext * context, AVFrame* frame), (context, frame),
                 AVERROR(ENOSYS))
REDAVAVE_FORWARD(kCodec, int, avcodec_send_packet, (AVCodecContext * context, const AVPacket* packet),
                 (context, packet), AVERROR(ENOSYS))

// libavformat
REDAVAVE_FORWARD(kFormat, int, av_find_best_stream,
                 (AVFormatContext * context, enum AVMediaType type, int wanted, int related, const AVCodec** decoder,
                  int flags),
                 (context, type, wanted, related, decoder, flags), AVERROR(ENOSYS))
REDAVAVE_FORWARD(kFormat, int, av_read_frame, (AVFormatContext * context, AVPacket* packet), (context, packet),
                 AVERROR(ENOSYS))
REDAVAVE_FORWARD_VOID(kFormat, avformat_close_input, (AVFormatContext * *context), (context))
REDAVAVE_FORWARD(kFormat, int, avformat_find_stream_info, (AVFormatContext * context, AVDictionary** options),
                 (context, options), AVERROR(ENOSYS))
REDAVAVE_FORWARD(kFormat, int, avformat_open_input,
                 (AVFormatContext * *context, const char* url, const AVInputFormat* format, AVDictionary** options),
                 (context, url, format, options), AVERROR(ENOSYS))
REDAVAVE_FORWARD(kFormat, int, avio_feof, (AVIOContext * context), (context), 1)

// libswresample
REDAVAVE_FORWARD(kResample, int, swr_alloc_set_opts2,
                 (SwrContext * *context, AVChannelLayout* outLayout, enum AVSampleFormat outFormat, int outRate,
                  AVChannelLayout* inLayout, enum AVSampleFormat inFormat, int inRate, int logOffset,
                  void* logContext),
                 (context, outLayout, outFormat, outRate, inLayout, inFormat, inRate, logOffset, logContext),
                 AVERROR(ENOSYS))
REDAVAVE_FORWARD(kResample, int, swr_convert,
                 (SwrContext * context, uint8_t** out, int outCount, const uint8_t** in, int inCount),
                 (context, out, outCount, in, inCount), AVERROR(ENOSYS))
REDAVAVE_FORWARD_VOID(kResample, swr_free, (SwrContext * *context), (context))
REDAVAVE_FORWARD(kResample, int, swr_get_out_samples, (SwrContext * context, int inSamples), (context, inSamples),
                 AVERROR(ENOSYS))
REDAVAVE_FORWARD(kResample, int, swr_init, (SwrContext * context), (context), AVERROR(ENOSYS))

}  // namespace snd::ff
