// Deformers: spin, drift, colour drift and growth step by step against engine
// time (set by hand), and growth and drift seen in presented frames.
#include "effects/deformer.h"
#include "tests/effects/sprite_scene.h"

namespace {

struct Deformers : SpriteScene {
  using SpriteScene::send;
  cObject* target = nullptr;
  cDeform* d = nullptr;
  void set_up(float half = 1.0f) {
    start();
    target = cube(0, 0, 0, 10, half);
    int slot = create(deform_class, 0);
    ASSERT_EQ(slot, 0);
    d = engine->scene.deforms[0];
    send(0, "active", 1);
  }
  void send(int n, const char* name, float a = 0, float b = 0, float c = 0, float d = 0) {
    SpriteScene::send(deform_class, n, name, a, b, c, d);
  }
  // One update with the step due.
  void step() {
    engine->pacing.now = d->nextStep;
    target->dirty = 0;
    updateDeformers(engine);
  }
};

TEST_F(Deformers, SpinTurnsOneDegreeAStepAtMostOncePerCall) {
  set_up();
  send(0, "spin", 0, 1, 0);
  EXPECT_EQ(d->speed, 10);
  for (int n = 1; n <= 3; ++n) {
    step();
    EXPECT_FLOAT_EQ(target->rotation[1], float(n));
    EXPECT_EQ(target->dirty, 1);
  }
  EXPECT_EQ(d->nextStep, engine->pacing.now + 10);
  updateDeformers(engine);  // same time: not due again
  engine->pacing.now += 9;
  updateDeformers(engine);
  EXPECT_FLOAT_EQ(target->rotation[1], 3.0f);
  // The world matrix follows: a 3-degree turn about y.
  EXPECT_NEAR(target->worldMatrix[0], std::cos(3.0 * 3.14159265 / 180.0), 1e-5);
  send(0, "spin", 0, 0, 2);
  step();
  EXPECT_FLOAT_EQ(target->rotation[2], -2.0f);  // the object's z angle is stored negated
}

TEST_F(Deformers, PositionLowersTheStoredZAndActiveZeroSuspends) {
  set_up();
  send(0, "position", 0.5f, 0, 1);
  step();
  step();
  EXPECT_FLOAT_EQ(target->position[0], 1.0f);
  EXPECT_FLOAT_EQ(target->position[2], -12.0f);  // script z 10, +1 twice
  EXPECT_FLOAT_EQ(target->worldMatrix[14], -12.0f);
  send(0, "active", 0);
  step();
  EXPECT_FLOAT_EQ(target->position[2], -12.0f);
  send(0, "active", 1);
  send(object_class, 0, "active", 0);  // the object switched off: nothing
  step();
  EXPECT_FLOAT_EQ(target->position[2], -12.0f);
}

TEST_F(Deformers, BlendFadesEveryGroupAndMarksTheObjectBlended) {
  set_up();
  send(0, "blend", 0.1f, 0, 0, -0.01f);
  EXPECT_EQ(target->blended, 0);
  step();
  const MaterialGroup& group = target->parts[0].groups[0];
  EXPECT_FLOAT_EQ(group.diffuse[3], 0.99f);
  EXPECT_FLOAT_EQ(group.diffuse[0], 1.1f);  // nothing clamps
  EXPECT_EQ(target->blended, 1);
  EXPECT_EQ(group.transparent, 1);
  for (int n = 0; n < 149; ++n) step();
  EXPECT_NEAR(group.diffuse[3], -0.5f, 1e-4);  // keeps falling below 0
}

TEST_F(Deformers, ScaleGrowsFasterEveryStepAndAZeroFactorFlattens) {
  set_up();
  const float x0 = target->parts[0].positions[0], y0 = target->parts[0].positions[1];
  ASSERT_NE(x0, 0.0f);
  send(0, "scale", 1, 0, 1, 0.001f);
  step();
  EXPECT_FLOAT_EQ(d->scale[0], 1.001f);
  EXPECT_EQ(d->scale[1], 0.0f);
  EXPECT_EQ(target->parts[0].positions[1], 0.0f * y0);
  step();
  EXPECT_FLOAT_EQ(d->scale[0], 1.002f);
  EXPECT_FLOAT_EQ(target->parts[0].positions[0], x0 * 1.001f * 1.002f);
  EXPECT_EQ(target->buffersStale, 1);  // re-sent before the next frame draws
  EXPECT_EQ(target->dirty, 1);
  EXPECT_NEAR(target->localCorners[1][0], std::fabs(x0) * 1.001f * 1.002f, 1e-5);
}

TEST_F(Deformers, ObjectSwitchesObjectAndPeriodAndAMissingObjectIsLeftAlone) {
  set_up();
  send(0, "object", 3, 100);
  EXPECT_EQ(d->object, 3);
  EXPECT_EQ(d->speed, 100);
  send(0, "spin", 0, 1, 0);
  step();  // no object 3: nothing happens, nothing breaks
  EXPECT_EQ(target->rotation[1], 0.0f);
  cObject* other = cube(3, 0, 0, 10);
  step();
  EXPECT_EQ(other->rotation[1], 1.0f);
  EXPECT_EQ(d->nextStep, engine->pacing.now + 100);
  SpriteScene::send(object_class, 3, "active", 0);
  EXPECT_EQ(deform_class.remove(engine, 0), 1);
  EXPECT_EQ(engine->scene.deforms.count, 0);
  EXPECT_EQ(other->rotation[1], 1.0f);  // the object keeps what was done to it
}

TEST_F(Deformers, GrowthAndDriftReachTheScreenWithoutAnotherActiveCommand) {
  set_up(0.5f);
  send(object_class, 0, "diffuse", 0, 1, 0);
  // A cube of edge 1 at 10 covers the centre but not 40 pixels to the right.
  draw_frames(1);
  expect_colour(presented(160, 120), 0, 255, 0, "centre");
  expect_colour(presented(200, 120), 0, 0, 0, "right, before");
  send(0, "speed", 0);
  send(0, "scale", 1.05f, 1.05f, 1.05f, 0);
  for (int frames = 0; frames < 40 && target->parts[0].positions[0] > -1.5f; ++frames) draw_frames(1);
  keep_picture("deformer_grown");
  expect_colour(presented(200, 120), 0, 255, 0, "right, grown");
  // and drift: the grown cube moves off to the left
  send(0, "scale", 1, 1, 1, 0);
  send(0, "position", -0.5f, 0, 0);
  for (int frames = 0; frames < 40 && target->position[0] > -8.0f; ++frames) draw_frames(1);
  expect_colour(presented(200, 120), 0, 0, 0, "right, moved away");
}

}  // namespace
