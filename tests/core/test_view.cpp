// Projection, fog and viewport set-up in a real GL context.
#include <GL/gl.h>
#include <cmath>
#include <gtest/gtest.h>

#include "core/view.h"
#include "core/window.h"
#include "platform/gl_api.h"
#include "tests/support/gl_fixture.h"

using ViewSetUp = EngineTest;

// Aspect ratio and vertical field of view of the current projection matrix.
static void projection_shape(double* aspect, double* fov_degrees) {
  GLfloat p[16];
  glGetFloatv(GL_PROJECTION_MATRIX, p);
  *aspect = p[5] / p[0];
  *fov_degrees = 2.0 * std::atan(1.0 / p[5]) * 180.0 / 3.14159265358979;
}

TEST_F(ViewSetUp, ProjectionRaisesNearAndReplacesZeroFov) {
  start();
  set_projection(0.5f, 100.0f, 0.0f);
  EXPECT_FLOAT_EQ(engine->view.near_clip, 1.0f);
  EXPECT_FLOAT_EQ(engine->view.far_clip, 100.0f);
  EXPECT_FLOAT_EQ(engine->view.fov, 60.0f);
  double aspect, fov;
  projection_shape(&aspect, &fov);
  EXPECT_NEAR(fov, 60.0, 0.01);
  EXPECT_NEAR(aspect, 320.0 / 240.0, 1e-4);
  GLint mode;
  glGetIntegerv(GL_MATRIX_MODE, &mode);
  EXPECT_EQ(mode, GL_MODELVIEW);
}

TEST_F(ViewSetUp, FogOnExactlyWhenTheRangeIsNotEmpty) {
  start();
  EXPECT_EQ(engine->fog.fog_on, 0);  // 1.0 to 1.0 after start-up
  EXPECT_FALSE(glIsEnabled(GL_FOG));

  engine->fog.fog_start = 100.0f;
  engine->fog.fog_end = 900.0f;
  engine->fog.fog_color[0] = 0.5f;
  apply_fog();
  EXPECT_EQ(engine->fog.fog_on, 1);
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  EXPECT_NEAR(clear[0], 0.5f, 1e-3);
  EXPECT_NEAR(clear[3], 0.0f, 1e-3);

  engine->fog.fog_end = 100.0f;
  apply_fog();
  EXPECT_EQ(engine->fog.fog_on, 0);
  EXPECT_FALSE(glIsEnabled(GL_FOG));
}

TEST_F(ViewSetUp, ViewportFollowsAResize) {
  start();
  set_viewport(0.0, 800, 600);
  EXPECT_EQ(engine->view.width, 800);
  EXPECT_EQ(engine->view.height, 600);
  EXPECT_EQ(engine->view.viewport[0], 0);
  EXPECT_EQ(engine->view.viewport[1], 0);
  EXPECT_EQ(engine->view.viewport[2], 800);
  EXPECT_EQ(engine->view.viewport[3], 600);
  double aspect, fov;
  projection_shape(&aspect, &fov);
  EXPECT_NEAR(aspect, 800.0 / 600.0, 1e-4);
  EXPECT_NEAR(fov, 40.0, 0.01);

  set_viewport(2.0, 800, 600);  // an explicit aspect wins over the size
  projection_shape(&aspect, &fov);
  EXPECT_NEAR(aspect, 2.0, 1e-4);
}

TEST_F(ViewSetUp, InitialStateAndExtensionProbe) {
  start();
  GLint front;
  glGetIntegerv(GL_FRONT_FACE, &front);
  EXPECT_EQ(front, GL_CW);
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
  EXPECT_FALSE(glIsEnabled(GL_BLEND));
  GLint depth_func;
  glGetIntegerv(GL_DEPTH_FUNC, &depth_func);
  EXPECT_EQ(depth_func, GL_LEQUAL);
  GLint stencil_bits;
  glGetIntegerv(GL_STENCIL_BITS, &stencil_bits);
  EXPECT_GE(stencil_bits, 8);
  // Mesa offers multitexturing, combiners and anisotropic filtering, so the
  // probe keeps every switch it was given.
  EXPECT_NE(glActiveTextureARB_, nullptr);
  EXPECT_EQ(engine->settings.anisotropic, 1);
  EXPECT_EQ(engine->settings.anisotropy, 2);
  EXPECT_EQ(engine->window.multisample, 1);
  EXPECT_GT(engine->window.samples, 0);
}

