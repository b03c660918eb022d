// Particle systems in a real context: the emission window, the random draws,
// ticks against engine time (set by hand here), manual emission, attached
// systems in world and object space, and what reaches the pixels.
#include <cmath>
#include <set>
#include <vector>

#include "effects/particles.h"
#include "resources/texture_manager.h"
#include "tests/effects/sprite_scene.h"

namespace {

struct Particles : SpriteScene {
  using SpriteScene::send;
  cParticle* system(float object = -1) {
    int slot = create(particle_class, object);
    EXPECT_GE(slot, 0);
    return slot >= 0 ? engine->scene.particles[slot] : nullptr;
  }
  void send(int n, const char* name, float a = 0, float b = 0, float c = 0, float d = 0) {
    SpriteScene::send(particle_class, n, name, a, b, c, d);
  }
  // One transparent pass with a tick due (or held back); the particles drawn.
  int pass(cParticle* p, bool tick) {
    if (tick) engine->pacing.now = p->nextTick;
    else p->nextTick = engine->pacing.now + 100000;
    return render() / 2;
  }
  std::vector<uint8_t> drawn_frame() {
    std::vector<uint8_t> rgb(static_cast<size_t>(window_width) * window_height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, window_width, window_height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
  }
};

TEST_F(Particles, APoolFillsTwoSlotsAPassAndDrawsOnlyWhatLivedBefore) {
  start();
  cParticle* p = system();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(pass(p, false), 0);  // inactive
  send(0, "active", 1);
  for (int frame = 0; frame < 28; ++frame) {
    int expected = frame * 2 < 50 ? frame * 2 : 50;
    EXPECT_EQ(pass(p, false), expected) << "frame " << frame;
  }
  EXPECT_EQ(p->emitted, 50);
}

TEST_F(Particles, WithoutVolumeAndRadiusParticlesMoveOnlyByDirectAndAccumulatedAccel) {
  start();
  cParticle* p = system();
  send(0, "active", 1);
  send(0, "dead", 0);
  send(0, "total", 2);
  send(0, "direct", 1, 0, -2);
  send(0, "accel", 0, 0.5f, 0);
  pass(p, true);  // emits both at the origin
  for (int k = 0; k < 2; ++k)
    for (int a = 0; a < 3; ++a) EXPECT_EQ(p->particles[k].position[a], 0.0f);
  for (int n = 1; n <= 5; ++n) {
    pass(p, true);
    for (int k = 0; k < 2; ++k) {
      EXPECT_FLOAT_EQ(p->particles[k].position[0], float(n));
      EXPECT_FLOAT_EQ(p->particles[k].position[1], 0.5f * n * (n - 1) / 2);
      EXPECT_FLOAT_EQ(p->particles[k].position[2], -2.0f * n);
    }
  }
}

TEST_F(Particles, VolumeDrawsAWholeUnitLatticeAcrossTheBox) {
  start();
  cParticle* p = system();
  send(0, "active", 1);
  send(0, "total", 3000);
  send(0, "volume", 10, 5, 0);
  EXPECT_EQ(p->volume[0], 20.0f);
  p->emitted = p->total;  // the whole pool in one pass
  pass(p, false);
  std::set<float> xs, ys;
  for (int k = 0; k < p->total; ++k) {
    const float* x = p->particles[k].position;
    ASSERT_EQ(x[0], std::floor(x[0]));
    ASSERT_EQ(x[1], std::floor(x[1]));
    ASSERT_EQ(x[2], 0.0f);
    xs.insert(x[0]);
    ys.insert(x[1]);
  }
  EXPECT_EQ(*xs.begin(), -10.0f);
  EXPECT_EQ(*xs.rbegin(), 10.0f);
  EXPECT_EQ(xs.size(), 21u);
  EXPECT_EQ(*ys.begin(), -5.0f);
  EXPECT_EQ(*ys.rbegin(), 5.0f);
}

TEST_F(Particles, PositionStoresZNegatedAndEmptyRandomRangesHoldOneValue) {
  start();
  cParticle* p = system();
  send(0, "active", 1);
  send(0, "position", 1, 2, 3);
  EXPECT_EQ(p->position[2], -3.0f);
  send(0, "life", 0);            // no range of lives: one tick
  send(0, "volume", -0.75f, 0, 0);  // int(-1.5 + 1) = 0: no lattice range
  send(0, "radius", 0);
  pass(p, false);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(p->particles[k].life, 1);
    EXPECT_FLOAT_EQ(p->particles[k].position[0], 1.75f);
    EXPECT_EQ(p->particles[k].position[1], 2.0f);
    EXPECT_EQ(p->particles[k].position[2], -3.0f);
  }
  send(0, "total", 0);  // an empty pool draws nothing
  EXPECT_EQ(p->particles, nullptr);
  EXPECT_EQ(pass(p, true), 0);
}

TEST_F(Particles, ParticlesMoveOnlyOnDueTicks) {
  start();
  cParticle* p = system();
  send(0, "active", 1);
  send(0, "dead", 0);
  send(0, "total", 2);
  send(0, "speed", 100);
  send(0, "direct", 1, 0, 0);
  engine->pacing.now = 5000;
  p->nextTick = 5000;
  render();  // emits; the tick is due and the next one set 100 ms on
  EXPECT_EQ(p->nextTick, 5100u);
  for (uint32_t t : {5000u, 5050u, 5099u}) {
    engine->pacing.now = t;
    EXPECT_EQ(render(), 4);
    EXPECT_EQ(p->particles[0].position[0], 0.0f) << t;
  }
  engine->pacing.now = 5100;
  render();
  EXPECT_EQ(p->particles[0].position[0], 1.0f);
  EXPECT_EQ(p->nextTick, 5200u);
}

TEST_F(Particles, AfterSingleDeadParticlesComeBackWhereTheyDied) {
  start();
  cParticle* manual = system();
  cParticle* automatic = system();
  for (int n : {0, 1}) {
    send(n, "active", 1);
    send(n, "total", 2);
    send(n, "life", 1);
    send(n, "direct", 1, 0, 0);
  }
  engine->pacing.now = 1000;
  manual->nextTick = automatic->nextTick = 1000;
  auto tick = [&] {
    engine->pacing.now += 10;
    render();
  };
  render();  // both systems emit both particles at the origin
  send(0, "single", 0, 5, 0, 0);
  EXPECT_TRUE(manual->single);
  EXPECT_EQ(manual->particles[0].position[0], 5.0f);
  tick();  // every particle lives its one tick and moves
  EXPECT_EQ(manual->particles[0].position[0], 6.0f);
  EXPECT_EQ(manual->particles[0].life, 0);
  tick();  // dead: re-emitted
  EXPECT_EQ(manual->particles[0].position[0], 6.0f);
  EXPECT_EQ(manual->particles[1].position[0], 1.0f);
  EXPECT_EQ(automatic->particles[0].position[0], 0.0f);
  tick();
  EXPECT_EQ(manual->particles[0].position[0], 7.0f);
  EXPECT_EQ(manual->particles[1].position[0], 2.0f);
  send(0, "single", 5, 0, 0, 0);  // outside the pool: ignored
}

// Red particles at a corner of a tiny cube; the cube moves from x = -2 to 2.
struct AttachedParticles : Particles {
  cParticle* p = nullptr;
  cObject* holder = nullptr;
  void set_up(float space) {
    start();
    holder = cube(0, -2, 0, 10, 0.02f);
    p = system(-1);
    send(0, "add", 0, 0, 0);  // object 0, part 0, vertex 0
    EXPECT_EQ(p->object, 0);
    send(0, "space", space);
    send(0, "active", 1);
    send(0, "dead", 0);
    send(0, "total", 2);
    send(0, "size", 0.3f);
    send(0, "rgb1", 1, 0, 0);
    send(0, "rgb2", 1, 0, 0);
    send(0, "blend", 0);
    render();  // emits both at the corner
  }
  // Brightest red across the row through the screen centre, left and right half.
  std::pair<int, int> red_left_right() {
    render();
    int left = 0, right = 0;
    for (int x = 0; x < 320; ++x) {
      Rgb c = drawn(x, 120);
      int red = c.r - c.g;
      (x < 160 ? left : right) = std::max(x < 160 ? left : right, red);
    }
    return {left, right};
  }
};

TEST_F(AttachedParticles, SpaceZeroLeavesAWorldSpaceTrail) {
  set_up(0);
  EXPECT_TRUE(p->worldSpace);
  const float* vertex = &holder->parts[0].positions[0];
  EXPECT_FLOAT_EQ(p->particles[0].position[0], vertex[0] - 2.0f);
  EXPECT_FLOAT_EQ(p->particles[0].position[2], vertex[2] - 10.0f);
  auto [left, right] = red_left_right();
  EXPECT_GT(left, 200);
  EXPECT_LT(right, 30);
  send(object_class, 0, "position", 2, 0, 10);
  std::tie(left, right) = red_left_right();
  keep_picture("particles_world_space_trail");
  EXPECT_GT(left, 200);  // the particles stayed where they were emitted
  EXPECT_LT(right, 30);
}

TEST_F(AttachedParticles, SpaceOneCarriesTheParticlesWithTheObject) {
  set_up(1);
  EXPECT_FALSE(p->worldSpace);
  EXPECT_FLOAT_EQ(p->particles[0].position[0], holder->parts[0].positions[0]);
  auto [left, right] = red_left_right();
  EXPECT_GT(left, 200);
  EXPECT_LT(right, 30);
  send(object_class, 0, "position", 2, 0, 10);
  std::tie(left, right) = red_left_right();
  keep_picture("particles_object_space");
  EXPECT_LT(left, 30);
  EXPECT_GT(right, 200);
}

TEST_F(AttachedParticles, AnInactiveInvisibleOrMissingObjectDrawsNoneWhileTheTickAdvances) {
  set_up(1);
  engine->pacing.now = p->nextTick;
  EXPECT_EQ(render(), 4);
  send(object_class, 0, "active", 0);
  engine->pacing.now = p->nextTick + 3;
  EXPECT_EQ(render(), 0);
  EXPECT_EQ(p->nextTick, engine->pacing.now + 10);
  send(object_class, 0, "active", 1);
  send(object_class, 0, "position", 0, 0, -10);  // behind the camera
  engine->pacing.now = p->nextTick;
  EXPECT_EQ(render(), 0);
  EXPECT_EQ(holder->visible, 0);
  EXPECT_EQ(p->nextTick, engine->pacing.now + 10);
  send(object_class, 0, "position", 0, 0, 10);
  send(0, "add", 0, 0, 9999);  // a vertex the mesh does not have: skipped
  EXPECT_EQ(render(), 4);
  p->object = 7;  // no object there
  EXPECT_EQ(render(), 0);
}

TEST_F(Particles, DepthTestedParticlesHideBehindObjectsUnlessTestIsZero) {
  start();
  cube(0, 0, 0, 5);
  send(object_class, 0, "diffuse", 0, 0, 0.5f);
  cParticle* p = system();
  send(0, "position", 0, 0, 20);
  send(0, "size", 2);
  send(0, "rgb1", 1, 0, 0);
  send(0, "rgb2", 1, 0, 0);
  send(0, "active", 1);
  pass(p, false);
  pass(p, false);
  expect_colour(drawn(160, 120), 0, 0, 128, "behind the cube");
  send(0, "test", 0);
  pass(p, false);
  keep_picture("particles_over_the_scene");
  expect_colour(drawn(160, 120), 255, 0, 128, "added over the cube");
  send(0, "blend", 0);
  pass(p, false);
  expect_colour(drawn(160, 120), 255, 0, 0, "alpha-blended over the cube");
  expect_colour(drawn(5, 5), 0, 0, 0, "background");
  // Drawn over everything, the system is culled by its origin instead.
  send(0, "position", 0, 0, -20);
  EXPECT_EQ(pass(p, false), 0);
}

// The particles of an emission pass go to GL in one array draw. It must give
// the pixels that one quad at a time gave, and hand the scene's client arrays
// back as it found them: a colour array left on, or the vertex array pointed
// at the batch, would corrupt or crash the next object drawn.
TEST_F(Particles, OneBatchDrawsWhatQuadsOneByOneDrewAndLeavesTheArraysAsTheyWere) {
  start();
  cube(0, 3, 0, 12);
  // A texture whose every texel differs, so that a corner given the wrong
  // coordinates shows.
  FIBITMAP* image = FreeImage_Allocate(16, 16, 24);
  for (int y = 0; y < 16; ++y) {
    BYTE* row = FreeImage_GetScanLine(image, y);
    for (int x = 0; x < 16; ++x) {
      row[3 * x + FI_RGBA_RED] = static_cast<BYTE>(x * 16);
      row[3 * x + FI_RGBA_GREEN] = static_cast<BYTE>(y * 16);
      row[3 * x + FI_RGBA_BLUE] = 128;
    }
  }
  ASSERT_TRUE(FreeImage_Save(FIF_PNG, image, (data->path() + "ramp.png").c_str(), 0));
  FreeImage_Unload(image);
  const int texture = loadTexture(engine, "ramp", GL_REPEAT);
  ASSERT_GT(texture, 0);
  cParticle* p = system();
  send(0, "texture", static_cast<float>(texture));
  send(0, "total", 200);
  send(0, "volume", 8, 5, 3);
  send(0, "radius", 0.3f);
  send(0, "position", 0, 0, 20);
  send(0, "size", 0.6f);
  send(0, "rgb1", 0.9f, 0.4f, 0.1f);
  send(0, "rgb2", 0.1f, 0.2f, 0.9f);
  send(0, "casual", 1);
  send(0, "dead", 0);
  send(0, "active", 1);
  p->emitted = p->total;
  for (int i = 0; i < 6; ++i) pass(p, true);  // every particle alive, moved
  std::vector<Particle> before(p->particles, p->particles + p->total);
  ASSERT_EQ(pass(p, false), 200);
  std::vector<uint8_t> batched = drawn_frame();
  keep_picture("particles_batched");

  // state the next frame's scene pass relies on
  EXPECT_TRUE(glIsEnabled(GL_VERTEX_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_TEXTURE_COORD_ARRAY));
  EXPECT_TRUE(glIsEnabled(GL_NORMAL_ARRAY));
  EXPECT_FALSE(glIsEnabled(GL_COLOR_ARRAY));
  GLint buffer = -1;
  glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &buffer);
  EXPECT_EQ(buffer, 0);
  GLvoid* pointer = nullptr;
  glGetPointerv(GL_VERTEX_ARRAY_POINTER, &pointer);
  EXPECT_FALSE(pointer >= static_cast<void*>(p->quads.data()) &&
               pointer < static_cast<void*>(p->quads.data() + p->quads.size()));
  float colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  for (int c = 0; c < 4; ++c) EXPECT_FLOAT_EQ(colour[c], before.back().colour[c]);  // as after the last quad's glColor

