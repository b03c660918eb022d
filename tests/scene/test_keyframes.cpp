// Keyframe animators in a started engine: the Hermite path between keys, the
// closing key, stopping and looping, freeAngle, the camera as target, the
// pace set by `speed`, and animators that must do nothing.
#include <gtest/gtest.h>

#include <cmath>

#include "commands/dispatch.h"
#include "core/engine.h"
#include "mesh/framer.h"
#include "mesh/object.h"
#include "script/command_ring.h"
#include "tests/support/gl_fixture.h"

namespace {

class Keyframes : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    start();
  }
  int32_t run(int type, const char* name, float n = 0, float a = 0, float b = 0, float c = 0, float d = 0) {
    int32_t result = -7;
    EXPECT_EQ(dispatch_command(CommandContext{engine, engine_classes()}, type, name, CommandArgs{n, a, b, c, d},
                               &result),
              0)
        << name;
    return result;
  }
  void f(const char* name, float a = 0, float b = 0, float c = 0, float d = 0) { run(CMD_FRAMER, name, 0, a, b, c, d); }
  cObject* add_object(int slot) {
    engine->scene.objects[slot] = new cObject(engine);
    engine->scene.objects.raise(slot);
    return engine->scene.objects[slot];
  }
  // Animator 0 on `target` with keys at frames 0 and 10 at a and b.
  cFramer* two_keys(float target, const float a[3], const float b[3]) {
    EXPECT_EQ(run(CMD_NEW, "cFramer", target), 0);
    f("totalkeys", 2, 10);
    f("move", 0, a[0], a[1], a[2]);
    f("position", 1, b[0], b[1], b[2]);
    return engine->scene.framers[0];
  }
  // One update step at a time far enough apart for any speed.
  void step() {
    engine->pacing.now += 1000;
    advanceFramers(engine);
  }
};

TEST_F(Keyframes, TwoKeysRunFromAToBOnACurveAndStop) {
  cObject* object = add_object(0);
  const float a[3] = {1, 2, 3}, b[3] = {5, 6, 7};
  cFramer* framer = two_keys(0, a, b);
  f("start");
  ASSERT_EQ(framer->keyCount, 3);
  EXPECT_EQ(framer->keys[2].frame, 11);  // the closing key
  EXPECT_EQ(framer->totalFrames, 11);
  EXPECT_EQ(run(CMD_STATUS, "cFramer", 0), 1);

  step();  // frame 0: at A, z negated as the object's position command does
  EXPECT_FLOAT_EQ(object->position[0], 1);
  EXPECT_FLOAT_EQ(object->position[1], 2);
  EXPECT_FLOAT_EQ(object->position[2], -3);
  for (int frame = 1; frame <= 5; ++frame) step();
  // Halfway: off the straight line, since A's tangent is A itself.
  EXPECT_GT(std::fabs(object->position[0] - 3.0f), 0.05f);
  for (int frame = 6; frame <= 10; ++frame) step();
  EXPECT_FLOAT_EQ(object->position[0], 5);
  EXPECT_FLOAT_EQ(object->position[2], -7);
  EXPECT_EQ(framer->currentFrame, 11);

  object->dirty = 0;
  step();  // the eleventh frame was the last: it switches itself off
  EXPECT_EQ(framer->active, 0);
  EXPECT_EQ(run(CMD_STATUS, "cFramer", 0), 0);
  EXPECT_EQ(object->dirty, 0);
  EXPECT_FLOAT_EQ(object->position[0], 5);
}

TEST_F(Keyframes, FromTheOriginThePathIsStraight) {
  cObject* object = add_object(0);
  const float a[3] = {0, 0, 0}, b[3] = {8, 4, 2};
  two_keys(0, a, b);
  f("start");
  for (int frame = 0; frame <= 5; ++frame) step();
  EXPECT_NEAR(object->position[0], 4, 1e-4);
  EXPECT_NEAR(object->position[1], 2, 1e-4);
  EXPECT_NEAR(object->position[2], -1, 1e-4);
}

TEST_F(Keyframes, TheClosingKeyIsAppendedOnceAndLoopRestarts) {
  cObject* object = add_object(0);
  const float a[3] = {1, 0, 0}, b[3] = {2, 0, 0};
  cFramer* framer = two_keys(0, a, b);
  f("start");
  f("start");
  EXPECT_EQ(framer->keyCount, 3);
  EXPECT_EQ(framer->totalFrames, 11);

  f("loop", 1);
  for (int frame = 0; frame <= 10; ++frame) step();
  EXPECT_FLOAT_EQ(object->position[0], 2);
  step();  // past the end: back to frame 0 at A, no new key
  EXPECT_EQ(framer->active, 1);
  EXPECT_FLOAT_EQ(object->position[0], 1);
  EXPECT_EQ(framer->keyCount, 3);

  // Key commands outside the keys do nothing.
  f("move", 3, 9, 9, 9);
  f("frames", -1, 4);
  f("rotate", 7, 1, 1, 1);
  EXPECT_EQ(framer->keyCount, 3);
  EXPECT_EQ(framer->keys[0].frame, 0);
}

