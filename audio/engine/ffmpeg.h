#pragma once

// The FFmpeg functions the engine calls, as snd::ff::<FFmpeg's name>. On
// Linux these forward to the game's own FFmpeg, opened at first use
// (ffmpeg_loader.cpp); elsewhere they are FFmpeg's own, linked as usual.
// Engine code calls FFmpeg only through these: a program that also links
// FFmpeg itself (the tests write their songs with Debian's) keeps its calls
// and the engine's apart.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/tx.h>
#include <libswresample/swresample.h>
}

#define REDAVAVE_FFMPEG_CALLS(X)                                                                 \
    X(av_channel_layout_copy) X(av_channel_layout_default) X(av_channel_layout_uninit)           \
    X(av_frame_alloc) X(av_frame_free) X(av_frame_unref) X(av_freep) X(av_log_set_level)         \
    X(av_malloc) X(av_rescale) X(av_rescale_q) X(av_tx_init) X(av_tx_uninit)                     \
    X(av_packet_alloc) X(av_packet_free) X(av_packet_get_side_data) X(av_packet_unref)           \
    X(avcodec_alloc_context3) X(avcodec_free_context) X(avcodec_open2)                           \
    X(avcodec_parameters_to_context) X(avcodec_receive_frame) X(avcodec_send_packet)             \
    X(av_find_best_stream) X(av_read_frame) X(avformat_close_input) X(avformat_find_stream_info) \
    X(avformat_open_input) X(avio_feof)                                                          \
    X(swr_alloc_set_opts2) X(swr_convert) X(swr_free) X(swr_get_out_samples) X(swr_init)

namespace snd::ff {

#ifdef __linux__
#define REDAVAVE_FFMPEG_DECLARE(name) decltype(::name) name;
#else
#define REDAVAVE_FFMPEG_DECLARE(name) using ::name;
#endif
REDAVAVE_FFMPEG_CALLS(REDAVAVE_FFMPEG_DECLARE)
#undef REDAVAVE_FFMPEG_DECLARE

}  // namespace snd::ff
