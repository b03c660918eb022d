// Camera control through the window procedure, fed the same events the event
// pump makes: key steps and turns, repeats, the wheel, mouse-look by focus,
// button state, collision with part boxes, and the quit and screenshot keys.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "commands/dispatch.h"
#include "core/engine.h"
#include "frame/input.h"
#include "mesh/object.h"
#include "platform/platform.h"
#include "script/command_ring.h"
#include "tests/support/gl_fixture.h"

namespace {

constexpr int VK_LEFT = 37, VK_UP = 38, VK_RIGHT = 39, VK_DOWN = 40, VK_ESCAPE = 27, VK_G = 71;

class Input : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    start();
    ASSERT_EQ(engine->input.keybd, 1);
  }
  void key(int code, bool repeat = false) {
    platform::Event event;
    event.type = platform::EventType::KeyDown;
    event.key = code;
    event.repeat = repeat;
    window_procedure(event);
  }
  void mouse(platform::EventType type, int x = 0, int y = 0) {
    platform::Event event;
    event.type = type;
    event.x = static_cast<int16_t>(x);
    event.y = static_cast<int16_t>(y);
    window_procedure(event);
  }
  void wheel(int delta) {
    platform::Event event;
    event.type = platform::EventType::Wheel;
    event.wheel = delta;
    window_procedure(event);
  }
  // Drags with the left button from (100, 100) by (dx, dy) and releases.
  void drag(int dx, int dy) {
    mouse(platform::EventType::LeftDown, 100, 100);
    mouse(platform::EventType::MouseMove, 100 + dx, 100 + dy);
    mouse(platform::EventType::LeftUp, 100 + dx, 100 + dy);
  }
  bool close_requested() {
    platform::Event event;
    bool seen = false;
    while (platform::poll_event(&event)) seen = seen || event.type == platform::EventType::Close;
    return seen;
  }
  int32_t status(const char* query, float n) {
    int32_t result = 0;
    dispatch_command(CommandContext{engine, engine_classes()}, CMD_STATUS, query, CommandArgs{n, 0, 0, 0, 0},
                     &result);
    return result;
  }
  // An active, visible object of one visible part whose world box is min..max.
  cObject* add_box(int slot, const float min[3], const float max[3]) {
    cObject* object = new cObject(engine);
    engine->scene.objects[slot] = object;
    engine->scene.objects.raise(slot);
    object->active = 1;
    object->visible = 1;
    object->parts.resize(1);
    object->partCount = 1;
    object->parts[0].visible = 1;
    set_box_corners(object->parts[0].worldCorners, min, max);
    return object;
  }
};

TEST_F(Input, ArrowKeysStepAndTurnTheCamera) {
  key(VK_UP);
  EXPECT_NEAR(engine->view.cam_pos[2], 10.0f, 1e-5);
  EXPECT_NEAR(engine->view.cam_pos[0], 0.0f, 1e-5);
  EXPECT_EQ(engine->input.input_state, VK_UP);
  key(VK_DOWN);
  EXPECT_NEAR(engine->view.cam_pos[2], 0.0f, 1e-5);

  // Auto-repeated presses keep moving.
  key(VK_UP, true);
  key(VK_UP, true);
  EXPECT_NEAR(engine->view.cam_pos[2], 20.0f, 1e-5);

  engine->input.turn_speed = 2.5f;
  key(VK_RIGHT);
  EXPECT_EQ(engine->view.cam_rot[1], 2.5f);
  key(VK_LEFT);
  key(VK_LEFT);
  EXPECT_EQ(engine->view.cam_rot[1], -2.5f);
}

TEST_F(Input, PitchMovesAlongTheViewWhenVertical) {
  engine->view.cam_rot[0] = 30.0f;
  key(VK_UP);
  EXPECT_NEAR(engine->view.cam_pos[1], 5.0f, 1e-4);
  EXPECT_NEAR(engine->view.cam_pos[2], 10.0 * std::cos(30 * 3.14159265359 / 180), 1e-4);

  engine->input.vertical = 0;
  key(VK_UP);
  EXPECT_NEAR(engine->view.cam_pos[1], 5.0f, 1e-4);

  // Yaw 90: forward runs along -x of cam_pos.
  engine->view.cam_rot[0] = 0.0f;
  engine->view.cam_rot[1] = 90.0f;
  float x = engine->view.cam_pos[0];
  key(VK_UP);
  EXPECT_NEAR(engine->view.cam_pos[0], x - 10.0f, 1e-4);
}

