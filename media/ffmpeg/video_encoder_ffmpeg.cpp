// The video encoder of the FFmpeg module (see media/ffmpeg_module.h): FFmpeg's
// libraries and their many dependencies are loaded only when a run records a
// video, not at every start of the program.
#include "media/ffmpeg_module.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

#include "media/frame_grabber.h"
#include "media/music.h"

namespace {

class FfmpegVideoEncoder final : public VideoEncoder {
 public:
  static std::unique_ptr<FfmpegVideoEncoder> create(const VideoSettings& settings, std::string* error);
  ~FfmpegVideoEncoder() override;

  bool add_frame(const CapturedFrame& frame) override;
  bool add_audio(const int16_t* samples, int count) override;
  bool finish(int width, int height) override;
  int64_t frames() const override { return frames_; }
  int width() const override;
  int height() const override;
  const std::string& error() const override { return error_; }

 private:
  FfmpegVideoEncoder() = default;
  struct State;
  bool start_streams(int width, int height);
  bool encode_video(bool flush);
  bool encode_audio_frames(bool flush);
  bool drain(void* codec, void* stream);
  bool fail(const std::string& what, int code);

  std::unique_ptr<State> state_;
  VideoSettings settings_;
  int64_t frames_ = 0;
  std::string error_;
};

struct FfmpegVideoEncoder::State {
  AVFormatContext* format = nullptr;
  bool webm = false;
  bool header_written = false;

  AVCodecContext* video = nullptr;
  AVStream* video_stream = nullptr;
  AVFrame* picture = nullptr;
  SwsContext* scaler = nullptr;
  int source_width = 0, source_height = 0;  // the frame size the scaler was made for
  int source_rows = 0;                      // the rows of it that it reads
  AVPixelFormat source_layout = AV_PIX_FMT_NONE;

  AVCodecContext* audio = nullptr;
  AVStream* audio_stream = nullptr;
  AVFrame* sound = nullptr;
  SwrContext* converter = nullptr;
  std::vector<int16_t> pending;  // stereo frames not yet a whole codec frame
  int64_t sound_pts = 0;         // frames of sound sent to the encoder

  AVPacket* packet = nullptr;

