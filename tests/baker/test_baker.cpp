// The lightmap baker in a started engine: its commands, baking a small scene
// into lightmaps, finishing with and without files, the cache it rewrites, and
// what it frees.
#include <FreeImage.h>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "commands/dispatch.h"
#include "core/engine.h"
#include "lighting/lightmap_baker.h"
#include "lighting/lightmap_layout.h"
#include "mesh/object.h"
#include "resources/texture_manager.h"
#include "script/command_ring.h"
#include "tests/baker/bake_scene.h"
#include "tests/mesh/gltf_files.h"
#include "tests/support/gl_fixture.h"

namespace {

class Baker : public EngineTest {
 protected:
  void SetUp() override {
    // Smaller than the lightmaps: the baking does not depend on the window.
    window_width = 96;
    window_height = 64;
    // Hundreds of tiny renders, each read back at once: software rendering
    // in the calling thread avoids a hand-over per read on a busy machine.
    setenv("LP_NUM_THREADS", "0", 0);
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
  int32_t radio(const char* name, float a0 = 0, float a1 = 0) { return run(CMD_RADIO, name, a0, a1); }
  int load(const char* name, float x, float y, float z, bool lighted) {
    int32_t slot = run(CMD_LOAD, name);
    EXPECT_GE(slot, 0) << name;
    run(CMD_OBJECT, "position", slot, x, y, z);
    run(CMD_OBJECT, "diffuse", slot, 1, 1, 1);
    if (lighted) run(CMD_OBJECT, "lighted", slot, 1);
    run(CMD_OBJECT, "active", slot, 1);
    return slot;
  }
  // floor 0, box 1, lamp 2
  void make_scene() {
    write_bake_meshes(*data);
    ASSERT_TRUE(write_lambert(*data));
    load("floor", 0, 0, 0, true);
    load("box", 4, 1.5f, 0, true);
    load("lamp", -5, 4, 0, false);
  }
  void bake(int lmsize = 128, int scrsize = 32) {
    ASSERT_EQ(run(CMD_NEW, "cRad"), 1);
    radio("lmsize", static_cast<float>(lmsize));
    radio("scrsize", static_cast<float>(scrsize));
    radio("calc");
  }
  MaterialGroup& group(int object, int g = 0) { return engine->scene.objects[object]->parts[0].groups[g]; }
  bool exists(const std::string& name) { return std::filesystem::exists(data->path() + name); }
  // Lightmap pixel (from the bottom row) at the centre of the floor triangle
  // nearest to (x, z).
  void floor_cell(float x, float z, int* s, int* t) {
    const MeshPart& part = engine->scene.objects[0]->parts[0];
    const MaterialGroup& g = part.groups[0];
    float best = 1e9f;
    for (int tri = 0; tri < g.triangleCount; ++tri) {
      float cx = 0, cz = 0;
      for (int c = 0; c < 3; ++c) {
        cx += part.positions[g.indices[tri * 3 + c] * 3] / 3;
        cz += part.positions[g.indices[tri * 3 + c] * 3 + 2] / 3;
      }
      float d = (cx - x) * (cx - x) + (cz - z) * (cz - z);
      if (d >= best) continue;
      best = d;
      const int32_t* k = &g.lightmapCoords[tri * 12];
      *s = (k[0] + k[4] + k[8]) / 3;
      *t = (k[1] + k[5] + k[9]) / 3;
    }
  }
};

TEST_F(Baker, CommandsReachTheBakerAndItsObjects) {
  // Without a baker every command is ignored and succeeds.
  EXPECT_EQ(radio("lmsize", 64), 0);
  EXPECT_EQ(radio("calc"), 0);
  write_bake_meshes(*data);
  load("floor", 0, 0, 0, true);
  load("box", 0, 0, 0, true);
  engine->scene.objects[1]->bakeAngle = 33;

  ASSERT_EQ(run(CMD_NEW, "cRad"), 1);
  cRadio* r = engine->scene.radio;
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->lmsize, 256);
  EXPECT_EQ(r->scrsize, 64);
  EXPECT_EQ(r->lambert, 0);  // no "lambert" image here: no weighting
  EXPECT_EQ(engine->scene.objects[1]->bakeAngle, 120);
  EXPECT_FALSE(glIsEnabled(GL_LIGHTING));

