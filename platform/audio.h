// Sound output: one stream of interleaved 16-bit stereo frames that the
// device's own thread pulls through a fill function. Opening, pausing and
// closing belong to the main thread; the fill runs on SDL's audio thread.
#pragma once

#include <cstdint>

namespace platform {

// Fills `count` stereo frames (2 * count samples) at `out`.
using AudioFill = void (*)(void* context, int16_t* out, int count);

// Opens the default output device at `rate` frames per second, in blocks of
// `block_frames`, paused. False when there is no device (or no audio
// subsystem); the caller then plays silently. Headless runs never open one.
bool open_audio(int rate, int block_frames, AudioFill fill, void* context);
bool audio_open();
void pause_audio(bool paused);
void close_audio();

}  // namespace platform
