// Fluid surfaces: arming and the clock, sources on the sine curve for their
// duration, the five-point wave term, kicks for one step, index checks,
// "sortfaces" shared with water, and a wave seen in a presented frame.
#include <cmath>

#include "effects/fluid.h"
#include "effects/water.h"
#include "script/command_ring.h"
#include "tests/effects/surface_scene.h"

namespace {

struct Fluid : SurfaceScene {
  cObject* surface = nullptr;
  cFluide* fluid = nullptr;
  // An N x N grid in object slot `slot` with a new fluid on it, both active.
  cFluide* set_up(int n = 21, int slot = 0) {
    surface = grid(slot, n);
    send(object_class, slot, "active", 1);
    int element = verb(CMD_NEW, "cFluide", float(slot));
    EXPECT_GE(element, 0);
    fluid = engine->scene.fluides[element];
    send(fluid_class, element, "active", 1);
    return fluid;
  }
  void command(const char* name, float a = 0, float b = 0, float c = 0, float d = 0) {
    send(fluid_class, 0, name, a, b, c, d);
  }
  // One call of this element at the time its next step is due (arming it
  // first if needed).
  void step(cFluide* f = nullptr) {
    if (!f) f = fluid;
    if (f->nextUpdate == 0) f->update();
    engine->pacing.now = f->nextUpdate;
    f->update();
  }
};

TEST_F(Fluid, DefaultsAndAttachSetNormalsUp) {
  set_up();
  EXPECT_TRUE(fluid->attached);
  EXPECT_TRUE(fluid->sourcesOn);
  EXPECT_EQ(fluid->gridSize, 21);
  EXPECT_EQ(fluid->vertexCount, 441);
  EXPECT_EQ(fluid->speed, 10);
  EXPECT_EQ(fluid->duration, 2000);
  EXPECT_FLOAT_EQ(fluid->waveweight, 0.0002f);
  EXPECT_FLOAT_EQ(fluid->wavetime, 0.004f);
  EXPECT_EQ(fluid->endTime, 0u);
  EXPECT_EQ(fluid->nextUpdate, 0u);
  for (int k = 0; k < 441; ++k) ASSERT_EQ(surface->parts[0].normals[3 * k + 1], 1.0f);
  EXPECT_EQ(verb(CMD_STATUS, "cFluide", 0), 1);

  // The first call arms both clocks and advances the phase without a step.
  engine->pacing.now = 1000;
  updateFluids(engine);
  EXPECT_EQ(fluid->endTime, 3000u);
  EXPECT_EQ(fluid->nextUpdate, 1010u);
  updateFluids(engine);
  updateFluids(engine);
  EXPECT_FLOAT_EQ(fluid->clock, 0.012f);  // every call, due or not
}

TEST_F(Fluid, ACentreSourceFollowsTheSineForTwoSecondsAndSpreads) {
  set_up();
  const int centre = 10 * 21 + 10;
  command("addimpulse", 10, 10, 10, 50);
  EXPECT_TRUE(fluid->cells[centre].source);
  // An edge source is not moved by the wave term: exactly on the curve.
  command("addimpulse", 0, 10, 10, 50);
  const int edge = 10;
  engine->pacing.now = 5000;
  updateFluids(engine);  // armed: sources end at 7000
  for (int n = 0; n < 5; ++n) {
    const MeshPart& part = surface->parts[0];
    auto y = [&](int k) { return part.positions[3 * k + 1]; };
    float lap = y(centre + 1) + y(centre - 1) + y(centre - 21) + y(centre + 21) - 4 * y(centre);
    float velocity = fluid->cells[centre].velocity + lap * 0.004f / 0.0002f;
    step();
    float curve = std::sin(50.0f * fluid->clock) * 10.0f;
    EXPECT_FLOAT_EQ(height(surface, edge), curve) << n;
    EXPECT_NEAR(height(surface, centre), curve + velocity * 0.004f, 1e-4f) << n;
  }
  EXPECT_NE(height(surface, centre + 2), 0.0f) << "the ripples spread";

  // Past the two seconds the sources stop for good.
  while (engine->pacing.now <= 7000) step();
  float held = height(surface, edge);
  for (int n = 0; n < 5; ++n) step();
  EXPECT_FALSE(fluid->sourcesOn);
  EXPECT_EQ(height(surface, edge), held);

  // "duration" 500 runs them again, for half a second from the next step.
  command("duration", 500);
  EXPECT_TRUE(fluid->sourcesOn);
  EXPECT_EQ(fluid->endTime, 0u);
  step();
  uint32_t rearmed = engine->pacing.now;
  EXPECT_EQ(fluid->endTime, rearmed + 500);
  EXPECT_FLOAT_EQ(height(surface, edge), std::sin(50.0f * fluid->clock) * 10.0f);
  while (engine->pacing.now <= rearmed + 500) step();
  held = height(surface, edge);
  step();
  EXPECT_EQ(height(surface, edge), held);
}

TEST_F(Fluid, WaveweightDoubledHalvesTheTermAndZeroStopsPropagation) {
  cFluide* a = set_up(9, 0);
  cFluide* b = set_up(9, 1);
  cFluide* c = set_up(9, 2);
  send(fluid_class, 1, "waveweight", 0.0004f);
  send(fluid_class, 2, "waveweight", 0);
  for (int slot = 0; slot < 3; ++slot) send(fluid_class, slot, "addperturb", 4, 4, 5);
  step(a);
  step(b);
  step(c);
  const int neighbour = 4 * 9 + 5;
  EXPECT_FLOAT_EQ(a->cells[neighbour].velocity, 5.0f * 0.004f / 0.0002f);
  EXPECT_FLOAT_EQ(b->cells[neighbour].velocity, a->cells[neighbour].velocity / 2.0f);
  EXPECT_EQ(c->cells[neighbour].velocity, 0.0f);
  EXPECT_EQ(height(engine->scene.objects[2], neighbour), 0.0f);
}

TEST_F(Fluid, AddperturbOnThirtyTwoRaisesVertex330ForOneStep) {
  set_up(32);
  command("addperturb", 10, 10, 5);
  EXPECT_EQ(height(surface, 330), 5.0f);
  EXPECT_EQ(surface->buffersStale, 1);
  step();
  // The kick pushed the four neighbours up; the vertex takes its cell's own
  // height back (pulled down by the same term).
  for (int k : {329, 331, 298, 362}) EXPECT_FLOAT_EQ(height(surface, k), 5.0f * 0.004f / 0.0002f * 0.004f) << k;
  EXPECT_FLOAT_EQ(height(surface, 330), -20.0f * 0.004f / 0.0002f * 0.004f);
  EXPECT_EQ(height(surface, 330), fluid->cells[330].height);
}

TEST_F(Fluid, IndicesOutsideTheGridAreRejected) {
  set_up(8);
  command("addperturb", -1, 9, 5);   // -8 + 9 = 1 would be inside; still rejected
  command("addperturb", 0, -1, 5);
  command("addperturb", 8, 0, 5);    // 64: beyond the vertices
  command("addimpulse", -1, 9, 5, 1);
  command("addimpulse", 8, 0, 5, 1);
  EXPECT_EQ(max_abs_height(surface), 0.0f);
  for (const FluidCell& cell : fluid->cells) EXPECT_FALSE(cell.source);
  command("addimpulse", 7, 7, 5, 1);  // the last cell
  EXPECT_TRUE(fluid->cells[63].source);
}

TEST_F(Fluid, SortfacesOnTwentyEqualsWaters) {
  set_up(20);
  cObject* twin = grid(1, 20);
  send(object_class, 1, "active", 1);
  ASSERT_EQ(verb(CMD_NEW, "cWater", 1), 0);
  command("sortfaces");
  send(water_class, 0, "sortfaces");
  EXPECT_EQ(surface->parts[0].groups[0].indices, twin->parts[0].groups[0].indices);
  EXPECT_EQ(surface->parts[0].groups[0].indices[3 * 39 + 1], 19 + 21);  // k = 19 joins row 0's end to row 2
}

TEST_F(Fluid, UpdateCommandHonoursItsPeriodAndMissingObjectsAreSkipped) {
  set_up(8);
  engine->pacing.now = 100;
  command("update");  // arms
  command("addperturb", 3, 3, 5);
  command("update");  // not yet due
  EXPECT_EQ(height(surface, 27), 5.0f);
  engine->pacing.now = 110;
  command("update");
  EXPECT_NE(height(surface, 27), 5.0f);

  // "speed" restarts the period from now.
  command("speed", 40);
  EXPECT_EQ(fluid->nextUpdate, 150u);

  // The object replaced by a mesh of another size: nothing is written.
  delete engine->scene.objects[0];
  engine->scene.objects[0] = nullptr;
  command("update");
  cObject* other = grid(0, 3);
  send(object_class, 0, "active", 1);
  other->parts[0].positions[3 * 4 + 1] = 2.0f;
  engine->pacing.now = 1000;
  command("update");
  command("addperturb", 0, 0, 9);
  EXPECT_EQ(height(other, 4), 2.0f);
  EXPECT_EQ(height(other, 0), 0.0f);
  // A part that is not there leaves it detached.
  command("defobj", 0, 3);
  EXPECT_FALSE(fluid->attached);
  command("sortfaces");
  command("update");
  EXPECT_EQ(verb(CMD_DELETE, "cFluide", 0), 1);
  EXPECT_EQ(engine->scene.fluides.count, 0);
}

TEST_F(Fluid, AWaveFromTheNearEdgeReachesTheScreen) {
  surface = side_view_grid(0, 16);
  ASSERT_EQ(verb(CMD_NEW, "cFluide", 0), 0);
  fluid = engine->scene.fluides[0];
  send(fluid_class, 0, "active", 1);
  draw_frames(1);
  EXPECT_LT(presented_brightness(160, 120), 30) << "a flat surface stays below the eye";

  // Sources along the border row 15 (the near edge; border cells take no wave
  // term), with a frequency that peaks at the second call's clock (0.008).
  for (int column = 0; column < 16; ++column) send(fluid_class, 0, "addimpulse", 15, column, 30, 1.5707964f / 0.008f);
  fluid->nextUpdate = 1;  // due at the next frame
  draw_frames(1);
  EXPECT_GT(height(surface, 15 * 16 + 8), 15.0f);
  EXPECT_EQ(surface->buffersStale, 0) << "refreshed in the update step";
  EXPECT_GT(presented_brightness(160, 120), 600) << "the raised far edge covers the window centre";
}

}  // namespace
