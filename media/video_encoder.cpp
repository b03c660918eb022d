#include "media/video_encoder.h"

#include <cctype>
#include <cstring>

#include "media/ffmpeg_module.h"

bool is_video_file(const std::string& path) {
  std::string lower;
  for (char c : path) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* extension : {".mp4", ".mkv", ".webm"}) {
    const size_t n = std::strlen(extension);
    if (lower.size() > n && lower.compare(lower.size() - n, n, extension) == 0) return true;
  }
  return false;
}

std::unique_ptr<VideoEncoder> VideoEncoder::create(const VideoSettings& settings, std::string* error) {
  return std::unique_ptr<VideoEncoder>(open_video_encoder(settings, error));
}
