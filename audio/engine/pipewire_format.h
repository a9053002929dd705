#pragma once

// The one format the game's PipeWire streams take, whether they play or
// record: 32-bit float, stereo, front left and right.

#include <spa/param/audio/format-utils.h>
#include <spa/pod/builder.h>

#include <cstdint>

namespace snd {

// The stream's offer of that format at `rate`, built in `builder`'s space.
inline const spa_pod* stereoFloatFormat(spa_pod_builder* builder, std::uint32_t rate) {
    spa_audio_info_raw format{};
    format.format = SPA_AUDIO_FORMAT_F32;
    format.rate = rate;
    format.channels = 2;
    format.position[0] = SPA_AUDIO_CHANNEL_FL;
    format.position[1] = SPA_AUDIO_CHANNEL_FR;
    return spa_format_audio_raw_build(builder, SPA_PARAM_EnumFormat, &format);
}

}  // namespace snd
