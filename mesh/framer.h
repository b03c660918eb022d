// Keyframe animators: each moves one object, or the camera, along keys of
// position and rotation with cubic Hermite curves, one animation frame at most
// per engine frame and per `speed` milliseconds. Render thread only; advanced
// first in the frame's update step.
//
// Key values follow the object commands' convention: the z of a key's position
// and rotation is negated when applied to an object.
#pragma once

#include <cstdint>
#include <vector>

#include "core/element_class.h"

struct Engine;

struct FrameKey {
  int16_t frame = 0;             // absolute frame number
  float position[3] = {0, 0, 0};
  float rotation[3] = {0, 0, 0}; // degrees
  float positionTangent[3] = {0, 0, 0};  // computed by prepare
  float rotationTangent[3] = {0, 0, 0};
};

struct cFramer {
  explicit cFramer(Engine* owner);

  uint8_t active = 0;
  uint8_t loop = 0;            // restart at the end instead of stopping
  int32_t speed = 10;          // minimum milliseconds between animation frames
  int32_t object = -1;         // object moved; negative: the camera
  Engine* engine;
  uint32_t nextTime;           // engine milliseconds of the earliest next frame
  std::vector<FrameKey> keys;
  uint8_t freeAngle = 0;       // the rotation is not animated
  float positionTension = 0.7f;
  float angleTension = 0.7f;
  int16_t keyCount = 0;
  int16_t totalFrames = 0;     // frame number of the last key added
  uint8_t prepared = 0;        // tangents computed, closing key appended
  int32_t currentFrame = 0;    // the frame advance produces next

  // What the last advance produced.
  float outPosition[3] = {0, 0, 0};
  float outRotation[3] = {0, 0, 0};

  // Appends `count` keys at zero; the first key ever takes frame 0, each later
  // one the previous total plus `step`.
  void addKeys(int count, int step);
  // Appends the closing key once, computes the tangents, starts at frame 0.
  // Nothing with fewer than two keys.
  void prepare();
  // 1 when it produced a frame into outPosition and outRotation.
  int advance();
};

// The update step's animators, in slot order: advance and apply each to its
// object (position, rotation unless freeAngle) or to the camera.
void advanceFramers(Engine* engine);

extern const ClassType framer_class;
