// The texture table: image files to power-of-two pixel buffers (no GL), then
// loading, reuse, material marks and filter parameters in a real context.
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstring>

#include "core/engine.h"
#include "mesh/object.h"
#include "platform/gl_api.h"
#include "resources/render_buffers.h"
#include "resources/texture_manager.h"
#include "tests/resources/image_files.h"
#include "tests/support/e2e.h"
#include "tests/support/gl_fixture.h"

namespace {

// An engine record without a window: enough for the file side of textures.
struct ImageFiles : ::testing::Test {
  Engine engine;
  DataFolder data;
  void SetUp() override { std::snprintf(engine.paths.data_path, sizeof engine.paths.data_path, "%s", data.path().c_str()); }
  std::string file(const std::string& name) const { return data.path() + name; }

  struct Loaded {
    bool ok;
    int width, height, bpp;
    std::unique_ptr<uint8_t[]> pixels;
  };
  Loaded load(const char* name) {
    Loaded l{false, 0, 0, 0, nullptr};
    l.pixels = loadImagePixels(&engine, name, &l.width, &l.height, &l.bpp);
    l.ok = l.pixels != nullptr;
    return l;
  }
};

TEST(PowerOfTwo, FloorsIntoTheRangeOf64To4096) {
  EXPECT_EQ(floorPowerOfTwo(0), 64);
  EXPECT_EQ(floorPowerOfTwo(32), 64);
  EXPECT_EQ(floorPowerOfTwo(100), 64);
  EXPECT_EQ(floorPowerOfTwo(128), 128);
  EXPECT_EQ(floorPowerOfTwo(300), 256);
  EXPECT_EQ(floorPowerOfTwo(4095), 2048);
  EXPECT_EQ(floorPowerOfTwo(8000), 4096);
}

TEST_F(ImageFiles, SizesBecomePowersOfTwoEachWayAndTheCapApplies) {
  ASSERT_TRUE(write_image(file("tall.png"), 100, 300, 24, 10, 20, 30));
  ASSERT_TRUE(write_image(file("small.png"), 32, 32, 24, 10, 20, 30));
  ASSERT_TRUE(write_image(file("wide.png"), 8000, 2, 24, 10, 20, 30));

  Loaded tall = load("tall");
  ASSERT_TRUE(tall.ok);
  EXPECT_EQ(tall.width, 64);
  EXPECT_EQ(tall.height, 256);
  EXPECT_EQ(tall.bpp, 3);

  Loaded small = load("small");
  EXPECT_EQ(small.width, 64);
  EXPECT_EQ(small.height, 64);

  Loaded wide = load("wide");
  EXPECT_EQ(wide.width, 4096);
  EXPECT_EQ(wide.height, 64);

  engine.settings.max_texture_size = 128;
  Loaded capped = load("tall");
  EXPECT_EQ(capped.width, 64);
  EXPECT_EQ(capped.height, 128);
}

TEST_F(ImageFiles, PixelsComeOutRedGreenBlueWithAlphaLast) {
  ASSERT_TRUE(write_image(file("rgb.png"), 64, 64, 24, 200, 100, 50));
  ASSERT_TRUE(write_image(file("rgba.png"), 64, 64, 32, 200, 100, 50, 77));
  Loaded rgb = load("rgb");
  ASSERT_TRUE(rgb.ok);
  EXPECT_EQ(rgb.bpp, 3);
  size_t last = (64 * 64 - 1) * 3;
  EXPECT_EQ(rgb.pixels[last], 200);
  EXPECT_EQ(rgb.pixels[last + 1], 100);
  EXPECT_EQ(rgb.pixels[last + 2], 50);

  Loaded rgba = load("rgba");
  ASSERT_TRUE(rgba.ok);
  EXPECT_EQ(rgba.bpp, 4);
  EXPECT_EQ(rgba.pixels[0], 200);
  EXPECT_EQ(rgba.pixels[2], 50);
  EXPECT_EQ(rgba.pixels[3], 77);
}

TEST_F(ImageFiles, PngIsPreferredOverJpgAndJpgIsTheFallBack) {
  ASSERT_TRUE(write_image(file("both.png"), 64, 64, 24, 255, 0, 0));
  ASSERT_TRUE(write_image(file("both.jpg"), 64, 64, 24, 0, 0, 255, 255, FIF_JPEG));
  ASSERT_TRUE(write_image(file("only.jpg"), 64, 64, 24, 0, 0, 255, 255, FIF_JPEG));
  Loaded both = load("both");
  ASSERT_TRUE(both.ok);
  EXPECT_GT(both.pixels[0], 200);  // red: the PNG
  EXPECT_LT(both.pixels[2], 50);
  Loaded only = load("only");
  ASSERT_TRUE(only.ok);
  EXPECT_GT(only.pixels[2], 200);
  EXPECT_FALSE(load("absent").ok);
}

TEST_F(ImageFiles, OtherDepthsAreConvertedAndGarbageFails) {
  ASSERT_TRUE(write_image(file("grey16.png"), 64, 64, 16, 128, 0, 0));
  Loaded grey = load("grey16");
  ASSERT_TRUE(grey.ok);
  EXPECT_EQ(grey.bpp, 3);
  EXPECT_NEAR(grey.pixels[0], 128, 2);
  EXPECT_NEAR(grey.pixels[64 * 64 * 3 - 1], 128, 2);

  ASSERT_TRUE(write_image(file("grey8.png"), 64, 64, 8, 90, 0, 0));
  Loaded grey8 = load("grey8");
  ASSERT_TRUE(grey8.ok);
  EXPECT_EQ(grey8.bpp, 1);
  EXPECT_EQ(grey8.pixels[0], 90);

  data.write("junk.png", std::string("\x89PNG\r\n\x1a\n this is not an image", 30));
  EXPECT_FALSE(load("junk").ok);
  data.write("empty.jpg", "");
  EXPECT_FALSE(load("empty").ok);
}

TEST_F(ImageFiles, LoadKindFollowsTheProbeOrder) {
  data.write("m.obj", "v 0 0 0\n");
  data.write("m.png", "x");
  data.write("t.jpg", "x");
  data.write("p.vp", "x");
  data.write("f.fp", "x");
  data.write("c.3DS", "x");  // letter case does not matter
  // Music tracks come after everything else.
  data.write("m.ogg", "x");
  data.write("t.wav", "x");
  data.write("f.flac", "x");
  data.write("s.MP3", "x");
  EXPECT_EQ(classifyLoadFile(&engine, "s"), LoadKind::Music);
  EXPECT_EQ(classifyLoadFile(&engine, "m"), LoadKind::Mesh);
  EXPECT_EQ(classifyLoadFile(&engine, "c"), LoadKind::Mesh);
  EXPECT_EQ(classifyLoadFile(&engine, "t"), LoadKind::Texture);
  EXPECT_EQ(classifyLoadFile(&engine, "p"), LoadKind::VertexProgram);
  EXPECT_EQ(classifyLoadFile(&engine, "f"), LoadKind::FragmentProgram);
  EXPECT_EQ(classifyLoadFile(&engine, "nothing"), LoadKind::NotFound);
}

TEST(TextureFilters, SettingsNormaliseToTheSevenModes) {
  Engine engine;
  struct Case {
    int mode;
    uint8_t anisotropic, trilinear;
    int expected_mode, min, mag;
    bool mipmaps;
  } cases[] = {
      {0, 0, 0, 0, GL_NEAREST, GL_NEAREST, false},
      {1, 0, 0, 1, GL_LINEAR, GL_LINEAR, false},
      {1, 1, 0, 3, GL_LINEAR, 0, false},
      {2, 0, 0, 2, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR, true},
      {4, 0, 0, 2, GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR, true},
      {0, 0, 1, 5, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, true},
      {0, 1, 1, 6, GL_LINEAR_MIPMAP_LINEAR, 0, true},
  };
  for (const Case& c : cases) {
    engine.settings.tfilter = c.mode;
    engine.settings.anisotropic = c.anisotropic;
    engine.settings.trilinear = c.trilinear;
    engine.settings.anisotropy = 8;
    TextureFilter f = normaliseTextureFilter(&engine);
    SCOPED_TRACE(c.mode * 100 + c.anisotropic * 10 + c.trilinear);
    EXPECT_EQ(engine.settings.tfilter, c.expected_mode);
    EXPECT_EQ(f.min_filter, c.min);
    EXPECT_EQ(f.mag_filter, c.mag);
    EXPECT_EQ(f.mipmaps, c.mipmaps);
    if (c.expected_mode == 3) {
      EXPECT_FLOAT_EQ(f.anisotropy, 2.0f);
    }
    if (c.expected_mode == 6) {
      EXPECT_FLOAT_EQ(f.anisotropy, 8.0f);
    }
  }
  setTextureFilter(&engine, 9);
  EXPECT_EQ(engine.settings.tfilter, 2);
  EXPECT_EQ(engine.settings.anisotropic, 0);
  setTextureFilter(&engine, 6);
  EXPECT_EQ(engine.settings.anisotropic, 1);
  EXPECT_EQ(engine.settings.trilinear, 1);
}

// ---- in a real context ------------------------------------------------------

using Textures = EngineTest;

TEST_F(Textures, ANameLoadsOnceWhateverTheWrapAndNeverTakesSlotZero) {
  start();
  ASSERT_TRUE(write_image(data->path() + "brick.png", 64, 64, 24, 1, 2, 3));
  // No font in this folder: slot 0 is free but kept for the font, so the
  // first texture is not mistaken for "no texture".
  ASSERT_FALSE(engine->resources.textures[0].inUse);
  int slot = loadTexture(engine, "brick", GL_REPEAT);
  EXPECT_GE(slot, 1);
  EXPECT_EQ(loadTexture(engine, "brick", GL_CLAMP_TO_EDGE), slot);
  GLint wrap = 0;
  glBindTexture(GL_TEXTURE_2D, engine->resources.textures[slot].glName);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
  EXPECT_EQ(wrap, GL_REPEAT);
  EXPECT_STREQ(engine->resources.textures[slot].name, "brick");
  EXPECT_EQ(engine->resources.textures[slot].width, 64);

  EXPECT_EQ(loadTexture(engine, "missing", GL_REPEAT), 0);
  EXPECT_EQ(findFreeTextureSlot(engine), slot + 1);  // the failed load left its slot free

  // Freed (as cleanup frees everything), then loaded again: still not slot 0.
  freeTexture(engine, slot);
  EXPECT_FALSE(engine->resources.textures[slot].inUse);
  EXPECT_GE(loadTexture(engine, "brick", GL_REPEAT), 1);
}

TEST_F(Textures, FontNameTakesSlotZeroAndOnlyItsOwnerFreesIt) {
  start();
  ASSERT_TRUE(write_image(data->path() + "FONT.png", 64, 64, 32, 255, 255, 255));
  if (engine->resources.textures[0].inUse) releaseTextureSlot(engine, 0);
  EXPECT_EQ(loadTexture(engine, "FONT", GL_CLAMP), 0);
  EXPECT_TRUE(engine->resources.textures[0].inUse);
  freeTexture(engine, 0);  // "no texture": nothing to free
  EXPECT_TRUE(engine->resources.textures[0].inUse);
  releaseTextureSlot(engine, 0);
  EXPECT_FALSE(engine->resources.textures[0].inUse);
}

TEST_F(Textures, ThirtyTwoBitBaseTextureMarksGroupAndObject) {
  start();
  ASSERT_TRUE(write_image(data->path() + "glass.png", 64, 64, 32, 9, 9, 9, 128));
  ASSERT_TRUE(write_image(data->path() + "stone.png", 64, 64, 24, 9, 9, 9));
  cObject object(engine);
  object.parts.resize(1);
  object.partCount = 1;
  object.parts[0].groups.resize(2);
  object.parts[0].groupCount = 2;
  object.parts[0].groups[1].lightmapTexture = 7;

  loadMaterialTextures(&object, 0, 0, "stone");
  EXPECT_NE(object.parts[0].groups[0].baseTexture, 0);
  EXPECT_EQ(object.parts[0].groups[0].transparent, 0);
  EXPECT_EQ(object.blended, 0);

  loadMaterialTextures(&object, 0, 1, "glass");
  EXPECT_EQ(object.parts[0].groups[1].transparent, 1);
  EXPECT_EQ(object.parts[0].groups[1].lightmapTexture, 0);  // cleared first
  EXPECT_EQ(object.blended, 1);
  GLint wrap = 0;
  glBindTexture(GL_TEXTURE_2D, engine->resources.textures[object.parts[0].groups[1].baseTexture].glName);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
  EXPECT_EQ(wrap, GL_CLAMP_TO_EDGE);

  loadMaterialTextures(&object, 3, 0, "glass");  // no such part: ignored
}

// A material whose coordinates tile its image (a floor rewritten into a cache
// with its checker) repeats it; one within the image stays clamped.
TEST_F(Textures, MaterialTexturesRepeatWhereTheCoordinatesTile) {
  start();
  ASSERT_TRUE(write_image(data->path() + "tile.png", 64, 64, 24, 9, 9, 9));
  ASSERT_TRUE(write_image(data->path() + "once.png", 64, 64, 24, 9, 9, 9));
  cObject object(engine);
  object.parts.resize(2);
  object.partCount = 2;
  for (MeshPart& part : object.parts) {
    part.groups.resize(1);
    part.groupCount = 1;
  }
  object.parts[0].texCoords = {0, 0, 8, 0, 8, 8};
  object.parts[1].texCoords = {0, 0, 1, 0, 1, 1};
  auto wrap_of = [&](int part) {
    GLint wrap = 0;
    glBindTexture(GL_TEXTURE_2D, engine->resources.textures[object.parts[part].groups[0].baseTexture].glName);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    return wrap;
  };
  loadMaterialTextures(&object, 0, 0, "tile");
  loadMaterialTextures(&object, 1, 0, "once");
  EXPECT_EQ(wrap_of(0), GL_REPEAT);
  EXPECT_EQ(wrap_of(1), GL_CLAMP_TO_EDGE);
}

TEST_F(Textures, FilterModesEndInTheirGlParameters) {
  start();
  ASSERT_TRUE(write_image(data->path() + "a.png", 64, 64, 24, 1, 1, 1));
  ASSERT_TRUE(write_image(data->path() + "b.png", 64, 64, 24, 1, 1, 1));
  ASSERT_TRUE(write_image(data->path() + "c.png", 64, 64, 24, 1, 1, 1));
  auto parameters = [&](int slot, GLint* min, GLint* mag) {
    glBindTexture(GL_TEXTURE_2D, engine->resources.textures[slot].glName);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag);
  };
  GLint min, mag;
  setTextureFilter(engine, 0);
  parameters(loadTexture(engine, "a", GL_REPEAT), &min, &mag);
  EXPECT_EQ(min, GL_NEAREST);
  EXPECT_EQ(mag, GL_NEAREST);