  radio("litpower", 2.5f);
  radio("lmsize", 512.9f);
  radio("scrsize", 16);
  radio("darklevel", 7);
  EXPECT_EQ(r->darklevel, 7);
  radio("lowshadow", 3);
  EXPECT_EQ(r->darklevel, 3);
  radio("savemode", 0.5f);  // truncates to 0
  EXPECT_FALSE(r->savemode);
  EXPECT_FLOAT_EQ(r->litpower, 2.5f);
  EXPECT_EQ(r->lmsize, 512);

  radio("lmoangle", 1, 45);
  radio("lmoangle", 7, 45);  // no object 7
  EXPECT_EQ(engine->scene.objects[1]->bakeAngle, 45);
  EXPECT_EQ(engine->scene.objects[0]->bakeAngle, 120);
  radio("lmangle", 90);
  EXPECT_EQ(engine->scene.objects[0]->bakeAngle, 90);
  EXPECT_EQ(engine->scene.objects[1]->bakeAngle, 90);
  radio("polyodiv", 0, 3);
  EXPECT_EQ(engine->scene.objects[0]->bakeLevel, 3);
  EXPECT_EQ(engine->scene.objects[1]->bakeLevel, 1);
  radio("polydiv", 2);
  EXPECT_EQ(engine->scene.objects[1]->bakeLevel, 2);
  int32_t result = -7;
  EXPECT_EQ(dispatch_command(CommandContext{engine, engine_classes()}, CMD_RADIO, "noSuchThing", CommandArgs{},
                             &result),
            1);

  // A later object has the defaults; a new baker replaces this one.
  int later = load("box", 0, 0, 0, true);
  EXPECT_EQ(engine->scene.objects[later]->bakeAngle, 120);
  EXPECT_EQ(engine->scene.objects[later]->bakeLevel, 1);
  ASSERT_EQ(run(CMD_NEW, "cRad"), 1);
  EXPECT_EQ(engine->scene.radio->lmsize, 256);
  EXPECT_FLOAT_EQ(engine->scene.radio->litpower, 4.0f);
  EXPECT_EQ(run(CMD_DELETE, "cRadio"), 1);
  EXPECT_EQ(engine->scene.radio, nullptr);
  EXPECT_EQ(run(CMD_DELETE, "cRadio"), 1);
}

TEST_F(Baker, LightNearTheLampAndShadowUnderTheBox) {
  make_scene();
  engine->window.multisample = 1;
  float camera[3] = {1, 2, 3};
  for (int a = 0; a < 3; ++a) engine->view.cam_pos[a] = camera[a];
  int16_t surface = group(0).baseTexture;
  bake();
  cRadio* r = engine->scene.radio;
  ASSERT_NE(r->lambert, 0);

  // Baking state: the camera overwritten, fog and multisampling off, the
  // lightmaps in the base slots, drawn through the coordinates laid out and
  // moved into their cells.
  EXPECT_EQ(engine->window.multisample, 0);
  EXPECT_EQ(engine->fog.fog_on, 0);
  EXPECT_NE(engine->view.cam_pos[0], 1.0f);
  MaterialGroup& floor = group(0);
  EXPECT_TRUE(isBakerTexture(engine, floor.baseTexture));
  EXPECT_EQ(floor.lightmapTexture, surface);
  std::vector<int32_t> inset = layoutLightmap(floor.triangleCount, 128).coords;
  insetLightmapCoords(&inset);
  EXPECT_EQ(floor.lightmapCoords, inset);
  EXPECT_TRUE(group(2).lightmapCoords.empty()) << "unlit objects are not baked";
  int baked_slot = floor.baseTexture;

  ASSERT_EQ(run(CMD_DELETE, "cRadio"), 1);
  EXPECT_EQ(floor.baseTexture, surface);
  EXPECT_EQ(floor.lightmapTexture, baked_slot);
  EXPECT_EQ(engine->window.multisample, 1);
  EXPECT_EQ(engine->fog.fog_on, 0);
  for (int a = 0; a < 3; ++a) EXPECT_EQ(engine->view.cam_pos[a], camera[a]);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], window_width);

  EXPECT_EQ(floor.lightmapCoords, inset) << "kept as they were drawn";

  // The image beside the mesh, read back from the file.
  RunResult png;
  ASSERT_TRUE(read_png_file(data->path() + "floor_00_lite.png", &png));
  EXPECT_EQ(png.width, 128);
  EXPECT_EQ(png.height, 128);
  ASSERT_TRUE(exists("box_00_lite.png"));
  EXPECT_FALSE(exists("lamp_00_lite.png"));
  int s = 0, t = 0, red = 0, green = 0, blue = 0;
  floor_cell(-5, 1, &s, &t);
  png.pixel(s, 127 - t, &red, &green, &blue);
  int lit = red + green + blue;
  floor_cell(4, 1, &s, &t);
  png.pixel(s, 127 - t, &red, &green, &blue);
  int shadowed = red + green + blue;
  floor_cell(8, -8, &s, &t);
  png.pixel(s, 127 - t, &red, &green, &blue);
  int far_corner = red + green + blue;
  EXPECT_GT(lit, 150) << "floor under the lamp";
  EXPECT_LT(shadowed, lit / 3) << "floor under the box";
  EXPECT_LT(far_corner, lit) << "floor far from the lamp";
}

