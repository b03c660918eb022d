// Objects drawn in a real context (320 x 240, camera at the origin looking down
// -z): chosen pixels read back with a tolerance.
#include <FreeImage.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "frame/scene_pass.h"
#include "mesh/object_commands.h"
#include "mesh/object_render.h"
#include "platform/platform.h"
#include "resources/texture_manager.h"
#include "tests/mesh/mesh_files.h"
#include "tests/resources/image_files.h"
#include "tests/support/gl_fixture.h"

namespace {

struct Rgb {
  int r, g, b;
};

struct Rendering : EngineTest {
  // A cube of edge 2 loaded from an OBJ file into the lowest free slot, white,
  // active, placed at script z = depth (stored negated: in front of the camera).
  cObject* cube(const char* name, float x, float depth) {
    data->write(std::string(name) + ".obj", cube_obj(1.0f));
    int slot = 0;
    while (engine->scene.objects[slot]) ++slot;
    auto* object = new cObject(engine);
    engine->scene.objects[slot] = object;
    engine->scene.objects.raise(slot);
    EXPECT_TRUE(object->load(name));
    command(slot, "diffuse", 1, 1, 1);
    command(slot, "position", x, 0, depth);
    command(slot, "active", 1);
    return object;
  }
  void command(int slot, const char* name, float a = 0, float b = 0, float c = 0, float d = 0) {
    int32_t result;
    object_class.command(engine, name, CommandArgs{float(slot), a, b, c, d}, &result);
  }
  // The scene pass alone on a black background, read from the drawing buffer.
  void render_scene_pass() {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    scene_pass(engine);
    glFinish();
  }
  Rgb drawn(int x, int y) {
    uint8_t p[3] = {0, 0, 0};
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
  }
  Rgb presented(int x, int y) {
    Rgb c{0, 0, 0};
    presented_pixel(x, y, &c.r, &c.g, &c.b);
    return c;
  }
  // With TALPINE_TEST_PICTURES set, the last presented frame goes there as PNG.
  void keep_picture(const char* name) {
    const char* folder = std::getenv("TALPINE_TEST_PICTURES");
    std::vector<uint8_t> rgb;
    if (!folder || !platform::read_presented_frame(0, 0, window_width, window_height, &rgb)) return;
    FIBITMAP* image = FreeImage_ConvertFromRawBits(rgb.data(), window_width, window_height, window_width * 3, 24,
                                                   FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, FALSE);
    if (!image) return;
    // Raw bits are red-green-blue; FreeImage stores blue-green-red.
    for (int y = 0; y < window_height; ++y) {
      BYTE* row = FreeImage_GetScanLine(image, y);
      for (int x = 0; x < window_width; ++x) std::swap(row[x * 3], row[x * 3 + 2]);
    }
    FreeImage_Save(FIF_PNG, image, (std::string(folder) + "/" + name + ".png").c_str(), 0);
    FreeImage_Unload(image);
  }
};

void expect_colour(Rgb c, int r, int g, int b, const char* where) {
  EXPECT_NEAR(c.r, r, 12) << where;
  EXPECT_NEAR(c.g, g, 12) << where;
  EXPECT_NEAR(c.b, b, 12) << where;
}

TEST_F(Rendering, TexturedCubeShowsItsTextureInTheMiddleAndClearColourAround) {
  start();
  ASSERT_TRUE(write_image(data->path() + "red.png", 64, 64, 24, 230, 40, 20));
  int red = loadTexture(engine, "red", GL_REPEAT);
  ASSERT_GT(red, 0);
  cube("box", 0, 6);
  command(0, "texture", static_cast<float>(red));
  command(0, "rotation", 25, 35, 0);
  draw_frames(1);
  keep_picture("textured_cube");
  expect_colour(presented(160, 120), 230, 40, 20, "centre");
  for (auto [x, y] : {std::pair{2, 2}, {317, 2}, {2, 237}, {317, 237}}) expect_colour(presented(x, y), 0, 0, 0, "corner");
  EXPECT_EQ(engine->scene.objects[0]->visible, 1);
  EXPECT_EQ(engine->scene.objects[0]->dirty, 0);  // cleared after the swap
}

TEST_F(Rendering, LitObjectTakesTheLightUnlitKeepsItsColour) {
  start();
  cObject* lit = cube("lit", -1.6f, 6);
  cube("plain", 1.6f, 6);
  command(0, "lighted", 1);
  // One GL light, red, at the eye. With no light element in use a lit object
  // leaves the lighting switch as it finds it: on, here.
  const float red[4] = {1, 0, 0, 1}, none[4] = {0, 0, 0, 1}, eye[4] = {0, 0, 1, 0};
  glLightfv(GL_LIGHT0, GL_DIFFUSE, red);
  glLightfv(GL_LIGHT0, GL_AMBIENT, none);
  glLightfv(GL_LIGHT0, GL_SPECULAR, none);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glLightfv(GL_LIGHT0, GL_POSITION, eye);
  glEnable(GL_LIGHT0);
  glEnable(GL_LIGHTING);
  render_scene_pass();
  EXPECT_EQ(lit->unlit, 0);
  Rgb left = drawn(160 - 60, 120), right = drawn(160 + 60, 120);
  EXPECT_GT(left.r, 100);
  EXPECT_LT(left.g, 20);  // only the red light reaches it
  expect_colour(right, 255, 255, 255, "unlit");
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));  // the unlit object switched it off
  glDisable(GL_LIGHT0);
}

