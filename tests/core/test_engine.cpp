// The engine record: start-up and shut-down, paths, tables and their counts.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "core/engine.h"
#include "frame/engine_start.h"
#include "tests/support/gl_fixture.h"

using EngineLifecycle = EngineTest;

TEST_F(EngineLifecycle, SecondStartIsRefusedAndChangesNothing) {
  start();
  Engine* first = g_engine;
  first->view.fov = 55.0f;
  first->pacing.wantfps = 25;
  platform::Window window = first->window.hwnd;

  EXPECT_FALSE(start_engine());
  EXPECT_EQ(g_engine, first);
  EXPECT_EQ(first->window.hwnd, window);
  EXPECT_FLOAT_EQ(first->view.fov, 55.0f);
  EXPECT_EQ(first->pacing.wantfps, 25);
  EXPECT_EQ(first->pacing.running, 1);
}

TEST_F(EngineLifecycle, StartUpOverridesTheConstructionDefaults) {
  start();
  EXPECT_EQ(engine->pacing.running, 1);
  EXPECT_FLOAT_EQ(engine->view.fov, 40.0f);
  EXPECT_EQ(engine->settings.tfilter, 6);
  EXPECT_EQ(engine->settings.trilinear, 1);
  EXPECT_EQ(engine->input.keybd, 1);
  EXPECT_EQ(engine->pacing.wantfps, 1000);
  EXPECT_EQ(engine->view.width, 320);
  EXPECT_EQ(engine->view.height, 240);
  EXPECT_EQ(engine->window.window_x, 360);
  EXPECT_EQ(engine->window.window_y, 140);
  EXPECT_EQ(engine->input.key_up, 40);  // the Down arrow moves backward
  EXPECT_EQ(engine->input.key_dn, 38);
  EXPECT_FLOAT_EQ(engine->view.spin_yaw, 90.0f);
  for (float s : engine->view.scale) EXPECT_FLOAT_EQ(s, 1.0f);
  EXPECT_STREQ(engine->paths.data_path, data->path().c_str());
  EXPECT_NE(engine->scene.script_runner, nullptr);
}

TEST_F(EngineLifecycle, StopReleasesEverythingAndIsSafeToRepeat) {
  start();
  stop_engine();
  EXPECT_EQ(g_engine, nullptr);
  stop_engine();  // no engine: nothing happens
  EXPECT_EQ(g_engine, nullptr);
  start();  // and a new one starts cleanly
  EXPECT_EQ(g_engine->pacing.running, 1);
}

// One set of start-up values: a record as constructed already holds what a
// started engine runs with, so start-up sets nothing twice.
TEST(EngineRecord, ConstructedRecordHoldsTheStartUpValues) {
  Engine engine;
  EXPECT_EQ(engine.pacing.running, 0);
  EXPECT_EQ(engine.view.width, 640);
  EXPECT_EQ(engine.view.height, 480);
  EXPECT_FLOAT_EQ(engine.view.fov, 40.0f);
  EXPECT_EQ(engine.settings.tfilter, 6);
  EXPECT_EQ(engine.settings.trilinear, 1);
  EXPECT_EQ(engine.window.multisample, 1);
  EXPECT_EQ(engine.window.samples, 2);
  EXPECT_EQ(engine.window.swap_interval, 1);
  EXPECT_EQ(engine.input.keybd, 1);
  EXPECT_EQ(engine.input.focus, -1);
  EXPECT_EQ(engine.settings.draw_mode, 4);
  EXPECT_FLOAT_EQ(engine.view.far_clip, 8000.0f);
  EXPECT_FLOAT_EQ(engine.fog.fog_color[0], 0.0f);
  EXPECT_FLOAT_EQ(engine.fog.fog_color[3], 1.0f);
  EXPECT_FLOAT_EQ(engine.fog.fade_color[3], 1.0f);
  EXPECT_STREQ(engine.paths.data_path, "/");
  EXPECT_STREQ(engine.paths.exe_path, "/");
  EXPECT_EQ(engine.window.hglrc, nullptr);
}

TEST(EngineRecord, TableCapacities) {
  Engine engine;
  EXPECT_EQ(engine.scene.objects.capacity, 199);
  EXPECT_EQ(engine.scene.framers.capacity, 199);
  EXPECT_EQ(engine.scene.lights.capacity, 8);
  EXPECT_EQ(sizeof(engine.resources.textures) / sizeof(engine.resources.textures[0]), 255u);
  for (cObject* slot : engine.scene.objects.slots) EXPECT_EQ(slot, nullptr);
}

// The count is one past the highest occupied slot: raised on creation, found
// again on deletion; new elements take the lowest free slot.
TEST(ElementTable, CountsLowestFreeSlotAndRecount) {
  ElementTable<int, 4> table;
  int a = 1, b = 2, c = 3;
  EXPECT_EQ(table.lowest_free(), 0);
  table[0] = &a;
  table.raise(0);
  table[2] = &b;
  table.raise(2);
  EXPECT_EQ(table.count, 3);
  table.raise(1);  // a lower slot leaves it
  EXPECT_EQ(table.count, 3);
  EXPECT_EQ(table.lowest_free(), 1);
  EXPECT_EQ(table.at(2), &b);
  EXPECT_EQ(table.at(-1), nullptr);
  EXPECT_EQ(table.at(4), nullptr);

  table[2] = nullptr;
  table.recount();
  EXPECT_EQ(table.count, 1);
  table[0] = nullptr;
  table.recount();
  EXPECT_EQ(table.count, 0);

  for (int slot = 0; slot < 4; ++slot) table[slot] = &c;
  EXPECT_EQ(table.lowest_free(), -1);  // full
}

TEST(ProgramPaths, DataFolderBesideTheExecutable) {
  Engine engine;
  find_program_paths(&engine, "/x/y/talpine");
  EXPECT_STREQ(engine.paths.exe_path, "/x/y/");
  EXPECT_STREQ(engine.paths.data_path, "/x/y/Data/");
}

TEST(ProgramPaths, OverlongPathIsCutNotOverrun) {
  Engine engine;
  std::string deep = "/" + std::string(300, 'a') + "/talpine";
  find_program_paths(&engine, deep.c_str());
  EXPECT_EQ(std::string(engine.paths.exe_path).size(), PATH_SIZE - 1u);
  EXPECT_EQ(std::string(engine.paths.data_path).size(), PATH_SIZE - 1u);
}
