// The FFmpeg module: the video encoder and the resampler of music tracks,
// built as a shared object of their own (libtalpine_ffmpeg.so, beside the
// program) and loaded when a run first needs one. Linked into the program,
// FFmpeg's libraries and the hundred-odd libraries they pull in would be
// loaded at every start, about a fifth of the time to the first frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "media/video_encoder.h"

// The module's entry points, as it exports them.
extern "C" {
// A new encoder writing settings->path; null with *error when it cannot.
VideoEncoder* talpine_open_video(const VideoSettings* settings, std::string* error);
// `frames` interleaved stereo floats at `rate` to 16-bit stereo at MUSIC_RATE.
bool talpine_resample(const float* stereo, size_t frames, int rate, std::vector<int16_t>* out);
}

// Loads the module once (later calls give the first answer). False, with
// `error` naming what was tried, when it cannot be loaded.
bool load_ffmpeg_module(std::string* error);

// Through the module, loaded when needed.
VideoEncoder* open_video_encoder(const VideoSettings& settings, std::string* error);
bool resample_to_music_rate(const float* stereo, size_t frames, int rate, std::vector<int16_t>* out,
                            std::string* error);
