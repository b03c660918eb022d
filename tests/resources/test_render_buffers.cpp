// Render buffers in a real context: rounding, square rebuilds from the window
// size, and swaptex.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <vector>

#include "resources/render_buffers.h"
#include "resources/texture_manager.h"
#include "tests/resources/image_files.h"
#include "tests/support/gl_fixture.h"

namespace {

using RenderBuffers = EngineTest;

TEST_F(RenderBuffers, CeilRoundsUpAndRefusesWhatCannotBeHeld) {
  start();
  int width = 640, height = 480, tiny = 1, exact = 256, huge = 5000;
  EXPECT_TRUE(ceilPowerOfTwo(&width));
  EXPECT_TRUE(ceilPowerOfTwo(&height));
  EXPECT_TRUE(ceilPowerOfTwo(&tiny));
  EXPECT_TRUE(ceilPowerOfTwo(&exact));
  EXPECT_EQ(width, 1024);
  EXPECT_EQ(height, 512);
  EXPECT_EQ(tiny, 64);
  EXPECT_EQ(exact, 256);
  EXPECT_FALSE(ceilPowerOfTwo(&huge));
  EXPECT_EQ(huge, 5000);
}

TEST_F(RenderBuffers, RebuildMakesASquareOfTheSmallerWindowEdge) {
  start();
  std::vector<uint8_t> black(64 * 64 * 3, 0);
  int slot = newBufferTexture(engine, black.data(), 64, 64);
  ASSERT_GE(slot, 1);
  EXPECT_STREQ(engine->resources.textures[slot].name, ("BUF" + std::to_string(slot)).c_str());

  engine->view.width = 640;
  engine->view.height = 480;
  setTextureFilter(engine, 6);
  ASSERT_TRUE(rebuildBufferTexture(engine, slot));
  EXPECT_EQ(engine->resources.textures[slot].width, 256);
  EXPECT_EQ(engine->resources.textures[slot].height, 256);
  EXPECT_EQ(engine->resources.textures[slot].bytesPerPixel, 3);
  EXPECT_TRUE(engine->resources.textures[slot].inUse);
  // Uploaded without mipmaps, and the filter mode is put back.
  GLint min = 0;
  glBindTexture(GL_TEXTURE_2D, engine->resources.textures[slot].glName);
  glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
  EXPECT_EQ(min, GL_LINEAR);
  EXPECT_EQ(engine->settings.tfilter, 6);

  engine->view.width = 300;  // taller than wide: the width decides
  engine->view.height = 1024;
  ASSERT_TRUE(rebuildBufferTexture(engine, slot));
  EXPECT_EQ(engine->resources.textures[slot].width, 256);

  // A stored 0 (creation failed) is "no buffer": the font's slot stays alone.
  bool font_in_use = engine->resources.textures[0].inUse;
  EXPECT_FALSE(rebuildBufferTexture(engine, 0));
  EXPECT_EQ(engine->resources.textures[0].inUse, font_in_use);
}

TEST_F(RenderBuffers, SwaptexExchangesNamesSoLaterLoadsFindTheOtherSlot) {
  start();
  ASSERT_TRUE(write_image(data->path() + "rock.png", 64, 64, 24, 255, 0, 0));
  ASSERT_TRUE(write_image(data->path() + "sand.png", 64, 64, 32, 0, 0, 255, 128));
  int rock = loadTexture(engine, "rock", GL_REPEAT);
  int sand = loadTexture(engine, "sand", GL_REPEAT);
  GLuint rock_gl = engine->resources.textures[rock].glName;

  swapTextureSlots(engine, static_cast<float>(rock), static_cast<float>(sand));
  EXPECT_EQ(loadTexture(engine, "rock", GL_REPEAT), sand);
  EXPECT_EQ(loadTexture(engine, "sand", GL_REPEAT), rock);
  EXPECT_EQ(engine->resources.textures[rock].bytesPerPixel, 4);
  EXPECT_EQ(engine->resources.textures[rock].glName, rock_gl);  // the images stay where they are

  // Not in use, or outside the table: nothing changes.
  int free_slot = findFreeTextureSlot(engine);
  swapTextureSlots(engine, static_cast<float>(rock), static_cast<float>(free_slot));
  swapTextureSlots(engine, static_cast<float>(rock), 255.0f);
  swapTextureSlots(engine, -1.0f, static_cast<float>(rock));
  EXPECT_STREQ(engine->resources.textures[rock].name, "sand");
  EXPECT_STREQ(engine->resources.textures[sand].name, "rock");
}

}  // namespace
