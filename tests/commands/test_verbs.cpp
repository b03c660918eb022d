// The verbs with the engine's own classes in a started engine: load and its
// probe order, objects through delete and status, the camera and input
// queries, and selection at the window centre.
#include <FreeImage.h>
#include <gtest/gtest.h>

#include <string>

#include "commands/dispatch.h"
#include "core/engine.h"
#include "mesh/object.h"
#include "script/command_ring.h"
#include "tests/support/gl_fixture.h"

namespace {

class Verbs : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    start();
  }
  int run(int type, const char* name, float n = -1, float a = 0, float b = 0, float c = 0) {
    result = -12345;
    return dispatch_command(CommandContext{engine, engine_classes()}, type, name, CommandArgs{n, a, b, c, 0},
                            &result);
  }
  int32_t verb(int type, const char* name, float n = -1) {
    EXPECT_EQ(run(type, name, n), 0) << name;
    return result;
  }
  cObject* add_object(int slot) {
    engine->scene.objects[slot] = new cObject(engine);
    engine->scene.objects.raise(slot);
    return engine->scene.objects[slot];
  }
  // A small image written through the image library, in the given format.
  void write_image(const std::string& file, FREE_IMAGE_FORMAT format) {
    FIBITMAP* image = FreeImage_Allocate(8, 8, 24);
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(FreeImage_Save(format, image, (data->path() + file).c_str(), 0));
    FreeImage_Unload(image);
  }

  int32_t result = 0;
};