  // The same scene without the system, then its quads one by one, as the
  // transparent pass's state has them.
  send(0, "active", 0);
  render();
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_LIGHTING);
  glFrontFace(GL_CW);
  glEnable(GL_CULL_FACE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE);
  glDepthMask(GL_FALSE);
  glEnable(GL_DEPTH_TEST);
  glBindTexture(GL_TEXTURE_2D, engine->resources.textures[texture].glName);
  const float r = p->size, u = p->size;  // camera axes: x and y
  for (const Particle& q : before) {
    const float* x = q.position;
    glColor4fv(q.colour);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 1);
    glVertex3f(x[0] - r, x[1] + u, x[2]);
    glTexCoord2f(1, 1);
    glVertex3f(x[0] + r, x[1] + u, x[2]);
    glTexCoord2f(1, 0);
    glVertex3f(x[0] + r, x[1] - u, x[2]);
    glTexCoord2f(0, 0);
    glVertex3f(x[0] - r, x[1] - u, x[2]);
    glEnd();
  }
  glDepthMask(GL_TRUE);
  glDisable(GL_BLEND);
  glFinish();
  std::vector<uint8_t> one_by_one = drawn_frame();
  ASSERT_EQ(batched.size(), one_by_one.size());
  size_t differ = 0, lit = 0;
  for (size_t i = 0; i < batched.size(); ++i) {
    differ += batched[i] != one_by_one[i];
    lit += batched[i] != 0;
  }
  EXPECT_EQ(differ, 0u);
  EXPECT_GT(lit, batched.size() / 20);  // the particles and the cube are there to compare
}