TEST_F(Rendering, TransparentGroupsDrawOnlyInTheBlendedPassOfABlendedObject) {
  start();
  cObject* glass = cube("glass", 0, 6);
  command(0, "blend", 0.5f);
  ASSERT_EQ(glass->blended, 1);
  ASSERT_EQ(glass->parts[0].groups[0].transparent, 1);

  resetFrameTriangles(engine);
  glass->dirty = 1;
  EXPECT_EQ(glass->draw(0), 1);
  EXPECT_EQ(frameTriangles(engine), 0);
  EXPECT_EQ(glass->draw(1), 1);
  EXPECT_EQ(frameTriangles(engine), 12);

  render_scene_pass();
  Rgb seen = drawn(160, 120);
  EXPECT_NEAR(seen.r, 128, 16);  // half of white over black
  EXPECT_NEAR(seen.b, 128, 16);

  command(0, "alpha", 0);  // not blended: the scene pass skips pass 1
  render_scene_pass();
  expect_colour(drawn(160, 120), 0, 0, 0, "not blended");
}

TEST_F(Rendering, GroupsOfAlphaZeroDrawNothing) {
  start();
  cObject* ghost = cube("ghost", 0, 6);
  command(0, "blend", 0);
  resetFrameTriangles(engine);
  ghost->dirty = 1;
  EXPECT_EQ(ghost->draw(0), 1);
  EXPECT_EQ(ghost->draw(1), 1);  // set up, but no group drawn
  EXPECT_EQ(frameTriangles(engine), 0);
  render_scene_pass();
  expect_colour(drawn(160, 120), 0, 0, 0, "ghost");
}

TEST_F(Rendering, EyeSpaceObjectKeepsItsScreenPlaceWhenTheCameraMoves) {
  start();
  cube("fixed", 0, 6);
  cube("world", 0, 6);
  command(0, "fixed", 2);
  command(0, "matcolg", 0, 0, 0);  // fixed one magenta, world one white
  command(1, "position", 0, 0, 20);  // behind the fixed one
  draw_frames(1);
  expect_colour(presented(160, 120), 255, 0, 255, "before");

  engine->view.cam_pos[0] = 4;
  engine->view.cam_rot[1] = 30;
  mark_objects_dirty(engine);
  draw_frames(1);
  keep_picture("fixed_mode");
  expect_colour(presented(160, 120), 255, 0, 255, "after the camera moved");
  command(0, "active", 0);
  draw_frames(1);
  expect_colour(presented(160, 120), 0, 0, 0, "the world object moved away");
}

TEST_F(Rendering, ObjectOutsideTheFrustumIsNotDrawnUnlessTheTestIsOff) {
  start();
  cObject* behind = cube("behind", 0, -10);  // stored z +10: behind the camera
  resetFrameTriangles(engine);
  draw_frames(1);
  EXPECT_EQ(behind->visible, 0);
  EXPECT_EQ(frameTriangles(engine), 0);

  command(0, "test", 0);
  command(0, "update");
  resetFrameTriangles(engine);
  draw_frames(1);
  EXPECT_EQ(behind->visible, 1);
  EXPECT_EQ(behind->parts[0].visible, 1);
  EXPECT_EQ(frameTriangles(engine), 12);

  // Off to the side: the object box passes, the planes are in object space.
  cObject* side = cube("side", 40, 6);
  draw_frames(1);
  EXPECT_EQ(side->visible, 0);
  command(1, "position", 1, 0, 6);
  draw_frames(1);
  EXPECT_EQ(side->visible, 1);
}

TEST_F(Rendering, GlowMaskShowsLightmapSourcesAndBlackElsewhere) {
  start();
  ASSERT_TRUE(write_image(data->path() + "green.png", 64, 64, 24, 0, 255, 0));
  int green = loadTexture(engine, "green", GL_REPEAT);
  cObject* source = cube("source", -1.6f, 6);
  cObject* plain = cube("plain", 1.6f, 6);
  command(0, "deftex", static_cast<float>(green), 2);
  glClearColor(0.5f, 0.5f, 0.5f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  EXPECT_EQ(source->drawGlowMask(), 1);
  EXPECT_EQ(plain->drawGlowMask(), 1);
  glFinish();
  expect_colour(drawn(100, 120), 0, 255, 0, "glow source");
  expect_colour(drawn(220, 120), 0, 0, 0, "no source");
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
  GLint depth = 0;
  glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
  EXPECT_EQ(depth, 1);
}

}  // namespace
