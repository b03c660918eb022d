// The sky box in a started engine: creation and its defaults, the commands and
// the base-name fall-through, and the cube in pixels (faces, tint, rotation).
#include <FreeImage.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "commands/dispatch.h"
#include "core/engine.h"
#include "resources/skybox.h"
#include "resources/texture_manager.h"
#include "script/command_ring.h"
#include "tests/support/gl_fixture.h"

namespace {

struct Colour {
  int r, g, b;
};

// Face colours in load order: top, bottom, left, right, back, front.
constexpr Colour FACE_COLOURS[SKYBOX_FACES] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},
                                               {255, 255, 0}, {0, 255, 255}, {255, 0, 255}};
constexpr const char* FACE_NAMES[SKYBOX_FACES] = {"top", "bottom", "left", "right", "back", "front"};

class Skybox : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    start();
  }
  int run(int type, const char* name, int32_t* result, float n = 0, float a = 0, float b = 0) {
    return dispatch_command(CommandContext{engine, engine_classes()}, type, name, CommandArgs{n, a, b, 0, 0}, result);
  }
  int32_t verb(int type) {
    int32_t result = -7;
    EXPECT_EQ(run(type, "cSkybox", &result), 0);
    return result;
  }
  int sky(const char* name, float n = 0, float a = 0, float b = 0) {
    int32_t result = -7;
    int status = run(CMD_SKYBOX, name, &result, n, a, b);
    EXPECT_EQ(result, 0) << name;
    return status;
  }
  void write_face(const std::string& name, Colour colour) {
    FIBITMAP* image = FreeImage_Allocate(64, 64, 24, FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK);
    for (int y = 0; y < 64; ++y) {
      uint8_t* line = FreeImage_GetScanLine(image, y);
      for (int x = 0; x < 64; ++x) {
        line[x * 3 + FI_RGBA_RED] = static_cast<uint8_t>(colour.r);
        line[x * 3 + FI_RGBA_GREEN] = static_cast<uint8_t>(colour.g);
        line[x * 3 + FI_RGBA_BLUE] = static_cast<uint8_t>(colour.b);
      }
    }
    FreeImage_Save(FIF_PNG, image, (data->path() + name + ".png").c_str(), 0);
    FreeImage_Unload(image);
  }
  void write_faces(const std::string& base) {
    for (int k = 0; k < SKYBOX_FACES; ++k) write_face(base + "_" + FACE_NAMES[k], FACE_COLOURS[k]);
  }
  Colour centre() {
    draw_frames(1);
    Colour c{};
    presented_pixel(window_width / 2, window_height / 2, &c.r, &c.g, &c.b);
    return c;
  }
  void expect_colour(Colour seen, Colour wanted, const char* what) {
    EXPECT_NEAR(seen.r, wanted.r, 8) << what;
    EXPECT_NEAR(seen.g, wanted.g, 8) << what;
    EXPECT_NEAR(seen.b, wanted.b, 8) << what;
  }
};

TEST_F(Skybox, OneSkyBoxWithItsHalfSizeFromTheFarClipAtCreation) {
  // Commands without a sky box are accepted and ignored.
  EXPECT_EQ(sky("size", 100), 0);
  EXPECT_EQ(verb(CMD_STATUS), 0);

  engine->view.far_clip = 3001;
  EXPECT_EQ(verb(CMD_NEW), 1);
  ASSERT_TRUE(engine->scene.skybox);
  EXPECT_EQ(engine->scene.skybox->halfSize, 1500);
  engine->view.far_clip = 8000;
  EXPECT_EQ(engine->scene.skybox->halfSize, 1500);
  EXPECT_FALSE(engine->scene.skybox->active);

  cSkybox* first = engine->scene.skybox;
  EXPECT_EQ(verb(CMD_NEW), 0);
  EXPECT_EQ(engine->scene.skybox, first);

  EXPECT_EQ(sky("size", 801), 0);
  EXPECT_EQ(engine->scene.skybox->halfSize, 400);
  EXPECT_EQ(sky("rotation", 10, 20, 30), 0);
  EXPECT_EQ(engine->scene.skybox->rotation[2], 30.0f);
  EXPECT_EQ(sky("color", 0.5f, 0.25f, 0.125f), 0);
  EXPECT_EQ(engine->scene.skybox->color[2], 0.125f);
  EXPECT_EQ(engine->scene.skybox->color[3], 1.0f);
  EXPECT_EQ(sky("active", 1), 0);
  EXPECT_EQ(verb(CMD_STATUS), 1);

  EXPECT_EQ(verb(CMD_DELETE), 1);
  EXPECT_FALSE(engine->scene.skybox);
  EXPECT_EQ(verb(CMD_STATUS), 0);
}

