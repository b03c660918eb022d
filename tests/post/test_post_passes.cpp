// Blur, glow and bloom in a started engine, read back from presented frames.
// Boxes of edge 2 at script depth 8 (their fronts at stored z -7), on black.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/view.h"
#include "effects/bloom.h"
#include "effects/blur.h"
#include "effects/glow.h"
#include "resources/texture_manager.h"
#include "tests/resources/image_files.h"
#include "tests/shadows/stencil_scene.h"

namespace {

class PostPasses : public StencilScene {
 protected:
  Rgb front(float x, float y = 0) { return at(x, y, -7); }
  // Gives every group of the object a white glow source.
  void glowing(int slot) {
    if (white_texture == 0) {
      ASSERT_TRUE(write_image(data->path() + "white.png", 64, 64, 24, 255, 255, 255));
      white_texture = loadTexture(engine, "white", GL_REPEAT);
      ASSERT_GT(white_texture, 0);
    }
    for (MeshPart& part : engine->scene.objects[slot]->parts)
      for (MaterialGroup& group : part.groups) group.lightmapTexture = static_cast<int16_t>(white_texture);
  }
  int buffer_edge(int slot) { return engine->resources.textures[slot].width; }
  void resize(int width, int height) {
    engine->view.width = static_cast<int16_t>(width);
    engine->view.height = static_cast<int16_t>(height);
    set_viewport(0.0, width, height);
  }
  int white_texture = 0;
};

TEST_F(PostPasses, BlurStartsWithoutBackgroundThenLeavesAFadingTrail) {
  int box = add_box(-1.6f, 0, 8, 1, 1, 1, 1);
  ASSERT_EQ(run(CMD_NEW, "cBlur"), 1);
  EXPECT_EQ(run(CMD_NEW, "cBlur"), 0);  // one pass only
  run(CMD_BLUR, "active", 0, 1);
  EXPECT_EQ(engine->scene.blur->buffer, 0);  // made by the first capture, not by new
  draw_frames(1);
  EXPECT_TRUE(colour_near(front(-1.6f), 255, 255, 255));
  EXPECT_TRUE(colour_near(front(1.6f), 0, 0, 0));
  ASSERT_NE(engine->scene.blur->buffer, 0);
  EXPECT_EQ(buffer_edge(engine->scene.blur->buffer), 512);  // 320 x 240 rounded up
  EXPECT_EQ(engine->resources.textures[engine->scene.blur->buffer].height, 256);

  object_command(box, "position", 1.6f, 0, 8);
  draw_frames(1);
  keep_picture("blur_trail");
  EXPECT_TRUE(colour_near(front(-1.6f), 128, 128, 128)) << "last frame at half";
  EXPECT_TRUE(colour_near(front(1.6f), 255, 255, 255));

  object_command(box, "active", 0);
  draw_frames(1);
  EXPECT_TRUE(colour_near(front(-1.6f), 64, 64, 64)) << "two frames back at a quarter";
  EXPECT_TRUE(colour_near(front(1.6f), 128, 128, 128));
  EXPECT_EQ(run(CMD_STATUS, "cBlur"), 1);
  EXPECT_EQ(run(CMD_DELETE, "cBlur"), 1);
  EXPECT_EQ(engine->scene.blur, nullptr);
}

TEST_F(PostPasses, BlurDurationFiveCapturesEveryFifthFrame) {
  int box = add_box(-1.6f, 0, 8, 1, 1, 1, 1);
  run(CMD_NEW, "cBlur");
  run(CMD_BLUR, "duration", 0, 5);
  run(CMD_BLUR, "active", 0, 1);
  draw_frames(4);
  EXPECT_EQ(engine->scene.blur->buffer, 0);
  EXPECT_EQ(engine->scene.blur->frameCounter, 4);
  draw_frames(1);
  EXPECT_NE(engine->scene.blur->buffer, 0);
  EXPECT_EQ(engine->scene.blur->frameCounter, 0);

  object_command(box, "active", 0);
  draw_frames(3);  // frames 6 to 8 all show the capture of frame 5
  EXPECT_TRUE(colour_near(front(-1.6f), 128, 128, 128));
  draw_frames(2);  // frame 10 captures what it showed
  draw_frames(1);
  EXPECT_TRUE(colour_near(front(-1.6f), 64, 64, 64));
}

TEST_F(PostPasses, GlowAddsLightOnlyFromGroupsWithALightmapSlot) {
  int lit = add_box(-1.6f, 0, 8, 1, 0.25f, 0.25f, 0.25f);
  add_box(1.6f, 0, 8, 1, 0.25f, 0.25f, 0.25f);
  glowing(lit);
  ASSERT_EQ(run(CMD_NEW, "cGlow"), 1);
  run(CMD_GLOW, "active", 0, 1);

  // offset 0: the unblurred mask times (4 x 0.3) per direction
  run(CMD_GLOW, "offset", 0, 0);
  draw_frames(1);
  keep_picture("glow_offset0");
  EXPECT_EQ(buffer_edge(engine->scene.glow->buffer), 256);
  EXPECT_TRUE(colour_near(front(-1.6f), 64 + 92, 64 + 92, 64 + 92, 8));
  EXPECT_TRUE(colour_near(front(1.6f), 64, 64, 64, 4)) << "no glow source";

  // Only the alpha of the colour counts.
  run(CMD_GLOW, "color", 0, 0, 0, 0, 0.3f);
  draw_frames(1);
  EXPECT_TRUE(colour_near(front(-1.6f), 156, 156, 156, 8));

  run(CMD_GLOW, "numelems", 0, 0);
  draw_frames(1);
  EXPECT_TRUE(colour_near(front(-1.6f), 64, 64, 64, 4)) << "no samples, nothing added";
}

TEST_F(PostPasses, GlowSpreadsAroundTheGlowingBoxOnly) {
  int lit = add_box(-1.6f, 0, 8, 1, 1, 1, 1);
  add_box(1.6f, 0, 8, 1, 1, 1, 1);
  glowing(lit);
  run(CMD_NEW, "cGlow");
  run(CMD_GLOW, "settings", 0, 256, 4, 8);
  run(CMD_GLOW, "active", 0, 1);
  draw_frames(1);
  keep_picture("glow_spread");
  // 0.1 beyond each box's outer edge (the side faces there are hidden): the
  // sample shifted left reaches the left one, those shifted right the right one.
  Rgb beside_lit = front(-2.7f), beside_plain = front(2.7f);
  EXPECT_GT(beside_lit.r, 25);
  EXPECT_TRUE(colour_near(beside_plain, 0, 0, 0, 4));
  EXPECT_TRUE(colour_near(front(0, 2.0f), 0, 0, 0, 4)) << "far from both";
}

TEST_F(PostPasses, BloomKeepsOnlyWhatIsAboveTheThreshold) {
  add_box(-1.6f, 0, 8, 1, 0.4f, 0.4f, 0.4f);
  add_box(1.6f, 0, 8, 1, 0.6f, 0.6f, 0.6f);
  ASSERT_EQ(run(CMD_NEW, "cBloom"), 1);
  run(CMD_BLOOM, "offset", 0, 0);
  run(CMD_BLOOM, "active", 0, 1);
  ASSERT_EQ(run(CMD_STATUS, "cBloom"), 1);  // the combiners are there
  draw_frames(1);
  keep_picture("bloom_threshold");
  EXPECT_TRUE(colour_near(front(-1.6f), 102, 102, 102, 4)) << "0.4 is below 0.5: nothing added";
  // 0.6: 2 x (0.6 - 0.5) = 0.2, times 1.2 per direction
  EXPECT_TRUE(colour_near(front(1.6f), 153 + 73, 153 + 73, 153 + 73, 8));
}

TEST_F(PostPasses, BloomAroundWhite) {
  add_box(-1.6f, 0, 8, 1, 0.4f, 0.4f, 0.4f);
  add_box(1.6f, 0, 8, 1, 1, 1, 1);
  run(CMD_NEW, "cBloom");
  run(CMD_BLOOM, "settings", 0, 256, 4, 8);
  run(CMD_BLOOM, "active", 0, 1);
  draw_frames(1);
  keep_picture("bloom_white");
  EXPECT_GT(front(2.7f).r, 100) << "beside the white box";
  EXPECT_TRUE(colour_near(front(-2.7f), 0, 0, 0, 4)) << "beside the grey one";
}

TEST_F(PostPasses, BuffersFollowTheWindowSize) {
  add_box(0, 0, 8, 1, 1, 1, 1);
  run(CMD_NEW, "cBlur");
  run(CMD_BLUR, "active", 0, 1);
  run(CMD_NEW, "cGlow");
  run(CMD_GLOW, "active", 0, 1);
  run(CMD_NEW, "cBloom");
  run(CMD_BLOOM, "settings", 0, 512, 8, 1);
  run(CMD_BLOOM, "active", 0, 1);
  draw_frames(1);
  EXPECT_EQ(buffer_edge(engine->scene.blur->buffer), 512);
  EXPECT_EQ(buffer_edge(engine->scene.glow->buffer), 256);
  EXPECT_EQ(buffer_edge(engine->scene.bloom->buffer), 512);  // larger than the window for one frame
  EXPECT_EQ(engine->scene.bloom->numelems, 8);
  EXPECT_EQ(engine->scene.bloom->offset, 1);
  draw_frames(1);
  EXPECT_EQ(buffer_edge(engine->scene.bloom->buffer), 128);  // the largest power of two in 240
  EXPECT_EQ(buffer_edge(engine->scene.glow->buffer), 128);

  // A larger window: the blur's buffer is made again at the next capture.
  resize(600, 300);
  draw_frames(1);
  EXPECT_EQ(buffer_edge(engine->scene.blur->buffer), 1024);
  EXPECT_EQ(engine->resources.textures[engine->scene.blur->buffer].height, 512);
  EXPECT_EQ(buffer_edge(engine->scene.glow->buffer), 128);  // small buffers never grow

  // A smaller one: the small buffers shrink to fit, the blur's is kept.
  resize(100, 90);
  draw_frames(1);
  EXPECT_EQ(buffer_edge(engine->scene.glow->buffer), 64);
  EXPECT_EQ(buffer_edge(engine->scene.bloom->buffer), 64);
  EXPECT_EQ(buffer_edge(engine->scene.blur->buffer), 1024);
}

TEST_F(PostPasses, AFullTextureTableSwitchesThePassesOff) {
  add_box(0, 0, 8, 1, 1, 1, 1);
  for (int slot = 1; slot < MAX_TEXTURES; ++slot) engine->resources.textures[slot].inUse = 1;
  run(CMD_NEW, "cBlur");
  run(CMD_BLUR, "active", 0, 1);
  run(CMD_NEW, "cGlow");
  run(CMD_GLOW, "active", 0, 1);
  run(CMD_NEW, "cBloom");
  run(CMD_BLOOM, "active", 0, 1);
  const uint32_t font_texture = engine->resources.textures[0].glName;
  draw_frames(2);
  EXPECT_EQ(run(CMD_STATUS, "cBlur"), 0);
  EXPECT_EQ(run(CMD_STATUS, "cGlow"), 0);
  EXPECT_EQ(run(CMD_STATUS, "cBloom"), 0);
  EXPECT_EQ(engine->scene.blur->buffer, 0);
  EXPECT_EQ(engine->scene.glow->buffer, 0);
  EXPECT_EQ(engine->scene.bloom->buffer, 0);
  EXPECT_EQ(engine->resources.textures[0].glName, font_texture);
  EXPECT_TRUE(colour_near(front(0), 255, 255, 255)) << "the scene itself is still drawn";
  for (int slot = 1; slot < MAX_TEXTURES; ++slot) engine->resources.textures[slot].inUse = 0;
}

// Over a background that is not black the glow and the bloom still add light
// only around their bright object: the clear colour is no light of its own.
struct Background {
  const char* name;
  float r, g, b;
};

class PostBackground : public PostPasses, public ::testing::WithParamInterface<Background> {
 protected:
  void SetUp() override {
    PostPasses::SetUp();
    const Background& bg = GetParam();
    run(CMD_SCENE, "color", bg.r, bg.g, bg.b);
    box = add_box(-1.6f, 0, 8, 1, 1, 1, 1);
  }
  // Window pixels away from the box: the corners, the middle of each border,
  // and the empty right half.
  std::vector<Rgb> background() {
    const int w = window_width, h = window_height;
    const int places[][2] = {{1, 1},         {w - 2, 1},     {1, h - 2},     {w - 2, h - 2}, {w / 2, 1},
                             {w / 2, h - 2}, {w - 2, h / 2}, {w * 3 / 4, h / 2}, {w * 3 / 4, h / 4}};
    std::vector<Rgb> pixels;
    for (const auto& p : places) {
      Rgb c{};
      presented_pixel(p[0], p[1], &c.r, &c.g, &c.b);
      pixels.push_back(c);
    }
    return pixels;
  }
  int brightness(Rgb c) { return c.r + c.g + c.b; }
  // The frame's background stays within a few levels of `plain`, and beside
  // the box the frame is brighter than it was.
  void expect_halo_only(const std::vector<Rgb>& plain, Rgb plain_beside, const char* pass) {
    std::vector<Rgb> now = background();
    for (size_t i = 0; i < now.size(); ++i)
      EXPECT_TRUE(colour_near(now[i], plain[i].r, plain[i].g, plain[i].b, 3))
          << pass << " over " << GetParam().name << ", place " << i;
    EXPECT_GT(brightness(front(-2.7f)), brightness(plain_beside) + 30) << pass << " over " << GetParam().name;
  }
  int box = 0;
};

TEST_P(PostBackground, GlowAndBloomBrightenOnlyAroundTheBrightBox) {
  draw_frames(1);
  const std::vector<Rgb> plain = background();
  const Rgb beside = front(-2.7f);
  const float bg[3] = {GetParam().r, GetParam().g, GetParam().b};
  EXPECT_TRUE(colour_near(plain[0], static_cast<int>(bg[0] * 255 + 0.5f), static_cast<int>(bg[1] * 255 + 0.5f),
                          static_cast<int>(bg[2] * 255 + 0.5f), 2));

  glowing(box);
  run(CMD_NEW, "cGlow");
  run(CMD_GLOW, "settings", 0, 256, 4, 8);
  run(CMD_GLOW, "active", 0, 1);
  draw_frames(1);
  keep_picture((std::string("glow_over_") + GetParam().name).c_str());
  expect_halo_only(plain, beside, "glow");
  run(CMD_DELETE, "cGlow");

  run(CMD_NEW, "cBloom");
  run(CMD_BLOOM, "settings", 0, 256, 4, 8);
  run(CMD_BLOOM, "active", 0, 1);
  draw_frames(1);
  keep_picture((std::string("bloom_over_") + GetParam().name).c_str());
  expect_halo_only(plain, beside, "bloom");

  // The full-screen bloom sees the finished frame, background and all: its
  // own sums start from black, and a background below the threshold adds
  // nothing.
  if (GetParam().r <= 0.5f && GetParam().g <= 0.5f && GetParam().b <= 0.5f) {
    run(CMD_BLOOM, "fullscreen", 0, 1);
    draw_frames(2);
    expect_halo_only(plain, beside, "full-screen bloom");
  }

  // The scene's clear colour is the frame's again after the passes.
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_FLOAT_EQ(clear[0], bg[0]);
  EXPECT_FLOAT_EQ(clear[2], bg[2]);
}

INSTANTIATE_TEST_SUITE_P(Backgrounds, PostBackground,
                         ::testing::Values(Background{"mid_grey", 0.5f, 0.5f, 0.5f},
                                           Background{"navy", 0.1f, 0.1f, 0.15f},
                                           Background{"sky_blue", 0.53f, 0.81f, 0.92f}),
                         [](const ::testing::TestParamInfo<Background>& info) { return info.param.name; });

class LargeWindow : public PostPasses {
 protected:
  void SetUp() override {
    window_width = 640;
    window_height = 560;
    PostPasses::SetUp();
  }
};

TEST_F(LargeWindow, BloomSettingsGiveA512Buffer) {
  run(CMD_NEW, "cBloom");
  run(CMD_BLOOM, "settings", 0, 512, 8, 1);
  run(CMD_BLOOM, "active", 0, 1);
  draw_frames(2);
  EXPECT_EQ(buffer_edge(engine->scene.bloom->buffer), 512);
  EXPECT_EQ(engine->resources.textures[engine->scene.bloom->buffer].height, 512);
}

// The default 256 buffer fits this window, so it is kept from frame to frame.
TEST_F(LargeWindow, FullscreenBloomAddsBlackFirstAndTheBloomFromTheSecondFrame) {
  add_box(1.6f, 0, 8, 1, 0.6f, 0.6f, 0.6f);
  run(CMD_NEW, "cBloom");
  run(CMD_BLOOM, "fullscreen", 0, 1);
  run(CMD_BLOOM, "offset", 0, 0);
  run(CMD_BLOOM, "active", 0, 1);
  draw_frames(1);
  EXPECT_TRUE(colour_near(front(1.6f), 153, 153, 153, 4)) << "the zero-filled bloom image";
  ASSERT_NE(engine->scene.bloom->fullBuffer, 0);
  EXPECT_EQ(buffer_edge(engine->scene.bloom->fullBuffer), 1024);
  EXPECT_EQ(buffer_edge(engine->scene.bloom->buffer), 256);
  draw_frames(1);
  keep_picture("bloom_fullscreen");
  EXPECT_TRUE(colour_near(front(1.6f), 226, 226, 226, 8)) << "the bloom of the frame before";
}

}  // namespace
