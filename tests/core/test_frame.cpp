// The frame: pacing, the fade, what a frame presents, and the main loop's ends.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/launch_options.h"
#include "core/view.h"
#include "frame/frame.h"
#include "frame/input.h"
#include "frame/main_loop.h"
#include "platform/platform.h"
#include "resources/fade.h"
#include "tests/support/gl_fixture.h"

using FramePacing = EngineTest;

TEST_F(FramePacing, UnpacedAtTheStartUpRate) {
  start();
  engine->pacing.frame_delay = 0;
  draw_frames(20);
  EXPECT_EQ(engine->pacing.frame_delay, 0);
  EXPECT_EQ(engine->pacing.frame_time, 0u);  // not updated while unpaced
}

TEST_F(FramePacing, DelayClimbsOneMillisecondPerFastFrame) {
  start();
  engine->pacing.wantfps = 30;
  engine->pacing.frame_time = 1000;
  for (int i = 1; i <= 5; ++i) {
    engine->pacing.now = engine->pacing.frame_time + 3;  // about 333 frames per second
    adapt_frame_delay(engine);
    EXPECT_EQ(engine->pacing.frame_delay, i);
  }
  engine->pacing.now = engine->pacing.frame_time + 50;  // 20 per second: too slow, back down
  adapt_frame_delay(engine);
  EXPECT_EQ(engine->pacing.frame_delay, 4);
  engine->pacing.now = engine->pacing.frame_time;  // no time passed counts as too slow
  adapt_frame_delay(engine);
  EXPECT_EQ(engine->pacing.frame_delay, 3);
}

TEST_F(FramePacing, ZeroOrNegativeWantedRateIsUnpaced) {
  start();
  for (int wanted : {0, -5}) {
    engine->pacing.wantfps = wanted;
    engine->pacing.frame_delay = 7;
    engine->pacing.frame_time = 1000;
    engine->pacing.now = 1003;
    adapt_frame_delay(engine);
    EXPECT_EQ(engine->pacing.frame_delay, 0) << wanted;
  }
}

TEST_F(FramePacing, GateRefusesEarlyFramesButStillUpdates) {
  start();
  engine->pacing.frame_time = engine->pacing.now + 100000;  // far in the future
  engine->pacing.frame_delay = 0;
  EXPECT_EQ(run_frame(engine), 0);
  engine->pacing.frame_time = 0;
  EXPECT_EQ(run_frame(engine), 1);
}

using Fade = EngineTest;