  ~State() {
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    av_frame_free(&picture);
    av_frame_free(&sound);
    sws_freeContext(scaler);
    swr_free(&converter);
    av_packet_free(&packet);
    if (format) {
      if (format->pb) avio_closep(&format->pb);
      avformat_free_context(format);
    }
  }
};

static std::string av_message(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

bool FfmpegVideoEncoder::fail(const std::string& what, int code) {
  if (error_.empty()) error_ = code < 0 ? what + ": " + av_message(code) : what;
  return false;
}

std::unique_ptr<FfmpegVideoEncoder> FfmpegVideoEncoder::create(const VideoSettings& settings, std::string* error) {
  // The libraries' own chatter (encoder statistics) stays off standard error.
  av_log_set_level(AV_LOG_ERROR);
  std::unique_ptr<FfmpegVideoEncoder> encoder(new FfmpegVideoEncoder());
  encoder->settings_ = settings;
  encoder->state_ = std::make_unique<State>();
  State& s = *encoder->state_;
  int code = avformat_alloc_output_context2(&s.format, nullptr, nullptr, settings.path.c_str());
  if (code < 0 || !s.format) {
    *error = "no container for " + settings.path;
    return nullptr;
  }
  s.webm = std::strcmp(s.format->oformat->name, "webm") == 0;
  code = avio_open(&s.format->pb, settings.path.c_str(), AVIO_FLAG_WRITE);
  if (code < 0) {
    *error = "cannot write " + settings.path + ": " + av_message(code);
    return nullptr;
  }
  s.packet = av_packet_alloc();
  return encoder;
}

FfmpegVideoEncoder::~FfmpegVideoEncoder() = default;

int FfmpegVideoEncoder::width() const { return state_->video ? state_->video->width : 0; }
int FfmpegVideoEncoder::height() const { return state_->video ? state_->video->height : 0; }

bool FfmpegVideoEncoder::start_streams(int width, int height) {
  State& s = *state_;
  const bool global_header = (s.format->oformat->flags & AVFMT_GLOBALHEADER) != 0;

  // ---- pictures
  const AVCodec* codec = s.webm ? avcodec_find_encoder_by_name("libvpx-vp9") : avcodec_find_encoder_by_name("libx264");
  if (!codec) codec = avcodec_find_encoder(s.webm ? AV_CODEC_ID_VP9 : AV_CODEC_ID_H264);
  if (!codec) return fail(s.webm ? "no VP9 encoder" : "no H.264 encoder", 0);
  s.video = avcodec_alloc_context3(codec);
  s.video->width = std::max(2, width & ~1);
  s.video->height = std::max(2, height & ~1);
  s.video->time_base = AVRational{1, settings_.fps};
  s.video->framerate = AVRational{settings_.fps, 1};
  s.video->pix_fmt = AV_PIX_FMT_YUV420P;
  s.video->gop_size = 2 * settings_.fps;  // a key frame every two seconds, for seeking
  // Pictures are converted with the BT.709 matrix into the limited range.
  s.video->colorspace = AVCOL_SPC_BT709;
  s.video->color_primaries = AVCOL_PRI_BT709;
  s.video->color_trc = AVCOL_TRC_BT709;
  s.video->color_range = AVCOL_RANGE_MPEG;
  if (global_header) s.video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  const int crf = settings_.crf >= 0 ? settings_.crf : (s.webm ? DEFAULT_CRF_VP9 : DEFAULT_CRF_H264);
  av_dict_set_int(&options, "crf", crf, 0);
  if (s.webm) {
    // Constant quality, at the encoder's fastest settings.
    s.video->bit_rate = 0;
    av_dict_set(&options, "deadline", "realtime", 0);
    av_dict_set_int(&options, "cpu-used", 8, 0);
    av_dict_set_int(&options, "row-mt", 1, 0);
  } else {
    // The fastest settings: the encoder shares the machine with the renderer
    // (on a CPU renderer, its very cores) and must not slow it down; the file
    // is larger for it, at the same quality. Every part of a split recording
    // must be encoded alike, so this does not depend on the machine.
    av_dict_set(&options, "preset", "ultrafast", 0);
  }
  int code = avcodec_open2(s.video, codec, &options);
  av_dict_free(&options);
  if (code < 0) return fail("cannot open the video encoder", code);
  s.video_stream = avformat_new_stream(s.format, nullptr);
  s.video_stream->time_base = s.video->time_base;
  s.video_stream->avg_frame_rate = s.video->framerate;
  avcodec_parameters_from_context(s.video_stream->codecpar, s.video);
  s.picture = av_frame_alloc();
  s.picture->format = s.video->pix_fmt;
  s.picture->width = s.video->width;
  s.picture->height = s.video->height;
  if ((code = av_frame_get_buffer(s.picture, 0)) < 0) return fail("out of memory", code);

  // ---- sound
  if (settings_.audio) {
    const AVCodec* sound_codec = s.webm ? avcodec_find_encoder_by_name("libopus") : avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (!sound_codec) return fail(s.webm ? "no Opus encoder" : "no AAC encoder", 0);
    s.audio = avcodec_alloc_context3(sound_codec);
    s.audio->sample_rate = MUSIC_RATE;
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&s.audio->ch_layout, &stereo);
    s.audio->sample_fmt = sound_codec->sample_fmts ? sound_codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    s.audio->bit_rate = s.webm ? 128000 : 192000;
    s.audio->time_base = AVRational{1, MUSIC_RATE};
    if (global_header) s.audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if ((code = avcodec_open2(s.audio, sound_codec, nullptr)) < 0) return fail("cannot open the sound encoder", code);
    s.audio_stream = avformat_new_stream(s.format, nullptr);
    s.audio_stream->time_base = s.audio->time_base;
    avcodec_parameters_from_context(s.audio_stream->codecpar, s.audio);
    if ((code = swr_alloc_set_opts2(&s.converter, &stereo, s.audio->sample_fmt, MUSIC_RATE, &stereo,
                                    AV_SAMPLE_FMT_S16, MUSIC_RATE, 0, nullptr)) < 0 ||
        (code = swr_init(s.converter)) < 0)
      return fail("cannot convert the sound", code);
    s.sound = av_frame_alloc();
  }

  if ((code = avformat_write_header(s.format, nullptr)) < 0) return fail("cannot write the file's header", code);
  s.header_written = true;
  return true;
}

// Sends what the encoder has ready to the file.
bool FfmpegVideoEncoder::drain(void* codec_context, void* stream_pointer) {
  State& s = *state_;
  auto* codec = static_cast<AVCodecContext*>(codec_context);
  auto* stream = static_cast<AVStream*>(stream_pointer);
  for (;;) {
    int code = avcodec_receive_packet(codec, s.packet);
    if (code == AVERROR(EAGAIN) || code == AVERROR_EOF) return true;
    if (code < 0) return fail("encoding failed", code);
    av_packet_rescale_ts(s.packet, codec->time_base, stream->time_base);
    s.packet->stream_index = stream->index;
    code = av_interleaved_write_frame(s.format, s.packet);
    if (code < 0) return fail("cannot write " + settings_.path, code);
  }
}

bool FfmpegVideoEncoder::add_frame(const CapturedFrame& frame) {
  if (!error_.empty()) return false;
  State& s = *state_;
  if (!s.header_written && !start_streams(frame.width, frame.height)) return false;
  const AVPixelFormat layout = frame.channels == 3 ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_BGRA;
  if (!s.scaler || frame.width != s.source_width || frame.height != s.source_height || layout != s.source_layout) {
    // A frame of the video's own size (before evening out) is cropped, any other scaled.
    const bool crop = (frame.width & ~1) == s.video->width && (frame.height & ~1) == s.video->height;
    const int from_width = crop ? s.video->width : frame.width;
    const int from_height = crop ? s.video->height : frame.height;
    sws_freeContext(s.scaler);
    s.scaler = sws_getContext(from_width, from_height, layout, s.video->width, s.video->height,
                              AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!s.scaler) return fail("cannot convert the frames", 0);
    const int* full = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(s.scaler, full, 1, sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
    s.source_width = frame.width;
    s.source_height = frame.height;
    s.source_rows = from_height;
    s.source_layout = layout;
  }
  int code = av_frame_make_writable(s.picture);
  if (code < 0) return fail("out of memory", code);
  // GL's rows run bottom-up: start at the top row and step backwards.
  const int stride = frame.width * frame.channels;
  const uint8_t* top = frame.pixels.data() + static_cast<size_t>(frame.height - 1) * stride;
  const uint8_t* planes[1] = {top};
  const int strides[1] = {-stride};
  sws_scale(s.scaler, planes, strides, 0, s.source_rows, s.picture->data, s.picture->linesize);
  s.picture->pts = frames_;
  if ((code = avcodec_send_frame(s.video, s.picture)) < 0) return fail("encoding failed", code);
  ++frames_;
  return drain(s.video, s.video_stream);
}

bool FfmpegVideoEncoder::encode_audio_frames(bool flush) {
  State& s = *state_;
  const int size = s.audio->frame_size > 0 ? s.audio->frame_size : 1024;
  const bool small_last = (s.audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
  while (s.pending.size() >= static_cast<size_t>(size) * 2 || (flush && !s.pending.empty())) {
    int count = std::min<int>(size, static_cast<int>(s.pending.size() / 2));
    if (count < size && !small_last) {
      s.pending.resize(static_cast<size_t>(size) * 2, 0);  // the last frame padded with silence
      count = size;
    }
    av_frame_unref(s.sound);
    s.sound->format = s.audio->sample_fmt;
    s.sound->nb_samples = count;
    av_channel_layout_copy(&s.sound->ch_layout, &s.audio->ch_layout);
    s.sound->sample_rate = MUSIC_RATE;
    int code = av_frame_get_buffer(s.sound, 0);
    if (code < 0) return fail("out of memory", code);
    const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(s.pending.data())};
    code = swr_convert(s.converter, s.sound->data, count, in, count);
    if (code < 0) return fail("cannot convert the sound", code);
    s.sound->pts = s.sound_pts;
    s.sound_pts += count;
    s.pending.erase(s.pending.begin(), s.pending.begin() + static_cast<ptrdiff_t>(count) * 2);
    if ((code = avcodec_send_frame(s.audio, s.sound)) < 0) return fail("encoding the sound failed", code);
    if (!drain(s.audio, s.audio_stream)) return false;
  }
  return true;
}

bool FfmpegVideoEncoder::add_audio(const int16_t* samples, int count) {
  if (!error_.empty()) return false;
  State& s = *state_;
  if (!s.audio || count <= 0) return true;
  s.pending.insert(s.pending.end(), samples, samples + static_cast<size_t>(count) * 2);
  return encode_audio_frames(false);
}

bool FfmpegVideoEncoder::finish(int width, int height) {
  State& s = *state_;
  if (!s.header_written && error_.empty()) start_streams(width, height);
  if (!error_.empty()) return false;
  int code = avcodec_send_frame(s.video, nullptr);
  if (code < 0) return fail("encoding failed", code);
  if (!drain(s.video, s.video_stream)) return false;
  if (s.audio) {
    if (!encode_audio_frames(true)) return false;
    avcodec_send_frame(s.audio, nullptr);
    if (!drain(s.audio, s.audio_stream)) return false;
  }
  if ((code = av_write_trailer(s.format)) < 0) return fail("cannot finish " + settings_.path, code);
  if ((code = avio_closep(&s.format->pb)) < 0) return fail("cannot close " + settings_.path, code);
  return true;
}

}  // namespace

extern "C" VideoEncoder* talpine_open_video(const VideoSettings* settings, std::string* error) {
  return FfmpegVideoEncoder::create(*settings, error).release();
}
