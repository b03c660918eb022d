// One video file written through FFmpeg's libraries: H.264 with AAC sound in
// MP4 and Matroska, VP9 with Opus sound in WebM, the container chosen by the
// file's extension. Frames come as the recorder captured them (BGRA or RGB,
// bottom row first) and are converted to 4:2:0 here; the sound comes as 16-bit
// stereo at MUSIC_RATE, in step with the frames. One thread at a time (the
// recorder's encoding thread).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct CapturedFrame;

// .mp4, .mkv or .webm, in any letter case.
bool is_video_file(const std::string& path);

struct VideoSettings {
  std::string path;
  int fps = 60;
  int crf = -1;         // quality, lower is better; -1: DEFAULT_CRF_H264 or DEFAULT_CRF_VP9
  bool audio = true;    // a stereo sound track beside the pictures
};

// Constant-quality defaults: visually clean for scenes with fine edges and text.
constexpr int DEFAULT_CRF_H264 = 20;  // of 0 to 51
constexpr int DEFAULT_CRF_VP9 = 31;   // of 0 to 63

// Made by the FFmpeg module, which create() loads on first use (see
// media/ffmpeg_module.h).
class VideoEncoder {
 public:
  // Creates the file. Null, with `error` saying why, when the module, the
  // container or the file cannot be had.
  static std::unique_ptr<VideoEncoder> create(const VideoSettings& settings, std::string* error);
  virtual ~VideoEncoder() = default;

  // The first frame sets the video's size; 4:2:0 pictures need even edges, so
  // an odd width or height loses its last column or bottom row. A later frame
  // of another size is scaled to it. False on an encoding or writing failure.
  virtual bool add_frame(const CapturedFrame& frame) = 0;
  // `count` stereo frames of sound at MUSIC_RATE, which follow those given
  // before. Ignored without a sound track.
  virtual bool add_audio(const int16_t* samples, int count) = 0;
  // Encodes what is held back and closes the file so that it plays. A file
  // that got no frame is still made valid, at width x height.
  virtual bool finish(int width, int height) = 0;

  virtual int64_t frames() const = 0;
  virtual int width() const = 0;
  virtual int height() const = 0;
  virtual const std::string& error() const = 0;
};
