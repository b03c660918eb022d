// Render-to-texture targets: the flip-book and the scrolling against engine time
// set by hand, the command chain (an unmatched name accepted), the target
// table, the renders' period, field of view and restored state, and a scene
// rendered into a texture slot seen on an object in the presented frame.
#include <FreeImage.h>

#include <string>
#include <vector>

#include "core/view.h"
#include "effects/render_target.h"
#include "platform/gl_api.h"
#include "resources/texture_manager.h"
#include "script/command_ring.h"
#include "tests/effects/surface_scene.h"
#include "tests/resources/image_files.h"

namespace {

struct RenderTarget : SurfaceScene {
  cTexgfx* t = nullptr;
  // A 4 x 4 square facing the camera, white, textures from 0 to 1, culling
  // and the frustum test off, active, at script z = depth.
  cObject* square(int slot, float depth, float r = 1, float g = 1, float b = 1) {
    cObject* object = grid(slot, 2, 4.0f);
    MeshPart& part = object->parts[0];
    // Stand the grid up: its z becomes y.
    for (int k = 0; k < 4; ++k) {
      part.positions[3 * k + 1] = part.positions[3 * k + 2];
      part.positions[3 * k + 2] = 0.0f;
    }
    object->refreshBuffers();
    send(object_class, slot, "diffuse", r, g, b);
    send(object_class, slot, "position", 0, 0, depth);
    send(object_class, slot, "cull", 2);
    send(object_class, slot, "active", 1);
    return object;
  }
  cTexgfx* make(float object) {
    int slot = verb(CMD_NEW, "cTexgfx", object);
    EXPECT_GE(slot, 0);
    t = engine->scene.texgfxs[slot];
    return t;
  }
  void command(const char* name, float a = 0, float b = 0, float c = 0) { send(texgfx_class, 0, name, a, b, c); }
  // A solid 64 x 64 image loaded without mipmaps; its slot.
  int image(const char* name, uint8_t r, uint8_t g, uint8_t b) {
    EXPECT_TRUE(write_image(data->path() + name + ".png", 64, 64, 24, r, g, b));
    setTextureFilter(engine, 1);
    return loadTexture(engine, name, GL_REPEAT);
  }
};

TEST_F(RenderTarget, DefaultsAndTheObjectNumberIsItsLowByte) {
  make(300);
  EXPECT_EQ(t->object, 44);
  EXPECT_EQ(t->target, 0);
  EXPECT_FALSE(t->active || t->changing || t->shiftOn || t->cameraSet);
  EXPECT_EQ(t->changePeriod, 10);
  EXPECT_EQ(t->shiftPeriod, 10);
  EXPECT_EQ(t->renderPeriod, 10);
  EXPECT_EQ(t->fov, -1);
  EXPECT_EQ(t->nextChange, engine->pacing.now + 10);
  EXPECT_EQ(t->nextRender, engine->pacing.now + 10);
  make(-1);
  EXPECT_EQ(t->object, 255);
  EXPECT_EQ(verb(CMD_STATUS, "cTextgfx", 1), 0);
  EXPECT_EQ(verb(CMD_DELETE, "cTexgfx", 1), 1);
  EXPECT_EQ(engine->scene.texgfxs.count, 1);
}

TEST_F(RenderTarget, CommandsInOrderAndAnUnmatchedNameIsAccepted) {
  square(0, 6);
  make(0);
  command("object", 0, 0, 0);
  command("size", 5);
  command("position", 1, 2, 3);
  EXPECT_TRUE(t->cameraSet);
  EXPECT_FLOAT_EQ(t->position[2], 3.0f);  // not negated
  command("angle", 10, 20, 30);
  EXPECT_FLOAT_EQ(t->angle[1], 20.0f);
  command("reflect", 100, 0, 60);
  EXPECT_EQ(t->renderPeriod, 100);
  EXPECT_EQ(t->fov, 60);
  command("reflect", 70000, 0, 45);  // the period is cut to 16 bits
  EXPECT_EQ(t->renderPeriod, 70000 - 65536);
  command("target", 1003);
  EXPECT_EQ(t->target, has_extension("GL_ARB_texture_cube_map") ? 1003 : 1);

  // Matched by the keyword anywhere in the name; a name matching none changes nothing.
  command("xchangex", 250);
  EXPECT_EQ(t->changePeriod, 250);
  int32_t result = -1;
  EXPECT_EQ(dispatch_command(CommandContext{engine, engine_classes()}, CMD_TEXGFX, "misspelt",
                             CommandArgs{0, 1, 2, 3}, &result),
            0);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(t->changePeriod, 250);
  for (int n = 0; n < 205; ++n) command("texture", float(n));
  EXPECT_EQ(t->textureCount, 199);  // later entries are ignored
  EXPECT_EQ(t->textures[198], 198);
}

TEST_F(RenderTarget, FlipBookShowsFiveSixSevenEvery500ms) {
  cObject* object = square(0, 6);
  make(0);
  uint32_t created = engine->pacing.now;
  command("texture", 5);
  command("texture", 6);
  command("texture", 7);
  command("change", 500);
  command("active", 1);
  int16_t& base = object->parts[0].groups[0].baseTexture;
  engine->pacing.now = created + 10;
  updateRenderTargets(engine);
  EXPECT_EQ(base, 0) << "strictly after the first 10 ms";
  std::vector<int> shown;
  for (uint32_t t_ms = created + 11; t_ms <= created + 2020; ++t_ms) {
    engine->pacing.now = t_ms;
    int16_t before = base;
    updateRenderTargets(engine);
    if (base != before || t_ms == created + 11) shown.push_back(base);
  }
  // Each flip is due strictly after its time: 11, 512, 1013, 1514, 2015.
  EXPECT_EQ(shown, (std::vector<int>{5, 6, 7, 5, 6}));
  EXPECT_EQ(t->current, 2);

  // Another target layer: the flip-book writes that field instead.
  command("target", 2);
  if (t->target == 2) {
    engine->pacing.now = t->nextChange + 1;
    updateRenderTargets(engine);
    EXPECT_EQ(object->parts[0].groups[0].lightmapTexture, 7);
  }
  // An inactive object suspends it; a missing group skips it.
  send(object_class, 0, "active", 0);
  engine->pacing.now = t->nextChange + 1;
  updateRenderTargets(engine);
  EXPECT_EQ(t->current, t->target == 2 ? 0 : 2);
  send(object_class, 0, "active", 1);
  command("object", 0, 0, 5);
  engine->pacing.now = t->nextChange + 1;
  updateRenderTargets(engine);
}

TEST_F(RenderTarget, ShiftScrollsEveryCoordinateEvery100msAndReachesTheGpu) {
  cObject* object = square(0, 6);
  make(0);
  command("shift", 0.01f, 0, 100);
  command("active", 1);
  std::vector<float> start = object->parts[0].texCoords;
  engine->pacing.now = t->nextShift + 1;
  updateRenderTargets(engine);
  EXPECT_EQ(object->buffersStale, 1);
  for (int n = 0; n < 100; ++n) {
    engine->pacing.now += 1;
    updateRenderTargets(engine);
  }
  EXPECT_FLOAT_EQ(object->parts[0].texCoords[0], start[0] + 0.01f) << "due strictly after 100 ms";
  engine->pacing.now += 1;
  updateRenderTargets(engine);
  for (size_t k = 0; k < start.size(); k += 2) {
    EXPECT_FLOAT_EQ(object->parts[0].texCoords[k], start[k] + 0.02f) << k;
    EXPECT_FLOAT_EQ(object->parts[0].texCoords[k + 1], start[k + 1]) << k;
  }
  // A part number outside the object: nothing.
  command("object", 0, 3, 0);
  engine->pacing.now += 200;
  updateRenderTargets(engine);
  EXPECT_FLOAT_EQ(object->parts[0].texCoords[0], start[0] + 0.02f);
}

TEST_F(RenderTarget, ScrolledCoordinatesAreSeenInTheNextFrame) {
  // Left half red, right half green.
  FIBITMAP* halves = FreeImage_Allocate(64, 64, 24);
  ASSERT_NE(halves, nullptr);
  for (int y = 0; y < 64; ++y) {
    BYTE* row = FreeImage_GetScanLine(halves, y);
    for (int x = 0; x < 64; ++x) {
      row[3 * x + FI_RGBA_RED] = x < 32 ? 255 : 0;
      row[3 * x + FI_RGBA_GREEN] = x < 32 ? 0 : 255;
      row[3 * x + FI_RGBA_BLUE] = 0;
    }
  }
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, halves, (data->path() + "halves.png").c_str(), 0));
  FreeImage_Unload(halves);
  setTextureFilter(engine, 1);
  int slot = loadTexture(engine, "halves", GL_REPEAT);
  ASSERT_GT(slot, 0);
  cObject* screen = square(0, 6);
  screen->parts[0].groups[0].baseTexture = static_cast<int16_t>(slot);
  draw_frames(1);
  Rgb left = presented(160 - 50, 120);
  EXPECT_GT(left.r, 200);
  EXPECT_LT(left.g, 40);

  make(0);
  command("shift", 0.5f, 0, 30000);
  command("active", 1);
  t->nextShift = 0;
  draw_frames(1);
  left = presented(160 - 50, 120);
  EXPECT_LT(left.r, 40) << "half a texture further: the green half";
  EXPECT_GT(left.g, 200);
}