TEST_F(ViewSetUp, ProbeOnlyClearsSwitches) {
  start();
  engine->settings.anisotropic = 0;
  engine->window.multisample = 0;
  engine->settings.max_texture_size = 1 << 30;
  load_extensions();
  EXPECT_EQ(engine->settings.anisotropic, 0);  // never set again
  EXPECT_EQ(engine->settings.anisotropy, 0);
  EXPECT_EQ(engine->window.multisample, 0);
  EXPECT_EQ(engine->window.samples, 0);
  GLint max_size;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max_size);
  EXPECT_EQ(engine->settings.max_texture_size, max_size);  // lowered to the GL limit
}

// A pass from another eye at another size and field of view: the scene is drawn
// under that camera at that size, and everything is put back afterwards.
struct SeenInPass {
  int width = 0, height = 0;
  float fov = 0, cam_x = 0;
  GLint viewport[4] = {};
  int target_pass = 0;
  bool copied_while_sized = false;
};
static SeenInPass seen;

static void note_pass(Engine* engine) {
  seen.width = engine->view.width;
  seen.height = engine->view.height;
  seen.fov = engine->view.fov;
  seen.cam_x = engine->view.cam_pos[0];
  seen.target_pass = engine->view.target_pass;
  glGetIntegerv(GL_VIEWPORT, seen.viewport);
}

static void note_copy(Engine*) {
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  seen.copied_while_sized = viewport[2] == 64 && viewport[3] == 32;
}

TEST_F(ViewSetUp, RenderViewDrawsFromTheViewAndPutsEverythingBack) {
  start();
  engine->view.cam_pos[0] = 3.0f;
  const float fov = engine->view.fov;
  const uint32_t serial = engine->view.serial;
  View view;
  view.eye[0] = 7.0f;
  view.width = 64;
  view.height = 32;
  view.fov = 90.0f;
  view.target_pass = true;
  render_view(engine, view, note_pass, note_copy);

  EXPECT_EQ(seen.width, 64);
  EXPECT_EQ(seen.height, 32);
  EXPECT_FLOAT_EQ(seen.fov, 90.0f);
  EXPECT_FLOAT_EQ(seen.cam_x, 7.0f);
  EXPECT_EQ(seen.target_pass, 1);
  EXPECT_EQ(seen.viewport[2], 64);
  EXPECT_EQ(seen.viewport[3], 32);
  EXPECT_TRUE(seen.copied_while_sized);

  EXPECT_EQ(engine->view.width, 320);
  EXPECT_EQ(engine->view.height, 240);
  EXPECT_FLOAT_EQ(engine->view.fov, fov);
  EXPECT_FLOAT_EQ(engine->view.cam_pos[0], 3.0f);
  EXPECT_EQ(engine->view.target_pass, 0);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  EXPECT_EQ(viewport[2], 320);
  EXPECT_EQ(viewport[3], 240);
  // Projection changes tell every object to test its visibility again.
  EXPECT_GT(engine->view.serial, serial);
}

TEST_F(ViewSetUp, TheBakersSampleViewKeepsItsCamera) {
  start();
  const float target[3] = {0, 0, -10};
  View view;
  view.eye[1] = 2.0f;
  view.look_at = target;
  view.keep_camera = true;
  render_view(engine, view, note_pass);
  EXPECT_FLOAT_EQ(engine->view.cam_pos[1], 2.0f);
  EXPECT_FLOAT_EQ(engine->view.cam_rot[2], -10.0f);  // the look-at point, as the baker stores it
}
