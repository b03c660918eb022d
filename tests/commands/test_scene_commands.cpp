// The scene commands in a started engine with a real (headless) GL context:
// matching consequences, fog and colour, projection, fade, camera and orbit,
// filter modes, viewport size, settings, and stop.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "commands/dispatch.h"
#include "commands/scene_commands.h"
#include "core/engine.h"
#include "frame/frame.h"
#include "mesh/object.h"
#include "script/command_ring.h"
#include "tests/support/gl_fixture.h"

namespace {

class SceneCommands : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    start();
  }
  // Returns what executeCommand returns; every scene command gives result 0.
  int scene(const char* name, float a0 = 0, float a1 = 0, float a2 = 0, float a3 = 0, float a4 = 0) {
    int32_t result = -1;
    int status = dispatch_command(CommandContext{engine, engine_classes()}, CMD_SCENE, name,
                                  CommandArgs{a0, a1, a2, a3, a4}, &result);
    EXPECT_EQ(result, 0) << name;
    return status;
  }
  cObject* add_object(int slot) {
    engine->scene.objects[slot] = new cObject(engine);
    engine->scene.objects.raise(slot);
    engine->scene.objects[slot]->dirty = 0;
    return engine->scene.objects[slot];
  }
};

TEST_F(SceneCommands, FirstKeywordFoundInTheNameWins) {
  engine->pacing.running = 0;
  EXPECT_EQ(scene("restart"), 0);
  EXPECT_EQ(engine->pacing.running, 1);
  EXPECT_EQ(scene("stopwatch"), 0);
  EXPECT_EQ(engine->pacing.running, 0);
  engine->pacing.running = 1;

  // "size" is listed before "position".
  EXPECT_EQ(scene("positionsize", 200, 100), 0);
  EXPECT_EQ(engine->view.width, 200);
  EXPECT_EQ(engine->view.cam_pos[0], 0.0f);

  // Neither "fogcolor" nor "color" occurs in it.
  EXPECT_EQ(scene("fogcolour", 1, 1, 1), 1);
  EXPECT_EQ(scene("Start"), 1);
  // The program keywords only when nothing earlier occurs in the name.
  EXPECT_EQ(scene("shader", 1, 2), 0);
  EXPECT_EQ(scene("vpparm", 1, 2, 3, 4, 5), 0);
  EXPECT_EQ(scene("cubemap"), 0);
}

TEST_F(SceneCommands, FogRangeAndColour) {
  EXPECT_EQ(scene("fogrange", 100, 100), 0);
  EXPECT_EQ(engine->fog.fog_on, 0);
  EXPECT_FALSE(glIsEnabled(GL_FOG));

  EXPECT_EQ(scene("fogrange", 100, 900), 0);
  EXPECT_EQ(engine->fog.fog_on, 1);
  EXPECT_TRUE(glIsEnabled(GL_FOG));
  GLfloat start = 0, end = 0;
  glGetFloatv(GL_FOG_START, &start);
  glGetFloatv(GL_FOG_END, &end);
  EXPECT_EQ(start, 100.0f);
  EXPECT_EQ(end, 900.0f);

  EXPECT_EQ(scene("color", 0.2f, 0.2f, 0.4f), 0);
  GLfloat clear[4], fog[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glGetFloatv(GL_FOG_COLOR, fog);
  const float want[4] = {0.2f, 0.2f, 0.4f, 0.0f};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(clear[i], want[i], 1e-6) << i;
    EXPECT_NEAR(fog[i], want[i], 1e-6) << i;
    EXPECT_EQ(engine->fog.fog_color[i], want[i]) << i;
  }

  // Without fog only the clear colour changes on GL's side.
  scene("fogrange", 5, 5);
  scene("fogcolor", 1, 0, 0);
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glGetFloatv(GL_FOG_COLOR, fog);
  EXPECT_EQ(clear[0], 1.0f);
  EXPECT_NEAR(fog[0], 0.2f, 1e-6);
}

