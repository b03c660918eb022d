// The bloom pass: what is brighter than `color`, stretched to full range,
// box-blurred and added over the frame. Either the scene is rendered a second
// time at the small buffer's size before the frame, or (fullscreen) the
// finished frame is captured at window size and the bloom is computed after the
// swap for the next frame. Render thread only.
#pragma once

#include <cstdint>

#include "core/element_class.h"

struct Engine;

struct cBloom {
  explicit cBloom(Engine* owner) : engine(owner) {}

  Engine* engine;
  int32_t size = 256;                      // edge of the small buffer when first created
  float color[4] = {0.5f, 0.5f, 0.5f, 1};  // bright-pass threshold
  int32_t numelems = 4;                    // blur samples per direction
  int32_t offset = 2;                      // sample spacing: offset / 2 buffer pixels
  float sampleAlpha = 0.3f;                // weight of each blur sample
  bool active = false;
  bool fullscreen = false;                 // capture the finished frame instead of a second render
  int32_t buffer = 0;                      // small square buffer: the bloom image
  int32_t fullBuffer = 0;                  // window-sized capture (fullscreen only)

  // On only where multitexturing and the texture combiners exist.
  void setActive(bool on);
  void prepare();              // before the frame's clear, not fullscreen
  void composite();            // after the scene, not fullscreen
  void compositeFullscreen();  // after the scene, fullscreen
  void prepareAfterSwap();     // after the swap, fullscreen
};

extern const ClassType bloom_class;