TEST_F(Particles, RotationTurnsAFreeStandingSystemAboutTheSceneOrigin) {
  start();
  cParticle* p = system();
  send(0, "position", 0, 4, 20);
  send(0, "size", 1);
  send(0, "rgb1", 1, 0, 0);
  send(0, "rgb2", 1, 0, 0);
  send(0, "active", 1);
  pass(p, false);
  pass(p, false);
  const int above = drawn(160, 120 + 60).r;
  EXPECT_GT(above, 200);
  send(0, "rotation", 0, 0, -90);  // a quarter turn: up goes to the right
  pass(p, false);
  keep_picture("particles_rotated");
  EXPECT_LT(drawn(160, 120 + 60).r, 10);
  EXPECT_GT(drawn(160 + 60, 120).r, 200);
  EXPECT_LT(drawn(160 - 60, 120).r, 10);
}

}  // namespace

namespace {

// The whole road: a script makes a particle system and a flare, the dispatcher
// runs their commands, the frame loop draws them into the screenshot.
TEST(ParticleScript, ASystemAndAFlareMadeByAScriptReachTheScreenshot) {
  DataFolder data;
  data.write("script.txt",
             "p = new cParticle(-1);\n"
             "particle p position (0, 0, 20);\n"
             "particle p size 2;\n"
             "particle p rgb1 (1, 0, 0);\n"
             "particle p rgb2 (1, 0, 0);\n"
             "particle p active 1;\n"
             "f = new cFlare(-1);\n"
             "flare f position (6, 0, 20);\n"
             "flare f size 1;\n"
             "flare f color (0, 1, 0, 1);\n"
             "flare f test 1;\n"
             "flare f active 1;\n"
             "print p;\n"
             "print f;\n");
  RunResult run = run_talpine(data, {"--size", "320x240", "--frames", "4"}, true);
  ASSERT_EQ(run.exit_status, 0) << run.output << run.errors;
  EXPECT_EQ(run.output,
            "Talpine Engine 2.02: script print: 0.000000\n"
            "Talpine Engine 2.02: script print: 0.000000\n");
  ASSERT_TRUE(run.has_screenshot);
  int r, g, b;
  run.pixel(160, 120, &r, &g, &b);
  EXPECT_GT(r, 200);
  EXPECT_LT(g, 20);
  int green_right = 0, green_left = 0;
  for (int x = 0; x < 320; ++x) {
    run.pixel(x, 120, &r, &g, &b);
    if (g > 200 && r < 20) (x > 160 ? green_right : green_left) += 1;
  }
  EXPECT_GT(green_right, 3);
  EXPECT_EQ(green_left, 0);
}

}  // namespace
