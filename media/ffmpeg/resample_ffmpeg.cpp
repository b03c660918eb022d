// The resampler of music tracks in the FFmpeg module (see media/ffmpeg_module.h).
#include "media/ffmpeg_module.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include "media/music.h"

extern "C" bool talpine_resample(const float* stereo, size_t frames, int rate, std::vector<int16_t>* out) {
  AVChannelLayout layout = AV_CHANNEL_LAYOUT_STEREO;
  SwrContext* swr = nullptr;
  if (swr_alloc_set_opts2(&swr, &layout, AV_SAMPLE_FMT_S16, MUSIC_RATE, &layout, AV_SAMPLE_FMT_FLT, rate, 0,
                          nullptr) < 0 ||
      swr_init(swr) < 0) {
    swr_free(&swr);
    return false;
  }
  const int in_frames = static_cast<int>(frames);
  const int64_t room = av_rescale_rnd(in_frames, MUSIC_RATE, rate, AV_ROUND_UP) + 64;
  out->assign(static_cast<size_t>(room) * 2, 0);
  const uint8_t* in_planes[1] = {reinterpret_cast<const uint8_t*>(stereo)};
  uint8_t* out_planes[1] = {reinterpret_cast<uint8_t*>(out->data())};
  int made = swr_convert(swr, out_planes, static_cast<int>(room), in_planes, in_frames);
  int tail = 0;
  if (made >= 0) {
    // What the filter still holds.
    uint8_t* rest[1] = {reinterpret_cast<uint8_t*>(out->data() + static_cast<size_t>(made) * 2)};
    tail = swr_convert(swr, rest, static_cast<int>(room) - made, nullptr, 0);
  }
  swr_free(&swr);
  if (made < 0 || tail < 0) return false;
  out->resize(static_cast<size_t>(made + tail) * 2);
  return true;
}
