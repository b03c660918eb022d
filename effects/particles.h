// Particle systems: a fixed pool of camera-facing quads emitted from a point, a
// box around it, or chosen vertices of a mesh object, drifting and fading until
// they are re-emitted. No update step of their own: each system advances and
// draws in one call from the transparent pass, after the lens flares.
// Render thread only; draw expects the pass's state (additive blending, depth
// writes off, this frame's frustum planes in engine->view.frustum).
#pragma once

#include <cstdint>
#include <vector>

#include "core/element_class.h"

struct Engine;

// Emitter points of an attached system; "add" stops at 198 of them.
constexpr int MAX_PARTICLE_POINTS = 199;
constexpr int PARTICLE_POINT_LIMIT = 198;

struct Particle {
  float position[3];
  float velocity[3];   // drawn at emission, per tick
  float drift[3];      // accumulated acceleration, zero at emission
  float colour[4];
  float colourStep[4]; // added every tick
  int32_t life;        // remaining ticks; 0: dead, emitted by the next pass
};

struct EmitterPoint {
  int16_t part;
  int16_t vertex;
};

struct cParticle {
  explicit cParticle(Engine* owner);
  ~cParticle();
  cParticle(const cParticle&) = delete;
  cParticle& operator=(const cParticle&) = delete;

  float position[3] = {0, 0, 0};  // emitter origin; z stored negated
  float size = 10.0f;             // half-width of a quad
  int16_t life = 20;              // lives drawn from 1..life ticks
  float radius = 0;               // scale of the random initial velocity
  float direct[3] = {0, 0, 0};    // displacement per tick
  float accel[3] = {0, 0, 0};     // added to the drift every tick
  float rotation[3] = {0, 0, 0};  // degrees about x, y, z (free-standing only)
  float volume[3] = {0, 0, 0};    // full extent of the emission box (twice "volume")
  Particle* particles = nullptr;  // `total` records, zero-filled: all dead
  int32_t emitted = 0;            // pool slots brought into play so far
  int32_t perStep = 1;            // slots added per pass beyond one
  bool worldSpace = false;        // attached: particles stay in world space ("space" 0)
  bool casual = false;            // random start colour per emission
  bool single = false;            // manual emission only, for good
  int32_t test = 1;               // 1: depth-tested; 0: drawn over everything
  bool blend = true;              // additive; false: ordinary alpha blending
  int32_t dead = 1;               // life lost per tick; 0: immortal
  int16_t texture = 0;
  bool active = false;
  float rgb1[4] = {1, 1, 1, 1};   // at emission
  float rgb2[4] = {0, 0, 0, 1};   // at the end of life
  int32_t object = -1;            // attached object; -1: free-standing
  EmitterPoint points[MAX_PARTICLE_POINTS] = {};
  float pointOffsets[MAX_PARTICLE_POINTS][3] = {};
  int16_t pointCount = 0;
  uint32_t nextTick;              // engine ms of the next tick
  int16_t speed = 10;             // tick period, ms
  int16_t total = 50;             // pool size
  Engine* engine;
  std::vector<float> quads;       // the emission pass's batch, kept for its capacity

  // Re-allocates the pool for `total` dead particles (none when total <= 0).
  void allocatePool();
  // Advances and draws the system; returns the pool size (0 when skipped).
  int draw();
  // Manual emission of particle i at `position` + offset ("single").
  void emitSingle(int i, float x, float y, float z);

 private:
  void emissionPass(const float right[3], const float up[3]);
  void emit(Particle& p);
  void drawAttached(cObject* target);
};

// Every present system in slot order (the transparent pass).
void drawParticles(Engine* engine);

extern const ClassType particle_class;