TEST_F(Baker, SavemodeOffWritesNothingAndTheCacheKeepsTheLoadedMesh) {
  make_scene();
  // Edited before baking: the cache must still hold the floor as loaded.
  std::vector<float> loaded = engine->scene.objects[0]->parts[0].positions;
  run(CMD_OBJECT, "x_value", 0, 0, -9);
  bake(64, 16);
  radio("savemode", 0);
  ASSERT_EQ(run(CMD_DELETE, "cRadio"), 1);
  EXPECT_FALSE(exists("floor_00_lite.png"));
  EXPECT_FALSE(exists("floor.gfx"));
  EXPECT_FALSE(group(0).lightmapCoords.empty());
  EXPECT_NE(group(0).lightmapTexture, 0);

  // Again with files: the cache now holds the coordinates and the loaded mesh.
  bake(64, 16);
  ASSERT_EQ(run(CMD_DELETE, "cRadio"), 1);
  ASSERT_TRUE(exists("floor.gfx"));
  std::vector<int32_t> coords = group(0).lightmapCoords;
  cObject reloaded(engine);
  ASSERT_TRUE(reloaded.load("floor"));
  EXPECT_EQ(reloaded.parts[0].groups[0].lightmapCoords, coords);
  EXPECT_EQ(reloaded.parts[0].positions, loaded);
  EXPECT_EQ(engine->scene.objects[0]->parts[0].positions[0], -9.0f);

  // The second calc started from the first one's lightmap and replaced it;
  // finishing without calc leaves everything as it is.
  int16_t base = group(0).baseTexture, light = group(0).lightmapTexture;
  ASSERT_EQ(run(CMD_NEW, "cRad"), 1);
  ASSERT_EQ(run(CMD_DELETE, "cRadio"), 1);
  EXPECT_EQ(group(0).baseTexture, base);
  EXPECT_EQ(group(0).lightmapTexture, light);
  EXPECT_EQ(group(0).lightmapCoords, coords);
}

// The floor as a .glb whose colour map is embedded: 64 x 64, red above green.
std::string floor_glb() {
  const std::string png = two_colour_png({220, 0, 0}, {0, 180, 0});

  // floor_obj's grid: 5 x 5 vertices 4 apart, quads counter-clockwise from above.
  std::vector<float> positions, coords;
  for (int z = -8; z <= 8; z += 4)
    for (int x = -8; x <= 8; x += 4) {
      positions.insert(positions.end(), {float(x), 0, float(z)});
      coords.insert(coords.end(), {(x + 8) / 16.0f, 1 - (z + 8) / 16.0f});  // glTF counts rows from the top
    }
  std::vector<uint32_t> triangles;
  for (uint32_t row = 0; row < 4; ++row)
    for (uint32_t column = 0; column < 4; ++column) {
      uint32_t k = row * 5 + column;
      triangles.insert(triangles.end(), {k, k + 5, k + 6, k, k + 6, k + 1});
    }
  GltfBuilder b;
  GltfBuilder::Primitive p;
  p.positions = b.floats(positions, 3);
  p.coords = b.floats(coords, 2);
  p.indices = b.indices(triangles);
  p.material = b.material({1, 1, 1, 1}, "OPAQUE", {0, 0, 0}, b.embedded_texture(png));
  b.scene({b.node(b.mesh({p}, "floor"))});
  return b.glb();
}

