// Water: disturbances, the spring network and its relaxation, timing against
// engine time set by hand, "sortfaces", missing objects and parts, and a ripple
// seen in a presented frame without the script re-sending `active`.
#include <cstdlib>

#include "effects/water.h"
#include "mesh/buffer_refresh.h"
#include "script/command_ring.h"
#include "tests/effects/surface_scene.h"

namespace {

struct Water : SurfaceScene {
  cObject* surface = nullptr;
  cWater* water = nullptr;
  // A 16 x 16 grid in object slot 0 with water 0 on it, both active.
  void set_up(int n = 16) {
    surface = grid(0, n);
    send(object_class, 0, "active", 1);
    ASSERT_EQ(water_class.create(engine, CommandArgs{0}), 0);
    water = engine->scene.waters[0];
    send(water_class, 0, "active", 1);
  }
  void command(const char* name, float a = 0, float b = 0, float c = 0) { send(water_class, 0, name, a, b, c); }
  // One update at the time the next step is due.
  void step() {
    engine->pacing.now = water->nextUpdate;
    updateWaters(engine);
  }
  int raised_cells(float level) {
    int count = 0;
    for (int k = 0; k < surface->parts[0].vertexCount; ++k) count += height(surface, k) == level;
    return count;
  }
};

TEST_F(Water, DefaultsAfterNewAttachToPartZero) {
  set_up();
  EXPECT_TRUE(water->attached);
  EXPECT_EQ(water->object, 0);
  EXPECT_EQ(water->part, 0);
  EXPECT_EQ(water->gridSize, 16);
  EXPECT_EQ(water->vertexCount, 256);
  EXPECT_EQ(water->updatePeriod, 10);
  EXPECT_EQ(water->wavePeriod, 10);
  EXPECT_EQ(water->waveX, -1);
  EXPECT_EQ(water->waveY, -1);
  EXPECT_EQ(water->waveShape, 0);
  EXPECT_FLOAT_EQ(water->waveHeight, 30.0f);
  EXPECT_FLOAT_EQ(water->stiffness, 0.02f);
  EXPECT_EQ(water->nextUpdate, engine->pacing.now + 10);
  EXPECT_EQ(water->nextWave, engine->pacing.now + 10);
  EXPECT_EQ(water->velocity.size(), 256u);
  EXPECT_EQ(verb(CMD_STATUS, "cWater", 0), 1);
}

TEST_F(Water, ANonSquarePartUsesItsFirstNByNVerticesAndRelaxesThemAll) {
  set_up();
  cObject* odd = grid(1, 5);
  MeshPart& part = odd->parts[0];
  part.positions.resize(27 * 3, 0.0f);
  part.normals.resize(27 * 3, 0.0f);
  part.vertexCount = 27;
  send(object_class, 1, "active", 1);
  send(water_class, 0, "object", 1, 0);
  EXPECT_EQ(water->gridSize, 5);
  EXPECT_EQ(water->vertexCount, 27);
  command("wave", 9, 0, 0.02f);
  part.positions[3 * 26 + 1] = 5.0f;  // outside the grid: no spring reaches it
  step();
  EXPECT_FLOAT_EQ(height(odd, 26), 4.0f);
}

TEST_F(Water, DefaultsRaiseARandomTwoByTwoBlockToThirtyAndTheRipplesDieDown) {
  set_up();
  std::srand(7);
  water->disturb(surface->parts[0]);
  ASSERT_EQ(raised_cells(30.0f), 4);
  int first = 0;
  while (height(surface, first) != 30.0f) ++first;
  EXPECT_EQ(height(surface, first + 1), 30.0f);
  EXPECT_EQ(height(surface, first + 16), 30.0f);
  EXPECT_EQ(height(surface, first + 17), 30.0f);
  for (int k = 0; k < 256; ++k) surface->parts[0].positions[3 * k + 1] = 0.0f;

  // A step that is due drops a block (the wave is due strictly after its time)
  // and moves it at once; its neighbours start to move.
  engine->pacing.now = water->nextWave + 1;
  water->nextUpdate = engine->pacing.now;
  updateWaters(engine);
  EXPECT_EQ(water->nextUpdate, engine->pacing.now + 10);
  EXPECT_EQ(water->nextWave, engine->pacing.now + 10);
  float peak = max_abs_height(surface);
  EXPECT_GT(peak, 15.0f);
  EXPECT_LT(peak, 30.0f);
  EXPECT_EQ(surface->buffersStale, 1);
  // The normals follow the shape: not all straight up any more.
  bool tilted = false;
  for (int k = 0; k < 256; ++k) tilted |= std::fabs(surface->parts[0].normals[3 * k + 1]) < 0.99f;
  EXPECT_TRUE(tilted);

  // Without further waves the ripples spread over the grid and die down.
  command("speed", 10, 30000);
  for (int n = 0; n < 5; ++n) step();
  int moving = 0;
  for (int k = 0; k < 256; ++k) moving += std::fabs(height(surface, k)) > 1e-3f;
  EXPECT_GT(moving, 20);
  for (int n = 0; n < 400; ++n) step();
  EXPECT_LT(max_abs_height(surface), 0.5f);
}

TEST_F(Water, CoordFiveFiveWithShapeTwoRaisesThatVertexEveryPeriod) {
  set_up();
  command("wave", 2, 30, 0);  // stiffness 0: nothing propagates
  command("coord", 5, 5);
  for (int n = 0; n < 3; ++n) {
    engine->pacing.now = std::max(water->nextUpdate, water->nextWave + 1);
    updateWaters(engine);
    EXPECT_FLOAT_EQ(height(surface, 5 * 16 + 5), 30.0f - 30.0f / 16.0f) << n;
    EXPECT_EQ(raised_cells(30.0f - 30.0f / 16.0f), 1);
  }
}

TEST_F(Water, StiffnessZeroOnlyRelaxesByOneNthAStep) {
  set_up();
  command("wave", 7, 30, 0);  // shape 7: no disturbances
  surface->parts[0].positions[3 * 100 + 1] = 16.0f;
  step();
  EXPECT_FLOAT_EQ(height(surface, 100), 15.0f);
  step();
  EXPECT_FLOAT_EQ(height(surface, 100), 15.0f * 15.0f / 16.0f);
  EXPECT_EQ(height(surface, 99), 0.0f);
  EXPECT_EQ(height(surface, 116), 0.0f);
}

TEST_F(Water, WaveOneWithCoordZeroThreeRaisesRowThreeUpToColumnNMinus2) {
  set_up();
  command("wave", 1, 10, 0.02f);
  command("coord", 0, 3);
  EXPECT_EQ(water->waveShape, 1);
  EXPECT_FLOAT_EQ(water->waveHeight, 10.0f);
  EXPECT_FLOAT_EQ(water->stiffness, 0.02f);
  water->disturb(surface->parts[0]);
  for (int column = 0; column <= 14; ++column) EXPECT_EQ(height(surface, 3 * 16 + column), 10.0f) << column;
  EXPECT_EQ(height(surface, 3 * 16 + 15), 0.0f);
  EXPECT_EQ(raised_cells(10.0f), 15);
}

TEST_F(Water, FixedCoordinatesStayInsideTheGridAndTinyGridsMakeNoWaves) {
  set_up();
  command("wave", 0, 30, 0);
  command("coord", 100, 100);
  water->disturb(surface->parts[0]);
  EXPECT_EQ(raised_cells(30.0f), 4);
  EXPECT_EQ(height(surface, 14 * 16 + 14), 30.0f);
  EXPECT_EQ(height(surface, 15 * 16 + 15), 30.0f);
  command("wave", 2, 20, 0);
  water->disturb(surface->parts[0]);
  EXPECT_EQ(height(surface, 255), 20.0f);

  // A one-vertex grid: due waves do nothing (no random place exists).
  grid(1, 1);
  send(object_class, 1, "active", 1);
  send(water_class, 0, "object", 1, 0);
  send(water_class, 0, "coord", -1, -1);
  EXPECT_EQ(water->gridSize, 1);
  engine->pacing.now = std::max(water->nextUpdate, water->nextWave + 1);
  updateWaters(engine);
  EXPECT_EQ(height(engine->scene.objects[1], 0), 0.0f);
}

TEST_F(Water, SpeedFiftyThousandStepsEveryFiftyAndWavesOncePerSecond) {
  set_up();
  uint32_t start = engine->pacing.now;
  command("speed", 50, 1000);
  EXPECT_EQ(water->nextUpdate, start + 50);
  EXPECT_EQ(water->nextWave, start + 1000);
  int steps = 0, waves = 0;
  for (uint32_t t = start; t <= start + 2100; ++t) {
    uint32_t update_due = water->nextUpdate, wave_due = water->nextWave;
    engine->pacing.now = t;
    updateWaters(engine);
    steps += water->nextUpdate != update_due;
    waves += water->nextWave != wave_due;
  }
  EXPECT_EQ(steps, 42);  // 50, 100, ..., 2100
  EXPECT_EQ(waves, 2);   // at 1050 (strictly after 1000), then 2100
}

TEST_F(Water, SortfacesOnTenByTenJoinsRowEndsToTheNextRows) {
  set_up(10);
  MaterialGroup& group = surface->parts[0].groups[0];
  ASSERT_EQ(group.triangleCount, 162);
  std::vector<uint16_t> drawn = group.drawIndices;
  command("sortfaces");
  EXPECT_EQ(std::vector<uint16_t>(group.indices.begin() + 18 * 3, group.indices.begin() + 20 * 3),
            (std::vector<uint16_t>{9, 10, 20, 9, 20, 19}));
  EXPECT_EQ(std::vector<uint16_t>(group.indices.begin(), group.indices.begin() + 6),
            (std::vector<uint16_t>{0, 1, 11, 0, 11, 10}));
  EXPECT_EQ(group.indices[161 * 3 + 2], 80 + 10);  // the last quad k = 80
  EXPECT_EQ(group.drawIndices, drawn);  // the drawn list is not touched
}

TEST_F(Water, DeletedOrReplacedObjectsAndMissingPartsAreSkipped) {
  set_up();
  // Inactive object: nothing moves.
  send(object_class, 0, "active", 0);
  surface->parts[0].positions[3 * 40 + 1] = 8.0f;
  engine->pacing.now = std::max(water->nextUpdate, water->nextWave + 1);
  updateWaters(engine);
  EXPECT_EQ(height(surface, 40), 8.0f);
  send(object_class, 0, "active", 1);

  // Another mesh in the same slot, of another size: the arrays do not fit it.
  delete engine->scene.objects[0];
  engine->scene.objects[0] = nullptr;
  updateWaters(engine);  // no object at all
  cObject* other = grid(0, 6);
  send(object_class, 0, "active", 1);
  other->parts[0].positions[3 * 14 + 1] = 3.0f;
  engine->pacing.now = std::max(water->nextUpdate, water->nextWave + 1);
  updateWaters(engine);
  EXPECT_EQ(height(other, 14), 3.0f);
  EXPECT_EQ(other->buffersStale, 0);

  // A part that does not exist: detached; "sortfaces" does nothing.
  send(water_class, 0, "object", 0, 4);
  EXPECT_FALSE(water->attached);
  send(water_class, 0, "sortfaces");
  updateWaters(engine);
  // Attaching again to the new mesh works on it.
  send(water_class, 0, "object", 0, 0);
  EXPECT_TRUE(water->attached);
  EXPECT_EQ(water->gridSize, 6);
  engine->pacing.now = std::max(water->nextUpdate, water->nextWave + 1);
  updateWaters(engine);
  EXPECT_EQ(other->buffersStale, 1);

  // `new` on an empty object slot leaves the element detached until "object".
  EXPECT_EQ(verb(CMD_NEW, "cWater", 50), 1);
  EXPECT_FALSE(engine->scene.waters[1]->attached);
  EXPECT_EQ(verb(CMD_DELETE, "cWater", 1), 1);
  EXPECT_EQ(engine->scene.waters.count, 1);
}

TEST_F(Water, ARidgeReachesTheScreenWithoutActiveBeingSentAgain) {
  surface = side_view_grid(0, 16);
  ASSERT_EQ(verb(CMD_NEW, "cWater", 0), 0);
  water = engine->scene.waters[0];
  send(water_class, 0, "active", 1);
  send(water_class, 0, "wave", 7, 0, 0.02f);  // no waves yet
  draw_frames(1);
  EXPECT_LT(presented_brightness(160, 120), 30) << "a flat surface stays below the eye";

  // A raised row across the grid, one step, one frame.
  send(water_class, 0, "wave", 1, 30, 0.02f);
  send(water_class, 0, "coord", 0, 7);
  water->nextUpdate = 0;
  water->nextWave = 0;
  draw_frames(1);
  EXPECT_GT(height(surface, 7 * 16 + 8), 15.0f);
  EXPECT_EQ(surface->buffersStale, 0) << "refreshed in the update step";
  EXPECT_GT(presented_brightness(160, 120), 600) << "the ridge covers the window centre";
}

}  // namespace
