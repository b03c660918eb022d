// Fluid surface: one mesh part of an object, a square grid of N x N vertices,
// driven by a discrete wave equation. Chosen cells oscillate as sources for a
// limited time, single heights can be kicked, and every step the heights spread
// to the neighbouring cells. The element keeps a height and a velocity per cell,
// writes the heights into the part's positions, recomputes the normals and
// marks the object's GPU buffers stale. Render thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "core/element_class.h"

struct Engine;

struct FluidCell {
  float velocity = 0;
  float height = 0;
  bool source = false;
  float amplitude = 0;
  float frequency = 0;
};

struct cFluide {
  explicit cFluide(Engine* owner) : engine(owner) {}

  std::vector<FluidCell> cells;  // one per vertex once attached
  Engine* engine;
  uint32_t endTime = 0;      // engine ms after which the sources stop; 0: not yet armed
  uint32_t nextUpdate = 0;   // engine ms of the next step; 0: not yet armed
  bool sourcesOn = true;
  int32_t speed = 10;        // ms between steps
  int32_t object = 0;
  int32_t part = 0;
  int32_t vertexCount = 0;   // the part's vertexCount when attached
  int32_t gridSize = 0;      // N
  int32_t duration = 2000;   // ms the sources run once armed
  float waveweight = 0.0002f;  // divisor of the wave term; 0: no propagation
  float clock = 0;           // phase of the sources, + wavetime at every call
  float wavetime = 0.004f;   // time step of the integration and of the clock
  bool attached = false;
  bool active = false;

  // Attaches to part `part_number` of object `object_number` (again only when
  // either changed): fresh cells, every normal (0, 1, 0). A missing object or
  // part leaves the element detached.
  void attach(int32_t object_number, int32_t part_number);
  // Arms the clocks, advances the phase, and on a due step moves the sources,
  // propagates, copies the heights into the positions and rebuilds normals.
  void update();
  // Cell k = row * N + col, or -1 when that is not a cell of the grid.
  int32_t cellIndex(int32_t row, int32_t column) const;
};

// The frame's update step: every fluid surface in slot order.
void updateFluids(Engine* engine);

extern const ClassType fluid_class;
