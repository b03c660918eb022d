// Lights in a started engine with a real (headless) GL context: positions and
// their conventions, the dirty marks, GL light allocation, the spot commands
// in GL state, and a lit surface in pixels.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "commands/dispatch.h"
#include "core/engine.h"
#include "lighting/light.h"
#include "mesh/object.h"
#include "script/command_ring.h"
#include "tests/support/gl_fixture.h"

namespace {

class Lights : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    start();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
  int32_t run(int type, const char* name, float n = 0, float a = 0, float b = 0, float c = 0, float d = 0) {
    int32_t result = -7;
    EXPECT_EQ(dispatch_command(CommandContext{engine, engine_classes()}, type, name, CommandArgs{n, a, b, c, d},
                               &result),
              0)
        << name;
    return result;
  }
  int32_t new_light(float object = -1) { return run(CMD_NEW, "cLight", object); }
  void delete_light(int slot) { EXPECT_EQ(run(CMD_DELETE, "cLight", static_cast<float>(slot)), 1); }
  cObject* add_object(int slot) {
    engine->scene.objects[slot] = new cObject(engine);
    engine->scene.objects.raise(slot);
    engine->scene.objects[slot]->dirty = 0;
    return engine->scene.objects[slot];
  }
  void clear_dirty() { clear_objects_dirty(engine); }
  bool all_dirty() {
    for (int i = 0; i < engine->scene.objects.count; ++i)
      if (engine->scene.objects[i] && !engine->scene.objects[i]->dirty) return false;
    return true;
  }
  bool none_dirty() {
    for (int i = 0; i < engine->scene.objects.count; ++i)
      if (engine->scene.objects[i] && engine->scene.objects[i]->dirty) return false;
    return true;
  }
  void expect_gl_position(const cLight* light, float x, float y, float z) {
    float sent[4] = {};
    glGetLightfv(light->glLight, GL_POSITION, sent);
    EXPECT_FLOAT_EQ(sent[0], x);
    EXPECT_FLOAT_EQ(sent[1], y);
    EXPECT_FLOAT_EQ(sent[2], z);
    EXPECT_FLOAT_EQ(sent[3], 1.0f);
  }
};

TEST_F(Lights, NewLightHasItsDefaultsInGLAndStaysDark) {
  ASSERT_EQ(new_light(), 0);
  const cLight* light = engine->scene.lights[0];
  EXPECT_EQ(light->object, -1);
  EXPECT_EQ(light->glLight, static_cast<GLenum>(GL_LIGHT0));
  EXPECT_FALSE(glIsEnabled(GL_LIGHT0));
  float colour[4] = {};
  glGetLightfv(GL_LIGHT0, GL_AMBIENT, colour);
  EXPECT_FLOAT_EQ(colour[0], 0.0f);
  EXPECT_FLOAT_EQ(colour[3], 1.0f);
  glGetLightfv(GL_LIGHT0, GL_DIFFUSE, colour);
  EXPECT_FLOAT_EQ(colour[1], 1.0f);
  glGetLightfv(GL_LIGHT0, GL_SPECULAR, colour);
  EXPECT_FLOAT_EQ(colour[2], 0.0f);
  expect_gl_position(light, 1, 1, 1);
  GLfloat local_viewer = 0;
  glGetFloatv(GL_LIGHT_MODEL_LOCAL_VIEWER, &local_viewer);
  EXPECT_EQ(local_viewer, 1.0f);
  EXPECT_EQ(run(CMD_STATUS, "cLight", 0), 0);

  run(CMD_LIGHT, "active", 0, 1);
  EXPECT_TRUE(glIsEnabled(GL_LIGHT0));
  EXPECT_EQ(run(CMD_STATUS, "cLight", 0), 1);
  run(CMD_LIGHT, "diffuse", 0, 0.25f, 0.5f, 0.75f);
  glGetLightfv(GL_LIGHT0, GL_DIFFUSE, colour);
  EXPECT_FLOAT_EQ(colour[2], 0.75f);
  EXPECT_FLOAT_EQ(colour[3], 1.0f);

  // A command for an empty slot is accepted and ignored.
  EXPECT_EQ(run(CMD_LIGHT, "active", 5, 1), 0);
  EXPECT_FALSE(glIsEnabled(GL_LIGHT5));
}

