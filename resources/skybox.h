// The sky box: one large cube of six 2D textures around the eye, drawn first in
// the scene pass. It turns with the camera's rotation and its own, never moves
// with the camera's position. Render thread only.
#pragma once

#include <cstdint>

#include "core/element_class.h"

struct Engine;

constexpr int SKYBOX_FACES = 6;

struct cSkybox {
  explicit cSkybox(Engine* owner);

  bool active = false;
  float rotation[3] = {0, 0, 0};  // degrees about x, y, z, after the camera's
  Engine* engine;
  int16_t topFace = 0;            // slot of the "_top" texture
  // The slots loaded for top, bottom, left, right, back and front. Drawing uses
  // these, so the faces need not lie in consecutive slots.
  int16_t faces[SKYBOX_FACES] = {};
  int32_t halfSize;               // half the cube's edge
  float color[4] = {1, 1, 1, 1};
};

// Loads "<name>_top", "_bottom", "_left", "_right", "_back", "_front" with
// GL_CLAMP_TO_EDGE into faces (0 where one fails); returns the top's slot.
int16_t loadSkyboxFaces(Engine* engine, const char* name, int16_t faces[SKYBOX_FACES]);

// Draws the active sky box centred on the eye; expects the camera on the
// modelview stack. Leaves culling on with front faces culled.
void drawSkybox(Engine* engine);

extern const ClassType skybox_class;
