// The motion-trail pass: each frame is drawn over the last captured frame,
// tinted by `color` and scaled about the centre by `scale`. Render thread only.
#pragma once

#include <cstdint>

#include "core/element_class.h"

struct Engine;

struct cBlur {
  explicit cBlur(Engine* owner) : engine(owner) {}

  Engine* engine;
  int32_t duration = 0;       // capture period in frames
  int32_t frameCounter = 0;   // frames since the last capture
  int32_t buffer = 0;         // window-sized render buffer of the last capture; 0: none yet
  float scale[2] = {1, 1};    // half-extent of the background quad, normalised device units
  float color[4] = {0.5f, 0.5f, 0.5f, 1};
  bool active = false;

  // Right after the frame's clear: the last capture as the background.
  void drawBackground();
  // After the scene and the glow and bloom composites: every `duration` frames
  // the finished frame goes into the buffer.
  void capture();
};

extern const ClassType blur_class;