TEST_F(Lights, FreeLightNegatesZBoundLightFollowsItsObject) {
  ASSERT_EQ(new_light(), 0);
  run(CMD_LIGHT, "position", 0, 0, 10, 5);
  const cLight* free_light = engine->scene.lights[0];
  EXPECT_EQ(free_light->position[2], -5.0f);
  expect_gl_position(free_light, 0, 10, -5);

  cObject* object = add_object(3);
  object->position[0] = 2;
  object->position[1] = 4;
  object->position[2] = -6;
  ASSERT_EQ(new_light(3), 1);
  cLight* bound = engine->scene.lights[1];
  EXPECT_EQ(bound->object, 3);
  run(CMD_LIGHT, "position", 1, 0, 10, 5);
  EXPECT_EQ(bound->position[2], 5.0f);

  // Not active: the light keeps its last position.
  object->visible = 1;
  updateLights(engine);
  EXPECT_EQ(bound->position[2], 5.0f);

  object->active = 1;
  updateLights(engine);
  EXPECT_EQ(bound->position[0], 2.0f);
  EXPECT_EQ(bound->position[1], 4.0f);
  EXPECT_EQ(bound->position[2], -6.0f);
  expect_gl_position(bound, 2, 4, -6);

  // Free lights are re-sent in the camera space of the moment.
  glTranslatef(1, 0, 0);
  updateLights(engine);
  expect_gl_position(free_light, 1, 10, -5);
}

TEST_F(Lights, OnlyAMoveOrASwitchMarksTheObjects) {
  add_object(0);
  add_object(2);
  ASSERT_EQ(new_light(), 0);
  run(CMD_LIGHT, "position", 0, 1, 2, 3);
  EXPECT_TRUE(all_dirty());
  clear_dirty();
  run(CMD_LIGHT, "position", 0, 1, 2, 3);
  EXPECT_TRUE(none_dirty());
  run(CMD_LIGHT, "position", 0, 1, 2, 4);
  EXPECT_TRUE(all_dirty());

  clear_dirty();
  run(CMD_LIGHT, "active", 0, 0);
  EXPECT_TRUE(all_dirty());
  clear_dirty();
  run(CMD_LIGHT, "active", 0, 1);
  EXPECT_TRUE(all_dirty());

  // A bound light whose object stands still marks nothing.
  cObject* object = engine->scene.objects[2];
  object->active = 1;
  object->visible = 1;
  ASSERT_EQ(new_light(2), 1);
  updateLights(engine);
  clear_dirty();
  updateLights(engine);
  EXPECT_TRUE(none_dirty());
  object->position[0] = 9;
  updateLights(engine);
  EXPECT_TRUE(all_dirty());
}

TEST_F(Lights, ANewLightAfterADeletionTakesTheCountedGLLight) {
  ASSERT_EQ(new_light(), 0);
  ASSERT_EQ(new_light(), 1);
  delete_light(0);
  EXPECT_FALSE(engine->scene.lights[0]);
  EXPECT_EQ(engine->scene.lights.count, 2);
  ASSERT_EQ(new_light(), 0);
  EXPECT_EQ(engine->scene.lights.count, 2);
  EXPECT_EQ(engine->scene.lights[0]->glLight, static_cast<GLenum>(GL_LIGHT2));

  // Deleting the highest lowers the count; deleting disables the GL light.
  run(CMD_LIGHT, "active", 1, 1);
  delete_light(1);
  EXPECT_EQ(engine->scene.lights.count, 1);
  EXPECT_FALSE(glIsEnabled(GL_LIGHT1));
  delete_light(0);
  EXPECT_EQ(engine->scene.lights.count, 0);
}

TEST_F(Lights, TwoLiveLightsNeverShareAGLLight) {
  auto distinct = [&] {
    std::set<GLenum> used;
    int live = 0;
    for (const cLight* light : engine->scene.lights.slots) {
      if (!light) continue;
      ++live;
      EXPECT_GE(light->glLight, static_cast<GLenum>(GL_LIGHT0));
      EXPECT_LE(light->glLight, static_cast<GLenum>(GL_LIGHT7));
      used.insert(light->glLight);
    }
    return static_cast<int>(used.size()) == live;
  };
  ASSERT_EQ(new_light(), 0);
  ASSERT_EQ(new_light(), 1);
  ASSERT_EQ(new_light(), 2);
  delete_light(0);
  ASSERT_EQ(new_light(), 0);
  EXPECT_TRUE(distinct());
  delete_light(2);
  ASSERT_EQ(new_light(), 2);
  EXPECT_TRUE(distinct());
  delete_light(1);
  ASSERT_EQ(new_light(), 1);
  EXPECT_TRUE(distinct());

  // Filling every slot after deletions stays within GL_LIGHT0..7; a ninth fails.
  for (int slot = 3; slot < MAX_LIGHTS; ++slot) ASSERT_EQ(new_light(), slot);
  EXPECT_TRUE(distinct());
  EXPECT_EQ(new_light(), -1);
  delete_light(7);
  delete_light(3);
  ASSERT_EQ(new_light(), 3);
  ASSERT_EQ(new_light(), 7);
  EXPECT_TRUE(distinct());
}

