// Stencil shadow volumes: one cShadow makes a mesh object cast shadows from
// every light. Silhouette edges are found per light on the CPU, extruded away
// from it into one display list, counted into the stencil buffer (z-pass, no
// caps) and darkened with one full-screen quad after all shadows are counted.
// Render thread only; the shadow pass expects the camera on the modelview stack
// and leaves the stencil test disabled, depth writes and texturing on.
#pragma once

#include <GL/gl.h>

#include <cstdint>

#include "core/element_class.h"

struct Engine;
struct cObject;

struct cShadow {
  explicit cShadow(Engine* owner) : engine(owner) {}

  Engine* engine;
  bool nolight = false;       // also extrude from lights that are switched off
  bool active = false;        // built and drawn
  bool volume = false;        // count only the front faces: the volume itself shows
  int32_t meshObject = 0;     // object whose triangles are extruded
  int32_t object = 0;         // object whose placement and dirty flag drive the volume
  int32_t extrusion = 100;    // extrusion factor, used as a float
  GLuint displayList = 0;     // 0: no volume built yet
  float color[4] = {0, 0, 0, 0.6f};
  const cObject* builtMesh = nullptr;  // the mesh object the list was made from
};

// `new cShadow(a0, a1)`: the slot, or -1 when the table is full or a1 (a0 when
// a1 is negative) names no object.
int newShadow(Engine* engine, int a0, int a1);
// Releases the display list, frees the shadow and recomputes the shadow count.
void deleteShadow(Engine* engine, int slot);

// Fills every group's adjacency: per triangle edge, the triangle of the same
// group whose edge has the same end positions (either order, compared exactly);
// where several do, the highest-numbered one; -1 where none does.
void buildAdjacency(cObject* mesh);
// Rebuilds the display list of an active shadow from every enabled light (every
// light with nolight), in the local frame of its placing object.
void buildShadowVolume(cShadow* shadow);
// Counts the volume into the stencil buffer; rebuilds it first when the placing
// object is dirty.
void drawShadowVolume(cShadow* shadow);
// Blends `color` over every pixel whose stencil count is not zero.
void darkenShadows(const float color[4]);
// The shadow pass of the scene pass, after the opaque objects.
void shadowPass(Engine* engine);

extern const ClassType shadow_class;
