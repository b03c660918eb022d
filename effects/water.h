// Water: one mesh part of an object, a square grid of N x N vertices, turned
// into a rippling surface. At its wave period a disturbance (a raised 2 x 2
// block, a raised line, or one raised vertex) is dropped into the grid; at its
// update period a spring network over the heights advances and the normals are
// recomputed. Works in place on the part's arrays and marks the object's GPU
// buffers stale, so the shape reaches the screen in the same frame. Render
// thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "core/element_class.h"

struct Engine;
struct MeshPart;

// Disturbance shapes of "wave".
constexpr int WATER_SHAPE_BLOCK = 0;   // cells (x, y) .. (x + 1, y + 1)
constexpr int WATER_SHAPE_LINE = 1;    // cells (x .. N - 2, y)
constexpr int WATER_SHAPE_VERTEX = 2;  // cell (x, y)

struct cWater {
  explicit cWater(Engine* owner);

  bool active = false;
  int32_t object = 0;
  int32_t part = 0;
  int16_t gridSize = 16;       // N; floor(sqrt(vertexCount)) once attached
  int16_t updatePeriod = 10;   // ms between simulation steps
  int16_t wavePeriod = 10;     // ms between disturbances
  int16_t waveX = -1;          // grid column of the disturbance; negative: random
  int16_t waveY = -1;          // grid row; negative: random
  int16_t waveShape = WATER_SHAPE_BLOCK;  // other values: no disturbance
  float waveHeight = 30.0f;    // height a disturbance sets (not adds)
  Engine* engine;
  int32_t vertexCount = 0;     // the part's vertexCount when attached
  uint32_t nextWave;           // engine ms
  uint32_t nextUpdate;         // engine ms
  bool attached = false;       // velocity and force exist for object and part
  float stiffness = 0.02f;     // accumulated force to velocity
  std::vector<float> velocity;  // one per vertex
  std::vector<float> force;     // one per vertex, rebuilt every step

  // Attaches to part `part_number` of object `object_number` (again only when
  // either changed): fresh zeroed arrays sized to the part. A missing object or
  // part leaves the element detached; a later "object" tries again.
  void attach(int32_t object_number, int32_t part_number);
  // The frame's step: disturbance when due, forces, integration, normals.
  void update();
  // "sortfaces" with this element's N.
  void sortFaces();
  // One disturbance now (the column drawn before the row when random).
  void disturb(MeshPart& grid);
};

// The frame's update step: every water element in slot order.
void updateWaters(Engine* engine);

extern const ClassType water_class;