TEST_F(Input, TheWheelStepsLikeTheArrowKeys) {
  wheel(1);
  EXPECT_NEAR(engine->view.cam_pos[2], 10.0f, 1e-5);
  wheel(-3);
  EXPECT_NEAR(engine->view.cam_pos[2], 0.0f, 1e-5);
  EXPECT_EQ(engine->input.input_state, 0);
}

TEST_F(Input, KeysDoNothingWithoutKeybd) {
  draw_frames(1);
  engine->input.keybd = 0;
  key(VK_UP);
  key(VK_ESCAPE);
  key(VK_G);
  EXPECT_EQ(engine->view.cam_pos[2], 0.0f);
  EXPECT_EQ(engine->input.input_state, VK_G);  // still recorded for keystate
  EXPECT_FALSE(close_requested());
  FILE* shot = std::fopen((data->path() + "screen1.png").c_str(), "rb");
  EXPECT_EQ(shot, nullptr);
  if (shot) std::fclose(shot);
}

TEST_F(Input, EscapeClosesAndGSavesAScreenshot) {
  draw_frames(1);
  testing::internal::CaptureStderr();
  key(VK_G);
  key(VK_G);
  std::string said = testing::internal::GetCapturedStderr();
  FILE* shot = std::fopen((data->path() + "screen1.png").c_str(), "rb");
  EXPECT_NE(shot, nullptr);
  if (shot) std::fclose(shot);
  // Each press says where its picture went.
  EXPECT_EQ(said, "talpine: screenshot saved as " + data->path() + "screen1.png\n" +
                      "talpine: screenshot saved as " + data->path() + "screen2.png\n");

  key(VK_ESCAPE);
  EXPECT_TRUE(close_requested());
}

TEST_F(Input, TheFirstMatchingKeyFieldWins) {
  engine->input.key_rt = VK_UP;  // also key_dn: forward is tested first
  key(VK_UP);
  EXPECT_NEAR(engine->view.cam_pos[2], 10.0f, 1e-5);
  EXPECT_EQ(engine->view.cam_rot[1], 0.0f);
}

TEST_F(Input, MouseLookByFocus) {
  engine->input.turn_speed = 0.5f;
  drag(10, 0);  // focus -1: the camera turns
  EXPECT_EQ(engine->view.cam_rot[1], 5.0f);
  drag(0, -4);
  EXPECT_EQ(engine->view.cam_rot[0], -2.0f);

  // focus -2: an orbit around the origin, yaw by -10 * turn_speed.
  engine->input.focus = -2;
  engine->view.cam_pos[0] = engine->view.cam_pos[1] = 0.0f;
  engine->view.cam_pos[2] = -100.0f;
  float yaw = engine->view.spin_yaw;
  drag(10, 0);
  EXPECT_EQ(engine->view.spin_yaw, yaw - 5.0f);
  EXPECT_EQ(engine->view.cam_rot[1], 90.0f - engine->view.spin_yaw);
  EXPECT_NEAR(std::hypot(engine->view.cam_pos[0], engine->view.cam_pos[2]), 100.0, 1e-3);

  // An object focus turns that object.
  cObject* object = new cObject(engine);
  engine->scene.objects[7] = object;
  engine->scene.objects.raise(7);
  engine->input.focus = 7;
  float before_matrix = object->worldMatrix[0];
  drag(20, 6);
  EXPECT_EQ(object->rotation[0], 3.0f);
  EXPECT_EQ(object->rotation[1], 10.0f);
  EXPECT_NE(object->worldMatrix[0], before_matrix);  // the transform was rebuilt
  EXPECT_EQ(object->dirty, 1);

  // A focus that names no object turns nothing.
  for (int focus : {-3, 199, 100000}) {
    engine->input.focus = focus;
    float rot[2] = {engine->view.cam_rot[0], engine->view.cam_rot[1]};
    drag(10, 10);
    EXPECT_EQ(engine->view.cam_rot[0], rot[0]);
    EXPECT_EQ(engine->view.cam_rot[1], rot[1]);
  }
}

