// Lens flares: the lens patterns and their intensity, the commands, and in a
// real context the polygons' shape, the glare, the occlusion fade read back
// from the depth buffer, and render-to-texture passes.
#include <GL/glu.h>

#include <chrono>
#include <thread>

#include "core/clock.h"
#include "effects/flare.h"
#include "tests/effects/sprite_scene.h"

namespace {

const float WHITE[3] = {1, 1, 1};

TEST(FlareLens, IntensityAndPatternLayout) {
  // At the screen centre with strength 1 and alpha 1 the factor is 1.2; it
  // reaches 0 at distance 1.2 and goes negative beyond.
  EXPECT_FLOAT_EQ(lensIntensity(0, 0, 1, 1), 1.2f);
  EXPECT_NEAR(lensIntensity(0.72f, 0.96f, 1, 1), 0.0f, 1e-6);
  EXPECT_LT(lensIntensity(1.0f, 1.0f, 1, 1), 0.0f);
  EXPECT_FLOAT_EQ(lensIntensity(0.3f, 0.4f, 0.5f, 2), 0.7f);

  LensPolygon out[MAX_LENS_POLYGONS];
  bool glow = true;
  EXPECT_EQ(lensPolygons(4, 0.5f, -0.25f, 1.2f, WHITE, &glow, out), 7);
  EXPECT_TRUE(glow);  // pattern 4 draws with the stored style and keeps it
  EXPECT_FLOAT_EQ(out[0].x, 0.35f);   // t = 0.7
  EXPECT_FLOAT_EQ(out[0].y, -0.175f);
  EXPECT_FLOAT_EQ(out[6].x, -0.6f);   // t = -1.2: the far side of the centre
  EXPECT_EQ(lensPolygons(0, 0, 0, 1.2f, WHITE, &glow, out), 15);
  // Pattern 0 is pattern 4 then pattern 1, whose fifth polygon has size 0.5.
  EXPECT_FLOAT_EQ(out[7 + 4].radius, 0.6f);
  EXPECT_FLOAT_EQ(out[7 + 4].colour[2], 1.0f);
  EXPECT_EQ(lensPolygons(6, 0, 0, 1.2f, WHITE, &glow, out), 0);
  EXPECT_EQ(lensPolygons(-1, 0, 0, 1.2f, WHITE, &glow, out), 0);

  // Pattern 5 sets the style on some polygons; the others keep the last one.
  glow = true;
  ASSERT_EQ(lensPolygons(5, 0, 0, 1, WHITE, &glow, out), 10);
  const bool styles[10] = {false, false, true, false, false, true, false, false, false, false};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(out[i].glow, styles[i]) << i;
  EXPECT_FALSE(glow);
  ASSERT_EQ(lensPolygons(3, 0, 0, 1, WHITE, &glow, out), 7);
  EXPECT_TRUE(out[2].glow);
  EXPECT_FALSE(out[6].glow);
  // At distance 1.2 every polygon collapses.
  lensPolygons(2, 0.72f, 0.96f, lensIntensity(0.72f, 0.96f, 1, 1), WHITE, &glow, out);
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(out[i].radius, 0.0f, 1e-6);
}

struct Flares : SpriteScene {
  using SpriteScene::send;
  cFlare* flare(float object = -1) {
    int slot = create(flare_class, object);
    EXPECT_GE(slot, 0);
    return slot >= 0 ? engine->scene.flares[slot] : nullptr;
  }
  void send(int n, const char* name, float a = 0, float b = 0, float c = 0, float d = 0) {
    SpriteScene::send(flare_class, n, name, a, b, c, d);
  }
  // Script coordinates of the point seen at normalised screen (x, y).
  void place_at_screen(int n, float x, float y) {
    double modelview[16], projection[16], p[3];
    GLint viewport[4];
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    gluUnProject(viewport[0] + (x + 1) / 2 * viewport[2], viewport[1] + (y + 1) / 2 * viewport[3], 0.99,
                 modelview, projection, viewport, &p[0], &p[1], &p[2]);
    send(n, "position", float(p[0]), float(p[1]), float(-p[2]));
  }
  // Pixel at normalised screen (x, y).
  Rgb at(float x, float y) {
    return drawn(int((x + 1) / 2 * window_width), int((y + 1) / 2 * window_height));
  }
  static void wait_past_fade_tick() { std::this_thread::sleep_for(std::chrono::milliseconds(13)); }
};

TEST_F(Flares, CommandsAndDefaults) {
  start();
  cFlare* f = flare();
  EXPECT_EQ(f->testMode, 2);  // the engine allows the read-back mode
  EXPECT_EQ(f->fadeStep, 25);
  send(0, "speed", 20);
  EXPECT_EQ(f->fadeStep, 12);
  send(0, "speed", 0);  // no period: fades in one tick
  EXPECT_EQ(f->fadeStep, 255);
  send(0, "test", 7);
  EXPECT_EQ(f->testMode, 2);
  send(0, "test", 0);
  EXPECT_EQ(f->testMode, 0);
  engine->settings.flare_quality = 0;
  send(0, "test", 2);
  EXPECT_EQ(f->testMode, 1);
  send(0, "position", 1, 2, 3);
  EXPECT_EQ(f->position[2], -3.0f);
  send(0, "lens", 0.5f, 0.25f, 4, 1);
  EXPECT_EQ(f->sides, 4);
  EXPECT_TRUE(f->ring);
  send(0, "offset", 199, 1, 1, 1);  // beyond the points: ignored
  send(0, "offset", 3, 1.7f, -2.2f, 70000);
  EXPECT_EQ(f->pointOffsets[3][0], 1.0f);
  EXPECT_EQ(f->pointOffsets[3][1], -2.0f);
  EXPECT_EQ(f->pointOffsets[3][2], 4464.0f);  // cut to 16 bits

  // Textures shown in turn, one change a period of engine time.
  send(0, "texture", 3);
  send(0, "texture", 4);
  send(0, "change", 100);
  send(0, "active", 1);
  send(0, "position", 0, 0, 10);
  engine->pacing.now = f->nextChange + 1;
  render();
  EXPECT_EQ(f->current, 1);
  engine->pacing.now += 50;
  render();
  EXPECT_EQ(f->current, 1);
  engine->pacing.now += 51;
  render();
  EXPECT_EQ(f->current, 0);
}

TEST_F(Flares, LensPolygonsAreDiamondsWithACornerStraightUp) {
  start();
  flare();
  send(0, "test", 1);
  send(0, "position", 0, 0, 10);  // the screen centre: every polygon centred there
  send(0, "lens", 1, 0, 4, 0);    // no glare, four corners, rings
  send(0, "set", 4);
  send(0, "active", 1);
  render();
  keep_picture("flare_diamonds");
  // The largest polygon (size 0.6) reaches 0.72 from the centre; its ring is
  // brightest at the rim.
  EXPECT_GT(at(0, 0.66f).r, 100);
  EXPECT_GT(at(0.66f, 0).r, 100);
  EXPECT_GT(at(0, -0.66f).r, 100);
  EXPECT_LT(at(0.45f, 0.45f).r, 10);  // inside a circle of that radius, outside the diamond
  EXPECT_LT(at(0, 0.8f).r, 10);
  EXPECT_LT(at(0, 0).r, 10);          // a ring is dark at its centre
  // The filled glow is brightest at the centre.
  send(0, "lens", 1, 0, 4, 1);
  render();
  EXPECT_GT(at(0, 0).r, 200);
}

TEST_F(Flares, GlareTintsTheScreenAndEverythingVanishesAtDistance1Point2) {
  start();
  flare();
  send(0, "test", 1);
  send(0, "color", 0.2f, 0.2f, 0.2f, 1);
  send(0, "lens", 1, 1, 4, 0);
  send(0, "set", 4);
  send(0, "active", 1);
  place_at_screen(0, 0, 0);
  render();
  // glare alpha 1.2, clamped: the colour itself over the whole screen
  expect_colour(at(-0.95f, 0.95f), 51, 51, 51, "glare", 4);
  place_at_screen(0, 0.5f, 0.3f);
  render();
  keep_picture("flare_off_centre");
  // distance 0.583: glare alpha 0.617
  expect_colour(at(-0.95f, 0.95f), 31, 31, 31, "glare off the centre", 4);
  place_at_screen(0, 0.72f, 0.96f);
  render();
  keep_picture("flare_at_distance_1_2");
  for (auto [x, y] : {std::pair{-0.95f, 0.95f}, {0.f, 0.f}, {0.72f * 0.4f, 0.96f * 0.4f}, {-0.6f, -0.8f}})
    expect_colour(at(x, y), 0, 0, 0, "nothing", 2);
}

TEST_F(Flares, BehindAnObjectTheLevelFallsByTheFadeStepToZeroAndComesBack) {
  start();
  cFlare* f = flare();
  cObject* cover = cube(0, 0, 0, 5);
  send(object_class, 0, "diffuse", 0, 0, 0.5f);
  send(object_class, 0, "active", 0);
  send(0, "position", 0, 0, 10);
  send(0, "color", 1, 0, 0, 1);
  send(0, "size", 1);
  send(0, "active", 1);
  ASSERT_EQ(f->testMode, 2);
  // uncovered: up by 25 a period, past 255 by less than a step
  for (int level = 25; level <= 275; level += 25) {
    wait_past_fade_tick();
    render();
    ASSERT_EQ(f->fadeLevels[0], level);
    EXPECT_EQ(f->visible, 1);
  }
  expect_colour(drawn(160, 120), 255, 0, 0, "visible flare");
  // covered: down by 25 a period to 0, then nothing drawn over the cube
  send(object_class, 0, "active", 1);
  for (int level = 250; level >= 0; level -= 25) {
    wait_past_fade_tick();
    render();
    ASSERT_EQ(f->fadeLevels[0], level);
    EXPECT_EQ(f->visible, 0);
    if (level == 125) {
      EXPECT_NEAR(drawn(160, 120).r, 125, 12);  // half faded over the cube
    }
  }
  wait_past_fade_tick();
  render();
  EXPECT_EQ(f->fadeLevels[0], 0);
  expect_colour(drawn(160, 120), 0, 0, 128, "hidden flare");
  cover->active = 0;
  wait_past_fade_tick();
  render();
  EXPECT_EQ(f->fadeLevels[0], 25);
  // before the next fade tick: no step
  f->nextFadeTick = engine_clock_now() + 100000;
  render();
  EXPECT_EQ(f->fadeLevels[0], 25);
}

TEST_F(Flares, ARenderToTextureDrawHasNoLensAndOnlyDepthTests) {
  start();
  cFlare* f = flare();
  cube(0, 0, 0, 5);
  send(0, "position", 0, 0, 10);
  send(0, "color", 1, 0, 0, 1);
  send(0, "size", 1);
  send(0, "lens", 1, 1, 6, 1);
  send(0, "active", 1);
  engine->view.target_pass = 1;
  send(object_class, 0, "active", 0);
  render();
  expect_colour(drawn(160, 120), 255, 0, 0, "sprite at full alpha");
  expect_colour(drawn(5, 5), 0, 0, 0, "no glare");
  EXPECT_EQ(f->fadeLevels[0], 0);  // no read-back, no fading
  EXPECT_EQ(f->testMode, 2);       // kept
  send(object_class, 0, "active", 1);
  render();
  expect_colour(drawn(160, 120), 255, 255, 255, "depth-tested behind the cube");
  engine->view.target_pass = 0;
  send(0, "test", 0);
  render();
  EXPECT_GT(drawn(5, 5).r, 200);  // the screen pass draws the glare
}

TEST_F(Flares, AttachedFlaresDrawAtTheObjectsVerticesWhileItIsActiveAndSeen) {
  start();
  cObject* holder = cube(0, 0, 0, 10, 0.01f);
  send(object_class, 0, "diffuse", 0, 0, 0);
  cFlare* f = flare(0);
  send(0, "add", 0, 0, 0);
  send(0, "add", 0, 0, 9999);  // no such vertex: skipped
  send(0, "offset", 0, 2, 0, 0);
  send(0, "test", 1);
  send(0, "color", 0, 1, 0, 1);
  send(0, "size", 0.5f);
  send(0, "active", 1);
  ASSERT_EQ(f->pointCount, 2);
  render();
  // the corner (-0.01, -0.01, 0.01) + 2 in x, 10 in front of the camera
  double mv[16], pr[16], w[3];
  GLint vp[4];
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glGetDoublev(GL_MODELVIEW_MATRIX, mv);
  glGetDoublev(GL_PROJECTION_MATRIX, pr);
  glGetIntegerv(GL_VIEWPORT, vp);
  const float* v = &holder->parts[0].positions[0];
  gluProject(v[0] + 2, v[1], v[2] - 10, mv, pr, vp, &w[0], &w[1], &w[2]);
  EXPECT_GT(drawn(int(w[0]), int(w[1])).g, 200);
  EXPECT_LT(drawn(320 - int(w[0]), int(w[1])).g, 10);
  send(object_class, 0, "active", 0);
  render();
  EXPECT_LT(drawn(int(w[0]), int(w[1])).g, 10);
}

}  // namespace
