# The parts of FFmpeg the game plays its songs with: the file protocol and the
# demuxers, parsers and decoders of its song formats, nothing else (sourced by
# the scripts that build the game's own FFmpeg for Windows and for Linux, so
# both play the same formats).

# The PCM kinds wav and aiff files hold.
ffmpeg_pcm_decoders=pcm_u8,pcm_s8,pcm_s16le,pcm_s16be,pcm_s24le,pcm_s24be,pcm_s32le,pcm_s32be
ffmpeg_pcm_decoders+=,pcm_f32le,pcm_f32be,pcm_f64le,pcm_f64be,pcm_alaw,pcm_mulaw

ffmpeg_game_options=(
  --disable-everything --disable-programs --disable-doc
  --disable-avdevice --disable-avfilter --disable-swscale --disable-postproc
  --disable-network --disable-autodetect --disable-debug
  --enable-avcodec --enable-avformat --enable-avutil --enable-swresample
  --enable-protocol=file
  --enable-demuxer=mp3,ogg,flac,asf,mov,aac,wav,aiff
  --enable-parser=mpegaudio,vorbis,flac,aac,opus
  --enable-decoder=mp3,mp3float,mp2,mp2float,vorbis,flac,wmav1,wmav2,aac,alac,opus
  --enable-decoder="$ffmpeg_pcm_decoders"
)