TEST_F(SceneCommands, ProjectionCommands) {
  scene("fov", 0);
  EXPECT_EQ(engine->view.fov, 60.0f);
  scene("clip", 0.1f, 5000);
  EXPECT_EQ(engine->view.near_clip, 1.0f);
  EXPECT_EQ(engine->view.far_clip, 5000.0f);
  EXPECT_EQ(engine->view.fov, 60.0f);
  scene("mycamera", 2, 300, 45);
  EXPECT_EQ(engine->view.near_clip, 2.0f);
  EXPECT_EQ(engine->view.far_clip, 300.0f);
  EXPECT_EQ(engine->view.fov, 45.0f);
  // The projection itself: element [5] of a perspective matrix is cot(fov / 2).
  GLfloat projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_NEAR(projection[5], 1.0 / std::tan(22.5 * 3.14159265359 / 180.0), 1e-4);
}

TEST_F(SceneCommands, ASecondFadeStepsTheRunningOneInsteadOfRestartingIt) {
  scene("fade", 0, 0, 0, 1, -0.05f);
  EXPECT_EQ(engine->fog.fade_on, 1);
  EXPECT_EQ(engine->fog.fade_color[3], 1.0f);
  EXPECT_EQ(engine->fog.fade_step, -0.05f);
  EXPECT_EQ(engine->fog.fade_next, 0u);

  engine->pacing.now = 100000;  // well past the next step
  scene("fade", 1, 1, 1, 0.5f, 0.1f);
  EXPECT_EQ(engine->fog.fade_color[0], 0.0f);
  EXPECT_EQ(engine->fog.fade_step, -0.05f);
  EXPECT_NEAR(engine->fog.fade_color[3], 0.95f, 1e-6);  // one step
  scene("fade", 1, 1, 1, 0.5f, 0.1f);
  EXPECT_NEAR(engine->fog.fade_color[3], 0.95f, 1e-6);  // not due again in the same tick
}

// `status fading`: the running fade's alpha in hundredths, 0 once it ended.
TEST_F(SceneCommands, AScriptCanWaitForAFade) {
  auto fading = [&] {
    int32_t result = -1;
    EXPECT_EQ(dispatch_command(CommandContext{engine, engine_classes()}, CMD_STATUS, "fading", CommandArgs{},
                               &result),
              0);
    return result;
  };
  EXPECT_EQ(fading(), 0);
  scene("fade", 0, 0, 0, 0, 0.25f);
  EXPECT_EQ(fading(), 1) << "alpha 0, but running";
  for (int32_t expected : {25, 50, 75}) {
    engine->pacing.now += 100;
    scene("fade");  // steps the running fade
    EXPECT_EQ(fading(), expected);
  }
  engine->pacing.now += 100;
  scene("fade");
  EXPECT_EQ(fading(), 0) << "black, and ended";
}