TEST_F(Input, ButtonsAndMovementState) {
  // Movement without a button held is ignored.
  mouse(platform::EventType::MouseMove, 50, 60);
  EXPECT_EQ(engine->input.mouse_x, 0);
  EXPECT_EQ(engine->view.cam_rot[1], 0.0f);

  mouse(platform::EventType::RightDown, 50, 60);
  EXPECT_EQ(engine->input.input_state, -2);
  EXPECT_EQ(status("keystate", -2), 1);
  mouse(platform::EventType::RightUp, 50, 60);
  mouse(platform::EventType::LeftDown, 10, 20);
  EXPECT_EQ(status("keystate", -1), 1);
  EXPECT_EQ(engine->input.mouse_last_x, 10);
  EXPECT_EQ(engine->input.mouse_last_y, 20);
  mouse(platform::EventType::LeftUp, 10, 20);
  EXPECT_EQ(engine->input.input_state, 0);
  EXPECT_EQ(status("keystate", -1), 0);

  // Each move turns by the distance since the last one consumed.
  mouse(platform::EventType::LeftDown, 10, 20);
  mouse(platform::EventType::MouseMove, 13, 20);
  mouse(platform::EventType::MouseMove, 15, 20);
  EXPECT_EQ(engine->view.cam_rot[1], 5.0f);
  EXPECT_EQ(engine->input.mouse_last_x, 15);
}

// A box from (-5, -5, -5) to (5, 5, 5), widened to 6. The camera stands at
// -cam_pos; with yaw 45 a forward step of 2 moves it by (+1.41, 0, -1.41).
TEST_F(Input, CollisionUndoesOnlyTheAxesThatAloneEnterTheBox) {
  const float min[3] = {-5, -5, -5}, max[3] = {5, 5, 5};
  add_box(0, min, max);
  engine->input.collide = 1;
  engine->input.move_speed = 2.0f;
  engine->view.cam_rot[1] = 45.0f;
  engine->view.cam_pos[0] = 6.5f;  // world point (-6.5, 0, 5.5)
  engine->view.cam_pos[2] = -5.5f;

  key(VK_UP);
  // x alone would enter (z is already within): undone; z keeps its step.
  EXPECT_EQ(engine->view.cam_pos[0], 6.5f);
  EXPECT_NEAR(engine->view.cam_pos[2], -5.5f + 1.41421f, 1e-4);

  // Far from the box nothing is undone.
  engine->view.cam_pos[0] = 50.0f;
  engine->view.cam_pos[2] = 0.0f;
  key(VK_UP);
  EXPECT_NEAR(engine->view.cam_pos[0], 50.0f - 1.41421f, 1e-4);

  // Without collide the camera walks in.
  engine->input.collide = 0;
  engine->view.cam_pos[0] = 6.5f;
  engine->view.cam_pos[2] = -5.5f;
  key(VK_UP);
  EXPECT_NEAR(engine->view.cam_pos[0], 6.5f - 1.41421f, 1e-4);
}

TEST_F(Input, CollisionSkipsHiddenParts) {
  const float min[3] = {-5, -5, -5}, max[3] = {5, 5, 5};
  cObject* hidden = add_box(0, min, max);
  hidden->parts[0].visible = 0;
  engine->input.collide = 1;
  engine->input.move_speed = 2.0f;
  engine->view.cam_pos[2] = -7.0f;  // world (0, 0, 7), stepping to z = 5
  key(VK_UP);
  EXPECT_NEAR(engine->view.cam_pos[2], -5.0f, 1e-4);

  engine->view.cam_pos[2] = -7.0f;
  hidden->parts[0].visible = 1;
  key(VK_UP);
  EXPECT_NEAR(engine->view.cam_pos[2], -7.0f, 1e-4);
}

}  // namespace
