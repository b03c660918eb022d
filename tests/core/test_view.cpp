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