TEST_F(SceneCommands, CameraPositionRotationAndOrbit) {
  cObject* object = add_object(3);
  scene("position", 1, 2, 3);
  EXPECT_EQ(engine->view.cam_pos[0], -1.0f);
  EXPECT_EQ(engine->view.cam_pos[1], -2.0f);
  EXPECT_EQ(engine->view.cam_pos[2], 3.0f);
  EXPECT_EQ(object->dirty, 1);

  scene("rotation", 10, 20, 30);
  EXPECT_EQ(engine->view.cam_rot[0], -10.0f);
  EXPECT_EQ(engine->view.cam_rot[1], 20.0f);
  EXPECT_EQ(engine->view.cam_rot[2], 30.0f);

  scene("position", 0, 0, -100);
  scene("setspin", 0, 0);
  EXPECT_NEAR(engine->view.cam_pos[0], 0.0f, 1e-3);
  EXPECT_NEAR(engine->view.cam_pos[1], 0.0f, 1e-3);
  EXPECT_NEAR(engine->view.cam_pos[2], -100.0f, 1e-3);
  EXPECT_EQ(engine->view.cam_rot[0], 0.0f);
  EXPECT_EQ(engine->view.cam_rot[1], 0.0f);
  EXPECT_EQ(engine->view.cam_rot[2], 0.0f);
  EXPECT_EQ(engine->view.spin_radius, 100.0f);

  object->dirty = 0;
  scene("spincam", 90, 0);
  EXPECT_NEAR(engine->view.cam_pos[0], -100.0f, 1e-3);
  EXPECT_NEAR(engine->view.cam_pos[1], 0.0f, 1e-3);
  EXPECT_NEAR(engine->view.cam_pos[2], 0.0f, 1e-3);
  EXPECT_EQ(engine->view.cam_rot[0], 0.0f);
  EXPECT_EQ(engine->view.cam_rot[1], -90.0f);
  EXPECT_EQ(object->dirty, 1);

  // setspin (a, b) looks back with (-b, -a, 0) and keeps the distance.
  scene("setspin", 30, 20);
  EXPECT_EQ(engine->view.cam_rot[0], -20.0f);
  EXPECT_EQ(engine->view.cam_rot[1], -30.0f);
  const float* p = engine->view.cam_pos;
  EXPECT_NEAR(std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]), 100.0, 1e-3);
  EXPECT_NEAR(p[1], 100.0 * std::sin(20 * 3.14159265359 / 180.0), 1e-3);
}

TEST_F(SceneCommands, FilterModes) {
  scene("tfilter", 7);
  EXPECT_EQ(engine->settings.tfilter, 2);
  EXPECT_EQ(engine->settings.anisotropic, 0);
  EXPECT_EQ(engine->settings.trilinear, 0);
  scene("tfilter", 6);
  EXPECT_EQ(engine->settings.tfilter, 6);
  EXPECT_EQ(engine->settings.anisotropic, 1);
  EXPECT_EQ(engine->settings.trilinear, 1);
  scene("tfilter", -3);
  EXPECT_EQ(engine->settings.tfilter, 2);
  EXPECT_EQ(engine->settings.anisotropic, 0);
  scene("tfilter", 3.9f);
  EXPECT_EQ(engine->settings.tfilter, 3);
  EXPECT_EQ(engine->settings.anisotropic, 1);
  EXPECT_EQ(engine->settings.trilinear, 0);
}

TEST_F(SceneCommands, SizeSetsTheViewportAndNoSizeTheWindowsOwn) {
  scene("size", 200, 100);
  EXPECT_EQ(engine->view.width, 200);
  EXPECT_EQ(engine->view.height, 100);
  EXPECT_EQ(engine->view.viewport[2], 200);
  EXPECT_EQ(engine->view.viewport[3], 100);
  for (float bad : {40000.0f}) {
    EXPECT_EQ(scene("size", bad, 50), 0);
    EXPECT_EQ(scene("size", 50, bad), 0);
  }
  EXPECT_EQ(engine->view.width, 200);
  EXPECT_EQ(engine->view.height, 100);
  for (float none : {0.0f, -5.0f}) {
    scene("size", 200, 100);
    EXPECT_EQ(scene("size", none, 50), 0);
    EXPECT_EQ(engine->view.width, window_width);
    EXPECT_EQ(engine->view.height, window_height);
    EXPECT_EQ(engine->view.viewport[2], window_width);
  }
  GLfloat projection[16];
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  EXPECT_FALSE(std::isnan(projection[0]));
}

TEST_F(SceneCommands, DrawModeReachesEveryObject) {
  cObject* first = add_object(0);
  cObject* last = add_object(198);
  scene("draw", 0);
  EXPECT_EQ(engine->settings.draw_mode, GL_LINES);
  EXPECT_EQ(first->primitive, GL_LINES);
  EXPECT_EQ(last->primitive, GL_LINES);
  scene("draw", 0.5f);  // flags are truncated first
  EXPECT_EQ(last->primitive, GL_LINES);
  scene("draw", 1);
  EXPECT_EQ(engine->settings.draw_mode, GL_TRIANGLES);
  EXPECT_EQ(first->primitive, GL_TRIANGLES);
}

