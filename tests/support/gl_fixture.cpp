#include "tests/support/gl_fixture.h"

#include <vector>

#include "core/exit_status.h"
#include "core/launch_options.h"
#include "frame/frame.h"
#include "platform/platform.h"

void EngineTest::SetUp() {
  data = std::make_unique<DataFolder>();
}

void EngineTest::start(const std::string& script) {
  if (g_engine) stop_engine();
  if (!script.empty()) data->write("script.txt", script);
  g_launch = LaunchOptions{};
  g_launch.headless = true;
  g_launch.vsync = false;  // frames as fast as they draw, as the tests expect
  g_launch.data_dir = data->path();
  g_launch.width = window_width;
  g_launch.height = window_height;
  clear_script_error();
  ASSERT_TRUE(start_engine());
  engine = g_engine;
}

void EngineTest::TearDown() {
  stop_engine();
  engine = nullptr;
  // Leave no stale events (quit requests) for the next test.
  platform::Event event;
  while (platform::poll_event(&event)) {
  }
}

void EngineTest::draw_frames(int count) {
  int drawn = 0;
  for (int calls = 0; drawn < count && calls < count * 1000; ++calls) drawn += run_frame(engine);
  ASSERT_EQ(drawn, count);
}

void EngineTest::presented_pixel(int x, int y, int* r, int* g, int* b) {
  std::vector<uint8_t> rgb;
  ASSERT_TRUE(platform::read_presented_frame(x, y, 1, 1, &rgb));
  *r = rgb[0];
  *g = rgb[1];
  *b = rgb[2];
}