TEST_F(Skybox, AnyOtherNameLoadsTheSixFaces) {
  ASSERT_EQ(verb(CMD_NEW), 1);
  EXPECT_EQ(sky("nowhere"), 1);  // no "nowhere_top": unrecognised

  write_faces("sunset");
  // A face loaded earlier keeps its slot, away from the others.
  int front = loadTexture(engine, "sunset_front", GL_REPEAT);
  ASSERT_GT(front, 0);
  EXPECT_EQ(sky("sunset"), 0);
  const cSkybox* box = engine->scene.skybox;
  for (int k = 0; k < SKYBOX_FACES; ++k)
    EXPECT_EQ(box->faces[k], findTexture(engine, ("sunset_" + std::string(FACE_NAMES[k])).c_str())) << k;
  EXPECT_EQ(box->topFace, box->faces[0]);
  EXPECT_EQ(box->faces[5], front);
  EXPECT_NE(box->faces[5], box->faces[0] + 5);

  // The faces stay loaded after the sky box is gone.
  verb(CMD_DELETE);
  EXPECT_GE(findTexture(engine, "sunset_top"), 1);
}

TEST_F(Skybox, TheCubeTurnsWithTheCameraAndItsOwnRotationAndTakesItsTint) {
  write_faces("sky");
  loadTexture(engine, "sky_front", GL_REPEAT);  // the front face out of line
  ASSERT_EQ(verb(CMD_NEW), 1);
  ASSERT_EQ(sky("sky"), 0);

  // Inactive: nothing drawn.
  expect_colour(centre(), {0, 0, 0}, "inactive");
  sky("active", 1);
  expect_colour(centre(), FACE_COLOURS[5], "front");

  // Turned 90 degrees about y the eye faces the right face, -90 the left.
  sky("rotation", 0, 90, 0);
  expect_colour(centre(), FACE_COLOURS[3], "right");
  sky("rotation", 0, -90, 0);
  expect_colour(centre(), FACE_COLOURS[2], "left");
  // The camera's rotation adds to it; the camera's position does not move it.
  engine->view.cam_rot[1] = 90;
  engine->view.cam_pos[2] = 3000;
  expect_colour(centre(), FACE_COLOURS[5], "camera and box cancel");
  engine->view.cam_rot[1] = 0;
  sky("rotation", 0, 180, 0);
  expect_colour(centre(), FACE_COLOURS[4], "back");
  sky("rotation", -90, 0, 0);
  expect_colour(centre(), FACE_COLOURS[0], "top");
  sky("rotation", 90, 0, 0);
  expect_colour(centre(), FACE_COLOURS[1], "bottom");

  // The colour tints every face.
  sky("color", 0.5f, 0.5f, 0.5f);
  for (int k = 0; k < SKYBOX_FACES; ++k) {
    const float turns[SKYBOX_FACES][2] = {{-90, 0}, {90, 0}, {0, -90}, {0, 90}, {0, 180}, {0, 0}};
    sky("rotation", turns[k][0], turns[k][1], 0);
    Colour half{FACE_COLOURS[k].r / 2, FACE_COLOURS[k].g / 2, FACE_COLOURS[k].b / 2};
    expect_colour(centre(), half, FACE_NAMES[k]);
  }
}

}  // namespace