TEST_F(SceneCommands, ControlSettings) {
  engine->pacing.frame_delay = 7;
  engine->pacing.fps = 30;
  scene("wantfps", 25.9f);
  EXPECT_EQ(engine->pacing.wantfps, 25);
  EXPECT_EQ(engine->pacing.frame_delay, 0);
  EXPECT_EQ(engine->pacing.fps, 0);

  scene("keybd", 0.7f);
  EXPECT_EQ(engine->input.keybd, 0);
  scene("keybd", -2);
  EXPECT_EQ(engine->input.keybd, 1);
  scene("speed", 2.5f, 0.5f);
  EXPECT_EQ(engine->input.move_speed, 2.5f);
  EXPECT_EQ(engine->input.turn_speed, 0.5f);
  scene("focus", -2.5f);
  EXPECT_EQ(engine->input.focus, -2);
  scene("collide", 3);
  EXPECT_EQ(engine->input.collide, 1);
  scene("vertical", 0);
  EXPECT_EQ(engine->input.vertical, 0);
  scene("geometry", 2);
  EXPECT_EQ(engine->settings.geometry, 2);
  scene("transp", 0.25f);
  EXPECT_EQ(engine->settings.transp, 0.25f);
  scene("key_rt", 68);
  scene("key_lf", 65);
  scene("key_up", 83);
  scene("key_dn", 87);
  EXPECT_EQ(engine->input.key_rt, 68);
  EXPECT_EQ(engine->input.key_lf, 65);
  EXPECT_EQ(engine->input.key_up, 83);
  EXPECT_EQ(engine->input.key_dn, 87);
}

TEST_F(SceneCommands, StopEndsTheProgramWithoutAnotherFrame) {
  draw_frames(1);
  scene("stop");
  EXPECT_EQ(engine->pacing.running, 0);
  EXPECT_EQ(run_frame(engine), 0);
}

}  // namespace

namespace {

// The keywords in test order, and the first of them found in `name` (-1: none).
std::vector<std::string> scene_keywords(int count = 1 << 20) {
  std::vector<std::string> keywords;
  for (int i = 0; i < count && scene_command_keyword(i); ++i) keywords.push_back(scene_command_keyword(i));
  return keywords;
}
int first_match(const std::vector<std::string>& keywords, const std::string& name) {
  for (size_t i = 0; i < keywords.size(); ++i)
    if (name.find(keywords[i]) != std::string::npos) return static_cast<int>(i);
  return -1;
}

// The 39 keywords scripts were written against, and the music commands after them.
constexpr int EARLIER_SCENE_KEYWORDS = 39;

TEST(SceneKeywords, TheMusicCommandsShadowNoEarlierCommand) {
  const std::vector<std::string> all = scene_keywords();
  const std::vector<std::string> earlier = scene_keywords(EARLIER_SCENE_KEYWORDS);
  ASSERT_EQ(earlier.back(), "fpparm");
  ASSERT_GT(all.size(), earlier.size());
  for (size_t n = earlier.size(); n < all.size(); ++n) {
    const std::string& added = all[n];
    EXPECT_EQ(first_match(all, added), static_cast<int>(n)) << added << " runs an earlier command";
    for (const std::string& old : earlier)
      EXPECT_EQ(old.find(added), std::string::npos) << added << " occurs in " << old;
  }
  // Every earlier name, and names that run an earlier command by containing
  // it, still run the same command; names that ran none still run none,
  // unless they name a music command.
  std::vector<std::string> names = earlier;
  for (const char* name : {"restart", "stopwatch", "windowsize", "positionsize", "mycamera", "fogcolour", "musicstop",
                           "playmusic", "volume", "seek", "pause"})
    names.push_back(name);
  for (const std::string& name : names) EXPECT_EQ(first_match(all, name), first_match(earlier, name)) << name;
  EXPECT_EQ(all[first_match(all, "musicstop")], "stop");  // that is why the track is halted by "musicoff"
}

}  // namespace
