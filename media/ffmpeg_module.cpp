#include "media/ffmpeg_module.h"

#include <dlfcn.h>

#include <mutex>

#include "platform/platform.h"

namespace {

constexpr const char* MODULE_NAME = "libtalpine_ffmpeg.so";

struct Module {
  bool loaded = false;
  std::string error;
  decltype(&talpine_open_video) open_video = nullptr;
  decltype(&talpine_resample) resample = nullptr;
};

// Beside the program first; then the build folder the program was built in,
// where the test and benchmark programs of that build find it.
Module load() {
  Module module;
  std::string program = platform::executable_path();
  std::vector<std::string> places = {program.substr(0, program.find_last_of('/') + 1) + MODULE_NAME};
#ifdef TALPINE_MODULE_DIR
  places.push_back(std::string(TALPINE_MODULE_DIR) + "/" + MODULE_NAME);
#endif
  void* handle = nullptr;
  for (const std::string& place : places) {
    handle = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle) break;
    if (!module.error.empty()) module.error += "; ";
    module.error += dlerror();
  }
  if (!handle) {
    module.error = "cannot load the FFmpeg module: " + module.error;
    return module;
  }
  module.open_video = reinterpret_cast<decltype(&talpine_open_video)>(dlsym(handle, "talpine_open_video"));
  module.resample = reinterpret_cast<decltype(&talpine_resample)>(dlsym(handle, "talpine_resample"));
  if (!module.open_video || !module.resample) {
    module.error = std::string("the FFmpeg module lacks its entry points: ") + MODULE_NAME;
    return module;
  }
  // Never unloaded: the encoders it made run their code from it.
  module.loaded = true;
  module.error.clear();
  return module;
}

const Module& module() {
  static std::once_flag once;
  static Module loaded;
  std::call_once(once, [] { loaded = load(); });
  return loaded;
}

}  // namespace

bool load_ffmpeg_module(std::string* error) {
  if (module().loaded) return true;
  *error = module().error;
  return false;
}

VideoEncoder* open_video_encoder(const VideoSettings& settings, std::string* error) {
  if (!load_ffmpeg_module(error)) return nullptr;
  return module().open_video(&settings, error);
}

bool resample_to_music_rate(const float* stereo, size_t frames, int rate, std::vector<int16_t>* out,
                            std::string* error) {
  if (!load_ffmpeg_module(error)) return false;
  return module().resample(stereo, frames, rate, out);
}
