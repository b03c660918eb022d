#include "core/frame.h"

#include <GL/gl.h>

#include "core/clock.h"
#include "core/convert.h"
#include "core/engine.h"
#include "effects/deformer.h"
#include "effects/flare.h"
#include "effects/fluid.h"
#include "effects/post_common.h"
#include "effects/particles.h"
#include "effects/render_target.h"
#include "effects/water.h"
#include "mesh/buffer_refresh.h"
#include "mesh/framer.h"
#include "mesh/object.h"
#include "mesh/object_render.h"
#include "mesh/scene_pass.h"
#include "platform/platform.h"
#include "resources/debug_display.h"
#include "script/script_runner.h"

// Every animated element advances on every call, drawn or not, so that timing
// (measured against `now`) keeps the loop's rate when drawing is paced.
static void update_step(Engine* engine) {
  // Animators, water, fluid surfaces, render-target flip-books and deformers
  // advance here, in that order, as they join the engine.
  advanceFramers(engine);
  updateWaters(engine);
  updateFluids(engine);
  updateRenderTargets(engine);
  updateDeformers(engine);  // last of the effect updates

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

static void apply_camera(Engine* engine) {
  glLoadIdentity();
  glScalef(engine->scale[0], engine->scale[1], engine->scale[2]);
  glRotatef(engine->cam_rot[0], 1.0f, 0.0f, 0.0f);
  glRotatef(engine->cam_rot[1], 0.0f, 1.0f, 0.0f);
  glRotatef(engine->cam_rot[2], 0.0f, 0.0f, 1.0f);
  glTranslatef(engine->cam_pos[0], engine->cam_pos[1], engine->cam_pos[2]);
  glGetFloatv(GL_MODELVIEW_MATRIX, engine->modelview);
}

static void count_frame(Engine* engine) {
  engine->frame_count += 1;
  if (engine->now > engine->fps_time + 1000) {
    engine->fps = engine->frame_count - 1;
    engine->frame_count = 0;
    engine->fps_time = engine->now;
  }
}

void adapt_frame_delay(Engine* engine) {
  // A wanted rate of 0 or below would raise the delay without end: unpaced.
  if (engine->wantfps >= 100 || engine->wantfps <= 0) {
    engine->frame_delay = 0;
    return;
  }
  uint32_t elapsed = engine->now - engine->frame_time;
  // No time since the last frame counts as a rate below any wanted rate.
  bool below = elapsed == 0;
  bool above = false;
  if (elapsed != 0) {
    int32_t rate = float_to_int(1000.0f / static_cast<float>(elapsed));
    below = rate < engine->wantfps;
    above = rate > engine->wantfps;
  }
  if (below && engine->frame_delay > 0) engine->frame_delay -= 1;
  if (above) engine->frame_delay += 1;
  engine->frame_time = engine->now;
}

int run_frame(Engine* engine) {
  engine->now = engine_clock_now();

  if (engine->script_runner && engine->script_runner->running) {
    if (engine_clock_fixed()) wait_for_idle_script(engine->script_runner);
    engine->script_runner->drain();
  }

  if (!engine->running || !engine->hglrc) return 0;
  platform::make_current(engine->hwnd, engine->hglrc);

  update_step(engine);

  // Pacing gate; the fixed-step clock draws every frame
  if (!engine_clock_fixed() && engine->now < engine->frame_time + static_cast<uint32_t>(engine->frame_delay)) {
    platform::sleep_ms(10);
    return 0;
  }

  // The triangles drawn are counted per frame.
  resetFrameTriangles(engine);

  // Render-to-texture scene renders, before the glow and bloom pre-passes.
  renderRenderTargets(engine);
  post_prepare(engine);

  glDrawBuffer(GL_BACK);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

  // The blur background
  post_background(engine);

  apply_camera(engine);
  scene_pass(engine);
  transparent_pass(engine);

  // Glow, bloom and blur composites
  post_composite(engine);

  if (engine->fade_on) draw_fade(engine);
  if (engine->geometry != 0) geometry_pass(engine);

  platform::swap_buffers(engine->hwnd);

  // The full-screen bloom's after-swap pass
  post_after_swap(engine);

  clear_objects_dirty(engine);
  count_frame(engine);
  adapt_frame_delay(engine);
  engine_clock_advance_frame();
  return 1;
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
  if (engine->transp != 0.0f) {
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, engine->transp);
  }

  // Frustum planes for the flares and particle systems, then each in slot order.
  computeFrustum(engine);
  drawFlares(engine);
  drawParticles(engine);

  // Restore
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glDisable(GL_ALPHA_TEST);
}

void draw_fade(Engine* engine) {
  // Alpha-blended full-screen quad
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glFrontFace(GL_CW);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_TEXTURE_2D);

  glPushMatrix();
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();

  glColor4f(engine->fade_color[0], engine->fade_color[1], engine->fade_color[2], engine->fade_color[3]);
  glBegin(GL_QUADS);
  glVertex3f(-1.0f, 1.0f, 0.0f);
  glVertex3f(1.0f, 1.0f, 0.0f);
  glVertex3f(1.0f, -1.0f, 0.0f);
  glVertex3f(-1.0f, -1.0f, 0.0f);
  glEnd();

  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();

  // One step at most per frame, and only 10 ms after the last step's time + 10.
  if (engine->now > engine->fade_next + 10) {
    engine->fade_next = engine->now + 10;
    engine->fade_color[3] += engine->fade_step;
    if (engine->fade_color[3] <= 0.0f || engine->fade_color[3] >= 1.0f) engine->fade_on = 0;
  }

  // Restore; GL_TEXTURE_2D stays disabled until the next pass enables it.
  glDisable(GL_BLEND);
  glEnable(GL_DEPTH_TEST);
}

void geometry_pass(Engine* engine) {
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glDepthMask(GL_FALSE);
  glDisable(GL_LIGHTING);
  switch (engine->geometry) {
    case 1:  // part and object boxes
    case 2:  // vertex labels
    case 3:  // triangle labels
    case 4:  // keyframe paths
      drawDebugDisplay(engine, engine->geometry);
      break;
    default:
      break;
  }
  glEnable(GL_DEPTH_TEST);
  glEnable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
}
