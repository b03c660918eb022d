// Lights: up to eight fixed-function GL lights, each free (placed by `position`)
// or bound to a mesh object that it follows. Render thread only; the GL calls
// go to the current context. A light's position is transformed by the modelview
// matrix current when it is sent, so free lights are re-sent every frame after
// the camera transform (updateLights).
#pragma once

#include <GL/gl.h>

#include "core/element_class.h"

struct Engine;

struct cLight {
  explicit cLight(Engine* owner) : engine(owner) {}

  float position[3] = {0, 0, 0};  // as stored: z negated for a free light
  bool enabled = false;           // switched on (`active`)
  int32_t object = -1;            // mesh object followed; -1: a free light
  float diffuse[4] = {1, 1, 1, 1};
  Engine* engine;
  float ambient[4] = {0, 0, 0, 1};
  float specular[4] = {0, 0, 0, 1};
  GLenum glLight = GL_LIGHT0;         // the GL light this element drives
  float glPosition[4] = {1, 1, 1, 1};  // last vector sent as GL_POSITION
};

// The GL light a new light drives: GL_LIGHT0 + the light count, unless that is
// beyond GL_LIGHT7 or a live light already drives it; then the lowest GL light
// that no live light drives.
GLenum chooseGLLight(const Engine* engine);

// Creates a light in the lowest free slot (GL light set up but dark); the slot,
// or -1 when all eight are taken.
int newLight(Engine* engine);
// Switches the light off, frees it and recomputes the light count.
void deleteLight(Engine* engine, int slot);
// z is negated for a free light; every object is marked dirty when it moved.
void setLightPosition(cLight* light, float x, float y, float z);
// glEnable/glDisable of its GL light; every object is marked dirty.
void setLightEnabled(cLight* light, bool on);
// Start of the scene pass, with the camera on the modelview stack: free lights
// re-send their position; bound lights follow an active, visible object.
void updateLights(Engine* engine);

extern const ClassType light_class;
