#include "platform/audio.h"

#include <SDL2/SDL.h>

#include "platform/platform.h"

namespace platform {

namespace {

SDL_AudioDeviceID device = 0;
AudioFill device_fill = nullptr;
void* device_context = nullptr;

void sdl_callback(void*, Uint8* stream, int length) {
  device_fill(device_context, reinterpret_cast<int16_t*>(stream), length / 4);
}

}  // namespace

bool open_audio(int rate, int block_frames, AudioFill fill, void* context) {
  if (device) return true;
  if (is_headless()) return false;
  if (!SDL_WasInit(SDL_INIT_AUDIO) && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  device_fill = fill;
  device_context = context;
  SDL_AudioSpec want{};
  want.freq = rate;
  want.format = AUDIO_S16SYS;
  want.channels = 2;
  want.samples = static_cast<Uint16>(block_frames);
  want.callback = sdl_callback;
  // No changes allowed: SDL converts to whatever the hardware takes, so the
  // fill always counts frames at `rate`.
  device = SDL_OpenAudioDevice(nullptr, 0, &want, nullptr, 0);
  if (device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

bool audio_open() { return device != 0; }

void pause_audio(bool paused) {
  if (device) SDL_PauseAudioDevice(device, paused ? 1 : 0);
}

void close_audio() {
  if (!device) return;
  SDL_CloseAudioDevice(device);
  device = 0;
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace platform