TEST_F(Lights, SpotCommandsReachGLState) {
  ASSERT_EQ(new_light(), 0);
  ASSERT_EQ(new_light(), 1);
  run(CMD_LIGHT, "exponent", 1, 12);
  run(CMD_LIGHT, "cutoff", 1, 30);
  run(CMD_LIGHT, "attenuation", 1, 0.5f);
  run(CMD_LIGHT, "direction", 1, 0, -1, 0.5f);
  float value = 0;
  glGetLightfv(GL_LIGHT1, GL_SPOT_EXPONENT, &value);
  EXPECT_FLOAT_EQ(value, 12.0f);
  glGetLightfv(GL_LIGHT1, GL_SPOT_CUTOFF, &value);
  EXPECT_FLOAT_EQ(value, 30.0f);
  glGetLightfv(GL_LIGHT1, GL_CONSTANT_ATTENUATION, &value);
  EXPECT_FLOAT_EQ(value, 0.5f);
  float direction[3] = {};
  glGetLightfv(GL_LIGHT1, GL_SPOT_DIRECTION, direction);
  EXPECT_FLOAT_EQ(direction[1], -1.0f);
  EXPECT_FLOAT_EQ(direction[2], 0.5f);
  // Light 0 is untouched.
  glGetLightfv(GL_LIGHT0, GL_SPOT_CUTOFF, &value);
  EXPECT_FLOAT_EQ(value, 180.0f);
  // "cutoff" before "attenuation": a name holding both sets the cutoff.
  run(CMD_LIGHT, "cutoffattenuation", 1, 45);
  glGetLightfv(GL_LIGHT1, GL_SPOT_CUTOFF, &value);
  EXPECT_FLOAT_EQ(value, 45.0f);
  glGetLightfv(GL_LIGHT1, GL_CONSTANT_ATTENUATION, &value);
  EXPECT_FLOAT_EQ(value, 0.5f);
}

TEST_F(Lights, ALitSurfaceIsBrighterOnTheLightsSide) {
  // A 12 x 12 square facing the camera, 10 units in front of it, in cells of
  // one unit: fixed-function lighting is computed at the vertices.
  std::string obj;
  for (int y = -6; y <= 6; ++y)
    for (int x = -6; x <= 6; ++x) obj += "v " + std::to_string(x) + " " + std::to_string(y) + " 0\n";
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 12; ++x) {
      int k = y * 13 + x + 1;
      obj += "f " + std::to_string(k) + " " + std::to_string(k + 1) + " " + std::to_string(k + 14) + " " +
             std::to_string(k + 13) + "\n";
    }
  data->write("plane.obj", obj);
  int32_t slot = run(CMD_LOAD, "plane");
  ASSERT_EQ(slot, 0);
  run(CMD_OBJECT, "position", 0, 0, 0, 10);
  run(CMD_OBJECT, "diffuse", 0, 1, 1, 1);
  run(CMD_OBJECT, "ambient", 0, 0, 0, 0);
  run(CMD_OBJECT, "cull", 0, 2);
  run(CMD_OBJECT, "lighted", 0, 1);
  run(CMD_OBJECT, "active", 0, 1);
  ASSERT_EQ(new_light(), 0);
  run(CMD_LIGHT, "position", 0, 4, 0, 9);  // one unit in front, on the right
  run(CMD_LIGHT, "active", 0, 1);
  draw_frames(2);

  int r = 0, g = 0, b = 0;
  presented_pixel(300, 120, &r, &g, &b);
  int right = r + g + b;
  presented_pixel(20, 120, &r, &g, &b);
  int left = r + g + b;
  EXPECT_GT(right, 300);
  EXPECT_GT(right, left + 150);

  // Switched off, both sides are dark but for the global ambient.
  run(CMD_LIGHT, "active", 0, 0);
  draw_frames(1);
  presented_pixel(300, 120, &r, &g, &b);
  EXPECT_LT(r + g + b, right / 2);
}

}  // namespace