  setTextureFilter(engine, 2);
  int b = loadTexture(engine, "b", GL_REPEAT);
  parameters(b, &min, &mag);
  EXPECT_EQ(min, GL_LINEAR_MIPMAP_NEAREST);
  EXPECT_EQ(mag, GL_LINEAR);
  GLint level_width = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level_width);
  EXPECT_EQ(level_width, 32);  // mipmaps were built

  setTextureFilter(engine, 5);
  parameters(loadTexture(engine, "c", GL_REPEAT), &min, &mag);
  EXPECT_EQ(min, GL_LINEAR_MIPMAP_LINEAR);
  GLint env = 0;
  glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
  EXPECT_EQ(env, GL_MODULATE);
}

TEST(TextureFilters, SoftwareRenderersAreTheOnesWhoseAnisotropyHasNoBound) {
  EXPECT_TRUE(anisotropy_cost_unbounded("llvmpipe (LLVM 15.0.6, 256 bits)"));
  EXPECT_TRUE(anisotropy_cost_unbounded("softpipe"));
  EXPECT_FALSE(anisotropy_cost_unbounded("NVIDIA GeForce RTX 3060/PCIe/SSE2"));
  EXPECT_FALSE(anisotropy_cost_unbounded("AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49)"));
  EXPECT_FALSE(anisotropy_cost_unbounded("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
  EXPECT_FALSE(anisotropy_cost_unbounded(nullptr));
}

// Under llvmpipe an anisotropic mode uploads with anisotropy 1: the mode's
// mipmaps and filters stay, the walk over the footprint does not happen. The
// engine's settings keep what the script asked for.
TEST_F(Textures, AnisotropicModesStayWithinTheRenderersLimit) {
  start();
  ASSERT_TRUE(anisotropy_cost_unbounded(reinterpret_cast<const char*>(glGetString(GL_RENDERER))))
      << "these tests run on llvmpipe";
  EXPECT_FLOAT_EQ(gl_capabilities().anisotropy_limit, 1.0f);
  ASSERT_TRUE(write_image(data->path() + "a.png", 64, 64, 24, 1, 1, 1));
  ASSERT_TRUE(write_image(data->path() + "b.png", 64, 64, 24, 1, 1, 1));
  auto anisotropy_of = [&](int slot) {
    GLfloat value = 0.0f;
    glBindTexture(GL_TEXTURE_2D, engine->resources.textures[slot].glName);
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &value);
    return value;
  };
  engine->settings.anisotropy = 16;
  setTextureFilter(engine, 6);
  int a = loadTexture(engine, "a", GL_REPEAT);
  EXPECT_FLOAT_EQ(anisotropy_of(a), 1.0f);
  GLint min = 0;
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
  EXPECT_EQ(min, GL_LINEAR_MIPMAP_LINEAR);
  setTextureFilter(engine, 3);  // anisotropy 2 without mipmaps
  EXPECT_FLOAT_EQ(anisotropy_of(loadTexture(engine, "b", GL_REPEAT)), 1.0f);
  EXPECT_EQ(engine->settings.anisotropy, 16);
}

TEST_F(Textures, OddWidthUploadUsesByteAlignment) {
  start();
  std::vector<uint8_t> pixels(65 * 64 * 3, 0);
  setTextureFilter(engine, 1);
  int slot = newBufferTexture(engine, pixels.data(), 65, 64);
  ASSERT_GE(slot, 1);
  GLint alignment = 0;
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 1);
  newBufferTexture(engine, pixels.data(), 64, 64);
  glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
  EXPECT_EQ(alignment, 2);
}

}  // namespace