TEST_F(Verbs, LoadProbesMeshesThenImagesThenPrograms) {
  write_image("onlyjpg.jpg", FIF_JPEG);
  int32_t slot = verb(CMD_LOAD, "onlyjpg");
  EXPECT_GE(slot, 1);
  EXPECT_TRUE(engine->resources.textures[slot].inUse);
  EXPECT_EQ(engine->scene.objects.count, 0);

  // Letter case of the file does not matter.
  write_image("Brick.PNG", FIF_PNG);
  EXPECT_GE(verb(CMD_LOAD, "brick"), 1);

  data->write("glass.vp", "!!ARBvp1.0\nEND\n");
  data->write("glass.fp", "!!ARBfp1.0\nEND\n");
  EXPECT_EQ(verb(CMD_LOAD, "glass"), -1);
  data->write("onlyfp.fp", "!!ARBfp1.0\nEND\n");
  EXPECT_EQ(verb(CMD_LOAD, "onlyfp"), -1);
  EXPECT_EQ(engine->scene.objects.count, 0);

  // A mesh wins over an image of the same name.
  write_image("crate.png", FIF_PNG);
  data->write("crate.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  EXPECT_EQ(verb(CMD_LOAD, "crate"), 0);
  ASSERT_NE(engine->scene.objects[0], nullptr);
  EXPECT_EQ(engine->scene.objects[0]->partCount, 1);

  EXPECT_EQ(run(CMD_LOAD, "nothing"), 1);
  EXPECT_EQ(result, 0);
}

TEST_F(Verbs, MeshesTakeTheLowestFreeSlotEvenWhenTheyFailToLoad) {
  data->write("broken.gfx", "not a mesh");
  add_object(0);
  add_object(2);
  EXPECT_EQ(verb(CMD_LOAD, "broken"), 1);
  ASSERT_NE(engine->scene.objects[1], nullptr);
  EXPECT_EQ(engine->scene.objects[1]->partCount, 0);
  EXPECT_EQ(engine->scene.objects.count, 3);
  EXPECT_EQ(verb(CMD_LOAD, "broken"), 3);
  EXPECT_EQ(engine->scene.objects.count, 4);

  for (int slot = 4; slot < MAX_ELEMENTS; ++slot) add_object(slot);
  EXPECT_EQ(verb(CMD_LOAD, "broken"), -1);
}

TEST_F(Verbs, DeletingObjectsKeepsTheCountOnePastTheHighest) {
  add_object(1);
  add_object(4);
  add_object(6);
  EXPECT_EQ(verb(CMD_DELETE, "cObject", 5), 1);  // empty slot
  EXPECT_EQ(engine->scene.objects.count, 7);
  EXPECT_EQ(verb(CMD_DELETE, "cObject", 6), 1);
  EXPECT_EQ(engine->scene.objects.count, 5);
  EXPECT_EQ(engine->scene.objects[6], nullptr);
  EXPECT_EQ(verb(CMD_DELETE, "cObject", 4), 1);
  EXPECT_EQ(verb(CMD_DELETE, "cObject", 1), 1);
  EXPECT_EQ(engine->scene.objects.count, 0);
  EXPECT_EQ(verb(CMD_DELETE, "cObject", 250), 0);  // outside the table
}

TEST_F(Verbs, ObjectStatusReportsStoredPlacement) {
  add_object(2);
  EXPECT_EQ(verb(CMD_STATUS, "cObject", 2), 0);
  EXPECT_EQ(run(CMD_OBJECT, "active", 2, 1), 0);
  EXPECT_EQ(verb(CMD_STATUS, "cObject", 2), 1);

  // position stores z negated; status truncates toward zero.
  EXPECT_EQ(run(CMD_OBJECT, "position", 2, -3.9f, 2.7f, 5.5f), 0);
  EXPECT_EQ(verb(CMD_STATUS, "cObjPX", 2), -3);
  EXPECT_EQ(verb(CMD_STATUS, "cObjPY", 2), 2);
  EXPECT_EQ(verb(CMD_STATUS, "cObjPZ", 2), -5);
  engine->scene.objects[2]->rotation[0] = 10.2f;
  engine->scene.objects[2]->rotation[1] = -20.8f;
  engine->scene.objects[2]->rotation[2] = -30.0f;
  EXPECT_EQ(verb(CMD_STATUS, "cObjRX", 2), 10);
  EXPECT_EQ(verb(CMD_STATUS, "cObjRY", 2), -20);
  EXPECT_EQ(verb(CMD_STATUS, "cObjRZ", 2), -30);

  // Missing elements give 0.
  for (const char* query : {"cObject", "cObjPX", "cObjRZ"}) {
    EXPECT_EQ(verb(CMD_STATUS, query, 3), 0) << query;
    EXPECT_EQ(verb(CMD_STATUS, query, -1), 0) << query;
    EXPECT_EQ(verb(CMD_STATUS, query, 5000), 0) << query;
  }
}

TEST_F(Verbs, CameraAndKeyStatus) {
  engine->view.cam_pos[0] = -1.5f;
  engine->view.cam_pos[1] = 2.5f;
  engine->view.cam_pos[2] = 300.9f;
  engine->view.cam_rot[0] = -45.0f;
  engine->view.cam_rot[1] = 90.1f;
  engine->view.cam_rot[2] = 0.9f;
  EXPECT_EQ(verb(CMD_STATUS, "cCamPX"), -1);
  EXPECT_EQ(verb(CMD_STATUS, "cCamPY"), 2);
  EXPECT_EQ(verb(CMD_STATUS, "cCamPZ"), 300);
  EXPECT_EQ(verb(CMD_STATUS, "cCamRX"), -45);
  EXPECT_EQ(verb(CMD_STATUS, "cCamRY"), 90);
  EXPECT_EQ(verb(CMD_STATUS, "cCamRZ"), 0);

  engine->input.input_state = 71;
  EXPECT_EQ(verb(CMD_STATUS, "keystate", 71), 1);
  EXPECT_EQ(verb(CMD_STATUS, "keystate", 72), 0);
  engine->input.input_state = -1;
  EXPECT_EQ(verb(CMD_STATUS, "keystate", -1), 1);
}

// With nothing drawn the depth at the centre is the far plane, so the point
// under the centre is on the view axis at the far distance.
TEST_F(Verbs, SelectionPicksTheFirstActiveVisibleBoxAtTheCentre) {
  draw_frames(1);
  const float far_point = -engine->view.far_clip;
  auto place = [&](int slot, float cx, float cy, float cz, float half) {
    cObject* object = add_object(slot);
    object->active = 1;
    object->visible = 1;
    const float min[3] = {cx - half, cy - half, cz - half};
    const float max[3] = {cx + half, cy + half, cz + half};
    set_box_corners(object->worldCorners, min, max);
    return object;
  };
  EXPECT_EQ(verb(CMD_STATUS, "selection"), -1);

  place(1, 0, 0, far_point + 30, 5);      // beside the point
  cObject* hidden = place(2, 0, 0, far_point, 5);
  hidden->visible = 0;
  // Its box ends 0.5 short of the point; the widening by 1 reaches it.
  place(3, 5.5f, 0, far_point, 5);
  place(4, 0, 0, far_point, 5);
  EXPECT_EQ(verb(CMD_STATUS, "selection"), 3);
  engine->scene.objects[3]->active = 0;
  EXPECT_EQ(verb(CMD_STATUS, "selection"), 4);
}

}  // namespace
