// A real GL context for tests: a started engine on SDL's offscreen driver
// (Mesa's llvmpipe, no display server). One engine per test, started in SetUp
// and stopped in TearDown; the data folder is a fresh temporary one.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "core/engine.h"
#include "frame/engine_start.h"
#include "tests/support/e2e.h"

class EngineTest : public ::testing::Test {
 protected:
  // Override before SetUp to change the window size.
  int window_width = 320;
  int window_height = 240;

  void SetUp() override;
  void TearDown() override;

  // Starts (again) with the script text given; "" means no script.txt.
  void start(const std::string& script = "");

  // Runs frames until `count` were drawn (bounded number of calls).
  void draw_frames(int count);

  // Pixel of the last presented frame, (x, y) from the bottom-left corner.
  void presented_pixel(int x, int y, int* r, int* g, int* b);

  Engine* engine = nullptr;
  std::unique_ptr<DataFolder> data;
};
