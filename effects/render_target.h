// Render-to-texture targets: one texture layer of one material group of a mesh
// object made dynamic. Three features, each switched on by its own commands: a
// flip-book through a list of texture slots, scrolling of the part's texture
// coordinates, and a render of the scene from the element's own camera into
// the layer's texture. The first two run in the frame's update step, the render
// at the very start of the frame's drawing (renderRenderTargets), before the
// glow and bloom pre-passes. Render thread only; the render needs the context.
#pragma once

#include <cstdint>

#include "core/element_class.h"

struct Engine;
struct MaterialGroup;

constexpr int TEXGFX_LIST_SIZE = 199;     // entries of the flip-book
constexpr int32_t TEXGFX_NO_RENDER = 999; // target: flip-book and scrolling only
constexpr int32_t TEXGFX_SLOT_BASE = 1000;  // target above: texture slot target - 1000
constexpr int32_t TEXGFX_SCENE_FOV = -1;    // fov: keep the scene's

struct cTexgfx {
  explicit cTexgfx(Engine* owner);

  Engine* engine;
  int32_t object = 0;
  int32_t part = 0;
  int32_t group = 0;
  // Which texture the element drives: 1 envTexture, 2 lightmapTexture,
  // 3 bumpTexture, 4 normalTexture, 999 baseTexture with no render, above 1000
  // baseTexture for the flip-book and slot target - 1000 for the render, any
  // other value baseTexture.
  int32_t target = 0;
  bool active = false;
  bool changing = false;          // flip-book on
  int16_t textureCount = 0;
  int16_t changePeriod = 10;      // ms
  uint32_t nextChange;            // engine ms
  int16_t textures[TEXGFX_LIST_SIZE] = {};
  int16_t current = 0;            // next list entry to show
  bool shiftOn = false;           // scrolling on
  int16_t shiftPeriod = 10;       // ms
  uint32_t nextShift;             // engine ms
  float shift[2] = {0, 0};        // added to every (u, v) per scroll step
  bool cameraSet = false;         // scene render on
  float position[3] = {0, 0, 0};  // render camera translation (no negation)
  float angle[3] = {0, 0, 0};     // render camera rotation, degrees
  int32_t fov = TEXGFX_SCENE_FOV; // degrees
  int32_t renderPeriod = 10;      // ms
  uint32_t nextRender;            // engine ms

  // Flip-book and scrolling, each when due (the object need only be active).
  void update();
  // The scene render into the chosen texture, when due and the object and its
  // part were visible in their last test; skipped for slot 0.
  void renderFlat();
  // The group field the flip-book writes (null when the object, part or group
  // is missing).
  int16_t* flipField();
  // The texture slot the render draws into: 0 for none.
  int renderSlot();
};

// The frame's update step: flip-books and scrolling of every target in slot order.
void updateRenderTargets(Engine* engine);
// Start of the frame's drawing: renderFlat for every target whose camera is set
// and whose target is not 999, in slot order.
void renderRenderTargets(Engine* engine);

extern const ClassType texgfx_class;
