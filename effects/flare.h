// Lens flares: a camera-facing sprite for a bright light, free-standing or at
// chosen vertices of a mesh object, that can fade as the light is hidden (read
// back from the depth buffer), with the lens artefacts a camera would show: a
// screen-wide glare and a row of polygons along the line from the light through
// the screen centre. Drawn by the transparent pass before the particles.
// Render thread only; draw expects the pass's state (additive blending, depth
// writes off, this frame's frustum planes) and leaves depth testing on.
#pragma once

#include <cstdint>

#include "core/element_class.h"

struct Engine;

constexpr int MAX_FLARE_ENTRIES = 199;  // textures, emitter points, fade levels
constexpr int FLARE_LEVEL_MAX = 255;    // fully visible fade level

struct FlarePoint {
  int16_t part;
  int16_t vertex;
};

// One polygon of a lens pattern, laid out for the light at normalised screen
// position (x, y) with intensity f: centre (t x, t y), radius s f.
struct LensPolygon {
  float x, y;
  float radius;
  float colour[3];
  bool glow;  // filled glow (bright centre); false: a ring (bright rim)
};
constexpr int MAX_LENS_POLYGONS = 16;

// The polygons of pattern `set` in drawing order; returns their number (0 for
// patterns without polygons). `glow` is the stored style: patterns that set a
// style per polygon leave the last one set in it.
int lensPolygons(int set, float x, float y, float f, const float flare_colour[3], bool* glow,
                 LensPolygon out[MAX_LENS_POLYGONS]);

// The intensity of the lens artefacts: falls from 1.2 at the screen centre to 0
// at distance 1.2 (normalised screen units) and below 0 beyond.
float lensIntensity(float x, float y, float alpha, float strength);

struct cFlare {
  explicit cFlare(Engine* owner);

  float position[3] = {0, 0, 0};  // z stored negated; overwritten per emitter point
  bool active = false;
  Engine* engine;
  float color[4] = {1, 1, 1, 1};  // alpha overwritten at each draw by the visibility
  float size = 0;                 // half-width of the sprite
  float lensStrength = 0;         // 0: no lens artefacts
  int16_t set = 0;                // lens pattern 0..5
  int32_t object = -1;            // attached object; -1: free-standing
  int16_t textures[MAX_FLARE_ENTRIES] = {};
  int16_t textureCount = 0;
  FlarePoint points[MAX_FLARE_ENTRIES] = {};
  int16_t pointCount = 0;
  uint32_t nextChange;            // engine ms of the next texture change
  int16_t changePeriod = 10;      // ms; 0: no changes
  uint32_t nextFadeTick;          // clock ms of the next fade step
  int16_t speed = 10;             // fade tick period, ms
  int16_t current = 0;            // index into textures
  float glare = 1.0f;             // strength of the glare tint; 0: none
  bool ring = false;              // lens polygon style: true filled glow, false ring
  int16_t sides = 6;
  int16_t fadeLevels[MAX_FLARE_ENTRIES] = {};  // 0..255 per emitter point (0: free-standing)
  float pointOffsets[MAX_FLARE_ENTRIES][3] = {};
  int16_t fadeStep = 25;          // level change per fade tick
  int32_t testMode;               // 0 over everything, 1 depth-tested, 2 read-back with fading
  int16_t visible = 0;            // last occlusion read-back
  float spinSpeed = 0;
  float spinAngle = 0;

  // Returns 1 when processed, 0 when inactive or culled.
  int draw();

 private:
  void bindCurrent() const;
  bool readVisibility();
  float pointAlpha(int level, uint32_t clock, bool* tick_due);
  void drawPoint(const float right[3], const float up[3], float alpha);
  void drawSprite(const float right[3], const float up[3]);
  void drawLens();
};

// Every present flare in slot order (the transparent pass).
void drawFlares(Engine* engine);

extern const ClassType flare_class;
