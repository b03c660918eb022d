// The glow pass: the objects' glow mask (lightmap-slot layers in colour,
// everything else black) rendered small, box-blurred and added over the frame.
// Render thread only.
#pragma once

#include <cstdint>

#include "core/element_class.h"

struct Engine;

struct cGlow {
  explicit cGlow(Engine* owner) : engine(owner) {}

  Engine* engine;
  int32_t buffer = 0;                // small square render buffer; 0: none yet
  float color[4] = {1, 1, 1, 0.3f};  // only the alpha counts: the weight of each sample
  bool active = false;
  int32_t size = 256;                // edge of the buffer when first created
  int32_t numelems = 4;              // blur samples per direction
  int32_t offset = 2;                // sample spacing: offset / 2 buffer pixels

  // Before the frame's clear: the blurred glow image into the buffer.
  void prepare();
  // After the scene: the buffer added over the frame.
  void composite();
};

extern const ClassType glow_class;
