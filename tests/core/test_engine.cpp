// The engine record: start-up and shut-down, paths, tables and their counts.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "core/engine.h"
#include "tests/support/gl_fixture.h"

using EngineLifecycle = EngineTest;

TEST_F(EngineLifecycle, SecondStartIsRefusedAndChangesNothing) {
  start();
  Engine* first = g_engine;
  first->fov = 55.0f;
  first->wantfps = 25;
  platform::Window window = first->hwnd;

  EXPECT_FALSE(start_engine());
  EXPECT_EQ(g_engine, first);
  EXPECT_EQ(first->hwnd, window);
  EXPECT_FLOAT_EQ(first->fov, 55.0f);
  EXPECT_EQ(first->wantfps, 25);
  EXPECT_EQ(first->running, 1);
}

TEST_F(EngineLifecycle, StartUpOverridesTheConstructionDefaults) {
  start();
  EXPECT_EQ(engine->running, 1);
  EXPECT_FLOAT_EQ(engine->fov, 40.0f);
  EXPECT_EQ(engine->tfilter, 6);
  EXPECT_EQ(engine->trilinear, 1);
  EXPECT_EQ(engine->keybd, 1);
  EXPECT_EQ(engine->wantfps, 1000);
  EXPECT_EQ(engine->width, 320);
  EXPECT_EQ(engine->height, 240);
  EXPECT_EQ(engine->window_x, 360);
  EXPECT_EQ(engine->window_y, 140);
  EXPECT_EQ(engine->key_up, 40);  // the Down arrow moves backward
  EXPECT_EQ(engine->key_dn, 38);
  EXPECT_FLOAT_EQ(engine->spin_yaw, 90.0f);
  for (float s : engine->scale) EXPECT_FLOAT_EQ(s, 1.0f);
  EXPECT_STREQ(engine->data_path, data->path().c_str());
  EXPECT_NE(engine->script_runner, nullptr);
}

TEST_F(EngineLifecycle, StopReleasesEverythingAndIsSafeToRepeat) {
  start();
  stop_engine();
  EXPECT_EQ(g_engine, nullptr);
  stop_engine();  // no engine: nothing happens
  EXPECT_EQ(g_engine, nullptr);
  start();  // and a new one starts cleanly
  EXPECT_EQ(g_engine->running, 1);
}

TEST(EngineRecord, ConstructionDefaults) {
  Engine engine;
  EXPECT_EQ(engine.running, 0);
  EXPECT_EQ(engine.width, 640);
  EXPECT_EQ(engine.height, 480);
  EXPECT_FLOAT_EQ(engine.fov, 60.0f);
  EXPECT_EQ(engine.tfilter, 2);
  EXPECT_EQ(engine.focus, -1);
  EXPECT_EQ(engine.draw_mode, 4);
  EXPECT_FLOAT_EQ(engine.far_clip, 8000.0f);
  EXPECT_FLOAT_EQ(engine.fog_color[0], 0.0f);
  EXPECT_FLOAT_EQ(engine.fog_color[3], 1.0f);
  EXPECT_FLOAT_EQ(engine.fade_color[3], 1.0f);
  EXPECT_STREQ(engine.data_path, "/");
  EXPECT_STREQ(engine.exe_path, "/");
  EXPECT_EQ(engine.hglrc, nullptr);
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(engine.modelview[i], i % 5 == 0 ? 1.0f : 0.0f);
}

TEST(EngineRecord, TableCapacities) {
  Engine engine;
  EXPECT_EQ(sizeof(engine.objects) / sizeof(engine.objects[0]), 199u);
  EXPECT_EQ(sizeof(engine.framers) / sizeof(engine.framers[0]), 199u);
  EXPECT_EQ(sizeof(engine.lights) / sizeof(engine.lights[0]), 8u);
  EXPECT_EQ(sizeof(engine.textures) / sizeof(engine.textures[0]), 255u);
  for (cObject* slot : engine.objects) EXPECT_EQ(slot, nullptr);
}

TEST(EngineRecord, CountIsOnePastTheHighestSlot) {
  Engine engine;
  raise_count(&engine.object_count, 5);
  EXPECT_EQ(engine.object_count, 6);
  raise_count(&engine.object_count, 2);  // a lower slot leaves it
  EXPECT_EQ(engine.object_count, 6);
  raise_count(&engine.light_count, 7);
  EXPECT_EQ(engine.light_count, 8);
}

TEST(ProgramPaths, DataFolderBesideTheExecutable) {
  Engine engine;
  find_program_paths(&engine, "/x/y/talpine");
  EXPECT_STREQ(engine.exe_path, "/x/y/");
  EXPECT_STREQ(engine.data_path, "/x/y/Data/");
}

TEST(ProgramPaths, OverlongPathIsCutNotOverrun) {
  Engine engine;
  std::string deep = "/" + std::string(300, 'a') + "/talpine";
  find_program_paths(&engine, deep.c_str());
  EXPECT_EQ(std::string(engine.exe_path).size(), PATH_SIZE - 1u);
  EXPECT_EQ(std::string(engine.data_path).size(), PATH_SIZE - 1u);
}