TEST_F(RenderTarget, Target1003RendersTheSceneIntoSlotThreeSeenOnTheObject) {
  image("one", 9, 9, 9);
  image("two", 9, 9, 9);
  int green = image("green", 0, 255, 0);
  ASSERT_EQ(green, 3);
  cObject* screen = square(0, 6);
  screen->parts[0].groups[0].baseTexture = static_cast<int16_t>(green);
  square(1, -10, 1, 0, 0);  // red, behind the camera
  make(0);
  command("target", 1003);
  ASSERT_EQ(t->target, 1003) << "cube maps are needed for a slot target";
  command("angle", 0, 180, 0);  // the element's camera looks the other way
  command("active", 1);
  t->nextRender = 0;

  draw_frames(1);  // the screen's first visibility test: not rendered yet
  Rgb before = presented(160, 120);
  EXPECT_LT(before.r, 40);
  EXPECT_GT(before.g, 200);

  float cam_pos[3] = {engine->view.cam_pos[0], engine->view.cam_pos[1], engine->view.cam_pos[2]};
  float fov = engine->view.fov;
  int viewport[4] = {engine->view.viewport[0], engine->view.viewport[1], engine->view.viewport[2], engine->view.viewport[3]};
  draw_frames(1);
  Rgb after = presented(160, 120);
  EXPECT_GT(after.r, 200) << "the red square, seen from the element's camera";
  EXPECT_LT(after.g, 40);
  // The texture's border shows the clear colour around it.
  Rgb edge = presented(160, 120 + 100);  // near the top of the square (fov 40)
  EXPECT_LT(edge.r + edge.g + edge.b, 60);
  EXPECT_EQ(engine->view.width, 320);
  EXPECT_EQ(engine->view.height, 240);
  EXPECT_EQ(engine->view.cam_pos[2], cam_pos[2]);
  EXPECT_EQ(engine->view.fov, fov);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(engine->view.viewport[i], viewport[i]);
  EXPECT_EQ(engine->view.target_pass, 0);
  EXPECT_EQ(engine->resources.textures[green].width, 64) << "the texture keeps its size";
}