TEST_F(Keyframes, RotationIsAnimatedUnlessFreeAngle) {
  cObject* object = add_object(0);
  const float a[3] = {0, 0, 0}, b[3] = {0, 0, 0};
  two_keys(0, a, b);
  f("rotation", 0, 10, 20, 30);
  f("start");
  step();
  EXPECT_FLOAT_EQ(object->rotation[0], 10);
  EXPECT_FLOAT_EQ(object->rotation[1], 20);
  EXPECT_FLOAT_EQ(object->rotation[2], -30);

  object->rotation[0] = 45;
  f("freeangle", 1);
  step();
  EXPECT_FLOAT_EQ(object->rotation[0], 45);
}

TEST_F(Keyframes, ACameraAnimatorMovesTheCameraAndMarksEveryObject) {
  add_object(0);
  add_object(4);
  const float a[3] = {1, 2, 3}, b[3] = {1, 2, 3};
  cFramer* framer = two_keys(-1, a, b);
  EXPECT_EQ(framer->object, -1);
  f("rotate", 0, 10, 20, 30);
  f("start");
  clear_objects_dirty(engine);
  draw_frames(1);  // through the frame's update step
  EXPECT_FLOAT_EQ(engine->view.cam_pos[0], -1);
  EXPECT_FLOAT_EQ(engine->view.cam_pos[1], -2);
  EXPECT_FLOAT_EQ(engine->view.cam_pos[2], 3);
  EXPECT_FLOAT_EQ(engine->view.cam_rot[0], -10);
  EXPECT_FLOAT_EQ(engine->view.cam_rot[1], 20);
  EXPECT_FLOAT_EQ(engine->view.cam_rot[2], 30);
  EXPECT_EQ(framer->currentFrame, 1);

  engine->view.cam_rot[0] = 5;
  f("freeangle", 1);
  clear_objects_dirty(engine);
  step();
  EXPECT_EQ(engine->scene.objects[0]->dirty, 1);
  EXPECT_EQ(engine->scene.objects[4]->dirty, 1);
  EXPECT_FLOAT_EQ(engine->view.cam_rot[0], 5);
}

TEST_F(Keyframes, SpeedLimitsTheFramesPerSecond) {
  add_object(0);
  const float a[3] = {0, 0, 0}, b[3] = {1, 1, 1};
  auto frames_in_a_second = [&](float speed) {
    cFramer* framer = two_keys(0, a, b);
    f("total", 200, 10);  // long enough not to end
    f("speed", speed);
    f("start");
    int produced = 0;
    const uint32_t begin = engine->pacing.now;
    for (uint32_t t = 0; t < 1000; ++t) {
      engine->pacing.now = begin + t;  // a frame every millisecond
      produced += framer->advance();
    }
    run(CMD_DELETE, "cFramer", 0);
    return produced;
  };
  EXPECT_EQ(frames_in_a_second(100), 10);
  EXPECT_EQ(frames_in_a_second(10), 100);
}

TEST_F(Keyframes, AnimatorsWithNothingToDoStayQuiet) {
  // One key: nothing to interpolate, also when looping.
  ASSERT_EQ(run(CMD_NEW, "cFramer", 0), 0);
  cObject* object = add_object(0);
  f("addkey", 5);
  f("loop", 1);
  f("active", 1);
  object->position[0] = 7;
  for (int i = 0; i < 3; ++i) step();
  EXPECT_FLOAT_EQ(object->position[0], 7);
  run(CMD_DELETE, "cFramer", 0);

  // An empty object slot: the animator waits and starts when the object comes.
  const float a[3] = {1, 0, 0}, b[3] = {2, 0, 0};
  cFramer* framer = two_keys(9, a, b);
  f("start");
  step();
  step();
  EXPECT_EQ(framer->currentFrame, 0);
  cObject* late = add_object(9);
  step();
  EXPECT_FLOAT_EQ(late->position[0], 1);
  run(CMD_DELETE, "cFramer", 0);

  // Two keys on one frame: the later key's value, and the animation still ends.
  framer = two_keys(0, a, b);
  f("frames", 1, 0);
  f("start");
  step();
  EXPECT_FLOAT_EQ(object->position[0], 2);
  int frames = 1;
  while (framer->active && frames < 100) {
    step();
    ++frames;
  }
  EXPECT_EQ(framer->active, 0);
  EXPECT_LT(frames, 20);
  EXPECT_TRUE(std::isfinite(object->position[0]));
}

}  // namespace
