// Deformers: animate one mesh object by small steps at a fixed period —
// growth (per-axis rescaling of its vertices), colour drift of its materials,
// spin and drift of its placement, in that order within a step. Run by the
// frame's update step, last of the effect updates. Render thread only.
#pragma once

#include <cstdint>

#include "core/element_class.h"

struct Engine;

struct cDeform {
  explicit cDeform(Engine* owner);
  ~cDeform();
  cDeform(const cDeform&) = delete;
  cDeform& operator=(const cDeform&) = delete;

  bool active = false;
  Engine* engine;
  int16_t object = 0;             // the cObject it animates
  int16_t speed = 10;             // step period, ms
  uint32_t nextStep;              // engine ms of the next step
  // Key-frame morph: frame count x vertex count x 3 positions. Nothing fills
  // the block, so the morph never runs; the fields keep the record complete.
  float* morphFrames = nullptr;
  int32_t frameCount = 0;
  int32_t firstFrame = 0, lastFrame = 0;
  bool morphOn = false;
  int32_t currentFrame = 0;
  float morphBlend = 0;
  float morphSpeed = 0.25f;
  float scale[3] = {1, 1, 1};     // growth factors applied at every step
  bool scaleOn = false;
  float scaleStep = 0;            // added to every non-zero factor before a step
  int16_t blendOn = 0;
  float blend[4] = {1, 1, 1, 1};  // added to the reference colour every step
  bool spinOn = false;
  bool positionOn = false;
  float spin[3] = {0, 0, 0};      // degrees per step, script axes
  float position[3] = {0, 0, 0};  // units per step, script axes

  // One step when due (at most one a call).
  void update();
};

// Every present deformer in slot order (the update step).
void updateDeformers(Engine* engine);

extern const ClassType deform_class;