TEST_F(RenderTarget, Target999RendersNothingAndItsFlipBookWritesTheBaseTexture) {
  int green = image("green", 0, 255, 0);
  int blue = image("blue", 0, 0, 255);
  cObject* screen = square(0, 6);
  screen->parts[0].groups[0].baseTexture = static_cast<int16_t>(green);
  square(1, -10, 1, 0, 0);
  make(0);
  command("target", 999);
  command("angle", 0, 180, 0);
  command("texture", float(blue));
  command("active", 1);
  t->nextRender = 0;
  t->nextChange = 0;
  draw_frames(3);
  EXPECT_EQ(screen->parts[0].groups[0].baseTexture, blue);
  Rgb seen = presented(160, 120);
  EXPECT_LT(seen.r, 40);
  EXPECT_GT(seen.b, 200);
  EXPECT_EQ(t->nextRender, 0u) << "no render ever ran";
}

TEST_F(RenderTarget, ReflectSetsThePeriodAndFovAndTheSceneFovComesBack) {
  int green = image("green", 0, 255, 0);
  cObject* screen = square(0, 6);
  screen->parts[0].groups[0].baseTexture = static_cast<int16_t>(green);
  screen->visible = screen->parts[0].visible = 1;
  make(0);
  command("reflect", 100, 0, 60);
  command("active", 1);
  set_projection(engine->view.near_clip, engine->view.far_clip, 45);
  engine->pacing.now = t->nextRender;
  t->renderFlat();
  EXPECT_EQ(t->nextRender, engine->pacing.now + 100);
  EXPECT_FLOAT_EQ(engine->view.fov, 45.0f);
  uint32_t due = t->nextRender;
  engine->pacing.now += 99;
  t->renderFlat();
  EXPECT_EQ(t->nextRender, due) << "not due yet";

  // A target whose slot is 0 renders nothing; nor does an invisible object.
  screen->parts[0].groups[0].baseTexture = 0;
  engine->pacing.now = due;
  t->renderFlat();
  EXPECT_EQ(t->nextRender, due);
  EXPECT_EQ(engine->resources.textures[0].width, 0);
  screen->parts[0].groups[0].baseTexture = static_cast<int16_t>(green);
  screen->visible = 0;
  t->renderFlat();
  EXPECT_EQ(t->nextRender, due);
  // Nor one whose object is gone.
  screen->visible = 1;
  command("object", 7, 0, 0);
  t->renderFlat();
  EXPECT_EQ(t->nextRender, due);
}

}  // namespace