TEST_F(Fade, StepsAtLeastTwentyMillisecondsApartUntilAlphaLeavesTheRange) {
  start();
  engine->fog.fade_on = 1;
  engine->fog.fade_color[3] = 1.0f;
  engine->fog.fade_step = -0.25f;
  engine->fog.fade_next = 0;

  engine->pacing.now = 11;  // > fade_next + 10: a step
  draw_fade(engine);
  EXPECT_FLOAT_EQ(engine->fog.fade_color[3], 0.75f);
  EXPECT_EQ(engine->fog.fade_next, 21u);

  engine->pacing.now = 31;  // not more than 21 + 10: no step
  draw_fade(engine);
  EXPECT_FLOAT_EQ(engine->fog.fade_color[3], 0.75f);

  for (uint32_t t = 32; engine->fog.fade_on; t += 21) {
    engine->pacing.now = t;
    draw_fade(engine);
  }
  EXPECT_FLOAT_EQ(engine->fog.fade_color[3], 0.0f);  // the last alpha stays stored
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(Fade, CoversTheFrameWithItsColour) {
  start();
  engine->fog.fade_on = 1;
  engine->fog.fade_color[0] = 1.0f;
  engine->fog.fade_color[1] = 0.0f;
  engine->fog.fade_color[2] = 0.0f;
  engine->fog.fade_color[3] = 0.5f;
  engine->fog.fade_step = 0.0f;  // holds: a step of 0 never leaves (0, 1)
  draw_frames(1);
  int r, g, b;
  presented_pixel(160, 120, &r, &g, &b);
  EXPECT_NEAR(r, 128, 3);  // half red over the black clear colour
  EXPECT_NEAR(g, 0, 3);
  presented_pixel(0, 0, &r, &g, &b);
  EXPECT_NEAR(r, 128, 3);
}

using Frame = EngineTest;

TEST_F(Frame, PresentsTheClearColour) {
  start();
  engine->fog.fog_color[0] = 0.0f;
  engine->fog.fog_color[1] = 1.0f;
  engine->fog.fog_color[2] = 0.0f;
  apply_fog();  // the fog colour is the clear colour
  draw_frames(2);
  int r, g, b;
  presented_pixel(10, 200, &r, &g, &b);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(g, 255);
  EXPECT_EQ(b, 0);
}

TEST_F(Frame, FramesAreCountedPerSecond) {
  start();
  engine->pacing.fps_time = engine_clock_now() + 60000;  // the second has not ended
  draw_frames(3);
  EXPECT_EQ(engine->pacing.frame_count, 3);
  engine->pacing.fps_time = engine_clock_now() - 2000;  // it has
  draw_frames(1);
  EXPECT_EQ(engine->pacing.fps, 3);  // the frames counted, less the one that closes it
  EXPECT_EQ(engine->pacing.frame_count, 0);
}

TEST_F(Frame, NothingIsDrawnOnceRunningIsCleared) {
  start();
  engine->pacing.running = 0;
  EXPECT_EQ(run_frame(engine), 0);
}

static float drawn_under[16];
static void capture_modelview(Engine*) { glGetFloatv(GL_MODELVIEW_MATRIX, drawn_under); }

TEST_F(Frame, TheWindowViewRotatesThenTranslates) {
  start();
  engine->view.cam_pos[2] = -5.0f;
  engine->view.cam_rot[1] = 90.0f;
  render_view(engine, window_view(engine), capture_modelview);
  // The rotation applies to the translation: Ry(90) * (0, 0, -5) = (-5, 0, 0).
  EXPECT_NEAR(drawn_under[12], -5.0f, 1e-4);
  EXPECT_NEAR(drawn_under[14], 0.0f, 1e-4);
  EXPECT_NEAR(drawn_under[0], 0.0f, 1e-5);
}

// Headless, the presented frame stays in the single-buffered surface until
// something draws again: the first read, or keep_presented_frame before
// drawing between frames, copies it, and drawing after that never shows.
TEST_F(Frame, ThePresentedFrameIsKeptWhenReadOrBeforeDrawingOverIt) {
  start();
  auto clear_to = [](float r, float g, float b) {
    glClearColor(r, g, b, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  };
  int r, g, b;
  clear_to(1, 0, 0);
  platform::swap_buffers(engine->window.hwnd);
  presented_pixel(10, 10, &r, &g, &b);  // read straight after the swap
  EXPECT_EQ(r, 255);
  clear_to(0, 1, 0);  // drawn over, after the read
  presented_pixel(10, 10, &r, &g, &b);
  EXPECT_EQ(r, 255);
  EXPECT_EQ(g, 0);

  clear_to(0, 0, 1);
  platform::swap_buffers(engine->window.hwnd);
  platform::keep_presented_frame();  // as the after-swap pass and the baker do
  clear_to(0, 1, 0);
  presented_pixel(10, 10, &r, &g, &b);
  EXPECT_EQ(b, 255);
  EXPECT_EQ(g, 0);
}

using MainLoop = EngineTest;

TEST_F(MainLoop, CloseRequestEndsTheLoopAfterTheEventInHand) {
  start();
  platform::post_close();
  run_main_loop(engine);
  EXPECT_EQ(engine->pacing.running, 0);
}

TEST_F(MainLoop, QuitRequestEndsTheLoopBeforeTheNextFrame) {
  start();
  platform::post_quit();
  EXPECT_EQ(run_main_loop(engine), 0);
}

TEST_F(MainLoop, FrameLimitsEndTheLoop) {
  start();
  g_launch.max_frames = 4;
  EXPECT_EQ(run_main_loop(engine), 4);
  engine->pacing.running = 1;
  g_launch.max_frames = -1;
  g_launch.frames = 3;  // no script: counted from the first frame
  EXPECT_EQ(run_main_loop(engine), 3);
}

TEST_F(MainLoop, ResizeEventResetsTheViewport) {
  start();
  platform::Event event;
  event.type = platform::EventType::SizeChanged;
  window_procedure(event);
  EXPECT_EQ(engine->view.viewport[2], engine->view.width);
  EXPECT_EQ(engine->view.viewport[3], engine->view.height);
}