TEST_F(Baker, TheCacheOfAGltfMeshCarriesItsEmbeddedImage) {
  data->write("floor.glb", floor_glb());
  data->write("box.obj", cube_obj(1.0f));
  data->write("lamp.obj", cube_obj(1.5f));
  ASSERT_TRUE(write_lambert(*data));
  load("floor", 0, 0, 0, true);
  load("box", 4, 1.5f, 0, true);
  load("lamp", -5, 4, 0, false);
  ASSERT_EQ(engine->resources.textures[group(0).baseTexture].name, std::string("floor_image0"));
  std::vector<float> positions = engine->scene.objects[0]->parts[0].positions;
  bake(64, 16);
  ASSERT_EQ(run(CMD_DELETE, "cRadio"), 1);
  ASSERT_TRUE(exists("floor.gfx"));
  ASSERT_TRUE(exists("floor_image0.png"));
  EXPECT_FALSE(exists("box_image0.png"));  // file textures are not copied
  std::vector<int32_t> coords = group(0).lightmapCoords;

  // The next run finds the cache first, and the image by its name.
  start();
  int slot = run(CMD_LOAD, "floor");
  ASSERT_GE(slot, 0);
  const MeshPart& part = engine->scene.objects[slot]->parts[0];
  EXPECT_EQ(part.positions, positions);
  EXPECT_EQ(part.groups[0].lightmapCoords, coords);
  int texture = part.groups[0].baseTexture;
  ASSERT_GT(texture, 0);
  EXPECT_STREQ(engine->resources.textures[texture].name, "floor_image0");
  int width = 0, height = 0, bpp = 0;
  std::unique_ptr<uint8_t[]> pixels = loadImagePixels(engine, "floor_image0", &width, &height, &bpp);
  ASSERT_TRUE(pixels);
  ASSERT_EQ(bpp, 3);
  const uint8_t* bottom = &pixels[0];
  const uint8_t* top = &pixels[(static_cast<size_t>(height) - 1) * width * 3];
  EXPECT_NEAR(top[0], 220, 8);
  EXPECT_NEAR(top[1], 0, 8);
  EXPECT_NEAR(bottom[0], 0, 8);
  EXPECT_NEAR(bottom[1], 180, 8);
}

// A second calc before finishing bakes again from what the first installed:
// the views see its lightmaps, and the colour map stays aside until the end.
TEST_F(Baker, ASecondCalcBakesFromTheFirstsLightmaps) {
  make_scene();
  ASSERT_TRUE(write_lambert(*data, 32, "stone"));
  const int stone = loadTexture(engine, "stone", GL_REPEAT);
  run(CMD_OBJECT, "texture", 0, static_cast<float>(stone));
  ASSERT_EQ(group(0).baseTexture, stone);
  bake(64, 16);
  const int first = group(0).baseTexture;
  ASSERT_TRUE(isBakerTexture(engine, first));
  EXPECT_EQ(group(0).lightmapTexture, stone);
  radio("calc");
  EXPECT_TRUE(isBakerTexture(engine, group(0).baseTexture)) << "the second pass's lightmap";
  EXPECT_EQ(group(0).lightmapTexture, stone) << "the colour map kept aside";
  ASSERT_EQ(run(CMD_DELETE, "cRadio"), 1);
  EXPECT_EQ(group(0).baseTexture, stone);
  EXPECT_TRUE(isBakerTexture(engine, group(0).lightmapTexture));
  EXPECT_FALSE(engine->resources.textures[first].inUse && group(0).lightmapTexture != first)
      << "the first pass's lightmap is freed once replaced";
}

TEST_F(Baker, TexresetFreesOnlyTheBakersLightmaps) {
  make_scene();
  bake(64, 16);
  ASSERT_EQ(run(CMD_DELETE, "cRadio"), 1);
  int baked = group(0).lightmapTexture;
  ASSERT_TRUE(isBakerTexture(engine, baked));
  // A named texture in the box's lightmap layer stays loaded.
  ASSERT_TRUE(write_lambert(*data, 32, "glowing"));
  int named = loadTexture(engine, "glowing", GL_CLAMP_TO_EDGE);
  ASSERT_GT(named, 0);
  group(1).lightmapTexture = static_cast<int16_t>(named);

  ASSERT_EQ(run(CMD_NEW, "cRad"), 1);
  radio("texreset");
  EXPECT_EQ(group(0).lightmapTexture, 0);
  EXPECT_TRUE(group(0).lightmapCoords.empty());
  EXPECT_EQ(group(1).lightmapTexture, 0);
  EXPECT_FALSE(engine->resources.textures[baked].inUse);
  EXPECT_TRUE(engine->resources.textures[named].inUse);
  ASSERT_EQ(run(CMD_DELETE, "cRadio"), 1);
}

TEST_F(Baker, CleanupFinishesTheBaker) {
  make_scene();
  bake(64, 16);
  run(CMD_SCENE, "cleanup");
  EXPECT_EQ(engine->scene.radio, nullptr);
  EXPECT_TRUE(exists("floor_00_lite.png"));
  EXPECT_TRUE(exists("floor.gfx"));
}

}  // namespace
