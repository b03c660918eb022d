#include "frame/frame.h"

#include <GL/gl.h>

#include "commands/dispatch.h"
#include "core/clock.h"
#include "core/convert.h"
#include "core/element_class.h"
#include "core/engine.h"
#include "core/view.h"
#include "frame/debug_display.h"
#include "frame/frame_stats.h"
#include "frame/scene_pass.h"
#include "frame/unseen_frames.h"
#include "mesh/buffer_refresh.h"
#include "mesh/object.h"
#include "mesh/object_render.h"
#include "platform/platform.h"
#include "resources/fade.h"
#include "script/script_runner.h"

// The passes that draw the scene again (render targets, the bloom's second
// render, the baker's sample views) reach the scene through this.
static void draw_scene_and_sprites(Engine* engine) {
  scene_pass(engine);
  transparent_pass(engine);
}
[[maybe_unused]] static const bool scene_drawer_installed = (set_scene_drawer(&draw_scene_and_sprites), true);

// Every animated element advances on every call, drawn or not, so that timing
// (measured against `now`) keeps the loop's rate when drawing is paced.
static void update_step(Engine* engine) {
  PartTimer timer(PART_UPDATES);
  // Animators, water, fluid surfaces, render-target flip-books and deformers
  // advance here, in the registry's order.
  engine_classes().run_stage(STAGE_UPDATE, engine);

  // What they changed in memory reaches the GPU before anything draws.
  refreshStaleBuffers(engine);
}

// Lock-step: the frame waits until the script has posted everything it will
// post before it next waits on the render thread, so every run drains the same
// commands before the same frame. A script that computes for long counts as
// idle after its statement budget, so this wait ends.
void wait_for_idle_script(const ScriptRunner* runner) {
  while (!runner->idle()) platform::sleep_us(100);
}

static void count_frame(Engine* engine) {
  engine->pacing.frame_count += 1;
  if (engine->pacing.now > engine->pacing.fps_time + 1000) {
    engine->pacing.fps = engine->pacing.frame_count - 1;
    engine->pacing.frame_count = 0;
    engine->pacing.fps_time = engine->pacing.now;
  }
}

void adapt_frame_delay(Engine* engine) {
  // A wanted rate of 0 or below would raise the delay without end: unpaced.
  if (engine->pacing.wantfps >= 100 || engine->pacing.wantfps <= 0) {
    engine->pacing.frame_delay = 0;
    return;
  }
  uint32_t elapsed = engine->pacing.now - engine->pacing.frame_time;
  // No time since the last frame counts as a rate below any wanted rate.
  bool below = elapsed == 0;
  bool above = false;
  if (elapsed != 0) {
    int32_t rate = float_to_int(1000.0f / static_cast<float>(elapsed));
    below = rate < engine->pacing.wantfps;
    above = rate > engine->pacing.wantfps;
  }
  if (below && engine->pacing.frame_delay > 0) engine->pacing.frame_delay -= 1;
  if (above) engine->pacing.frame_delay += 1;
  engine->pacing.frame_time = engine->pacing.now;
}

// The frame itself; run_frame brackets it for the frame statistics.
static int frame_body(Engine* engine) {
  engine->pacing.now = engine_clock_now();

  if (engine->scene.script_runner && engine->scene.script_runner->running) {
    PartTimer timer(PART_DRAIN);
    if (engine_clock_fixed()) wait_for_idle_script(engine->scene.script_runner);
    engine->scene.script_runner->drain([engine](int type, const char* name, const float* args, int32_t* result) {
      return execute_command(engine, type, name, args, result);
    });
  }

  if (!engine->pacing.running || !engine->window.hglrc) return 0;
  platform::make_current(engine->window.hwnd, engine->window.hglrc);

  update_step(engine);

  // Pacing gate; the fixed-step clock draws every frame
  if (!engine_clock_fixed() && engine->pacing.now < engine->pacing.frame_time + static_cast<uint32_t>(engine->pacing.frame_delay)) {
    platform::sleep_ms(10);
    return 0;
  }

  // Frames before --start-at draw only what later frames need.
  limit_unseen_drawing(engine);

  // The triangles drawn are counted per frame.
  resetFrameTriangles(engine);

  const ClassRegistry& classes = engine_classes();

  // Render-to-texture scene renders, then the glow and bloom pre-passes.
  run_timed_stage(classes, STAGE_BEFORE_CLEAR, engine, PART_TARGETS);

  {
    PartTimer timer(PART_SCENE);
    glDrawBuffer(GL_BACK);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
  }

  // The blur background
  run_timed_stage(classes, STAGE_BACKGROUND, engine, PART_POST);

  // The scene and the sprites from the window's camera
  render_view(engine, window_view(engine), draw_scene_and_sprites);

  // Glow, bloom and blur composites
  run_timed_stage(classes, STAGE_COMPOSITE, engine, PART_POST);

  {
    PartTimer timer(PART_POST);
    if (engine->fog.fade_on) draw_fade(engine);
    if (engine->settings.geometry != 0) geometry_pass(engine);
    if (frame_stats().overlay()) draw_stats_overlay(engine);
  }

  {
    PartTimer timer(PART_SWAP);
    platform::swap_buffers(engine->window.hwnd);
  }

  // The full-screen bloom's after-swap pass
  run_timed_stage(classes, STAGE_AFTER_SWAP, engine, PART_POST);

  clear_objects_dirty(engine);
  count_frame(engine);
  adapt_frame_delay(engine);
  engine_clock_advance_frame();
  return 1;
}

int run_frame(Engine* engine) {
  FrameStats& stats = frame_stats();
  stats.begin_frame(!engine->scene.script_runner || engine->scene.script_runner->finished());
  int drawn = frame_body(engine);
  stats.end_frame(drawn != 0);
  return drawn;
}

void transparent_pass(Engine* engine) {
  // Additive blending, no depth writes
  glDisable(GL_LIGHTING);
  glFrontFace(GL_CW);
  glEnable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glDisable(GL_FOG);
  glDepthMask(GL_FALSE);
  glEnable(GL_DEPTH_TEST);
  if (engine->settings.transp != 0.0f) {
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, engine->settings.transp);
  }

  // Frustum planes for the flares and particle systems, then each in slot order.
  computeFrustum(engine);
  run_timed_stage(engine_classes(), STAGE_TRANSPARENT, engine, PART_TRANSPARENT);

  // Restore
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
}

void geometry_pass(Engine* engine) {
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glDepthMask(GL_FALSE);
  glDisable(GL_LIGHTING);
  switch (engine->settings.geometry) {
    case 1:  // part and object boxes
    case 2:  // vertex labels
    case 3:  // triangle labels
    case 4:  // keyframe paths
      drawDebugDisplay(engine, engine->settings.geometry);
      break;
    default:
      break;
  }
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
}
