// Frame statistics: the parts a frame's time is split into, the overlay key and
// picture, the --stats lines and summary, and the pacing of headless swaps.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>

#include "core/engine.h"
#include "frame/frame.h"
#include "frame/frame_stats.h"
#include "frame/input.h"
#include "platform/platform.h"
#include "tests/support/e2e.h"
#include "tests/support/gl_fixture.h"

namespace {

std::string source_file(const std::string& path) {
  std::ifstream in(std::string(TALPINE_SOURCE_DIR) + "/" + path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class FrameStatsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    frame_stats().reset();
    frame_stats().set_printing(true);
  }
  void TearDown() override {
    frame_stats().set_printing(false);
    if (frame_stats().overlay()) frame_stats().toggle_overlay();
    frame_stats().reset();
    EngineTest::TearDown();
  }
  // An example's data folder, copied, and started.
  void start_example(const std::string& name, const std::vector<std::string>& files) {
    for (const std::string& file : files) data->write(file, source_file("examples/" + name + "/Data/" + file));
    start(source_file("examples/" + name + "/Data/script.txt"));
  }
  // Draws until `sampled` frames had their parts measured.
  void draw_sampled(int sampled) {
    for (int calls = 0; calls < 20000 && sampled_frames() < sampled; ++calls) run_frame(engine);
    ASSERT_GE(sampled_frames(), sampled);
  }
  int sampled_frames() const {
    int n = 0;
    for (const FrameStats::Frame& frame : frame_stats().frames()) n += frame.sampled;
    return n;
  }
};

double parts_sum(const FrameStats::Frame& frame) {
  return std::accumulate(std::begin(frame.part_ms), std::end(frame.part_ms), 0.0);
}

// Every part is timed once, outside the others: a render target's second
// drawing of the scene counts in the render targets, never again in the scene
// pass, so the parts of a frame never add up to more than the frame.
TEST_F(FrameStatsTest, PartsAreDisjointAndNestedScenesCountInTheirTarget) {
  start_example("render_target", {"checker.png", "monitor.obj", "ring.obj"});
  draw_sampled(2);
  int with_target = 0;
  for (const FrameStats::Frame& frame : frame_stats().frames()) {
    if (!frame.sampled) continue;
    EXPECT_LE(parts_sum(frame), frame.call_ms + 0.5);
    for (float ms : frame.part_ms) EXPECT_GE(ms, 0.0f);
    with_target += frame.part_ms[PART_TARGETS] > 0.0f;
  }
  EXPECT_GT(with_target, 0);
}

TEST_F(FrameStatsTest, ShadowsAndCsgHaveAPartOfTheirOwn) {
  start_example("shadows", {"checker.png", "crate.obj", "floor.obj"});
  draw_sampled(2);
  const FrameStats::Frame& last = frame_stats().frames().back();
  bool shadows = false;
  for (const FrameStats::Frame& frame : frame_stats().frames())
    if (frame.sampled && frame.part_ms[PART_SHADOWS_CSG] > 0.0f && frame.part_ms[PART_SCENE] > 0.0f) shadows = true;
  EXPECT_TRUE(shadows);
  EXPECT_GT(last.call_ms, 0.0f);
}

TEST_F(FrameStatsTest, EachSecondMakesAReportAndTheRunASummary) {
  start("x = 1;\n");
  EXPECT_EQ(frame_stats().summary(), "");
  auto begin = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - begin < std::chrono::milliseconds(1300)) run_frame(engine);
  const StatsReport& second = frame_stats().last_second();
  EXPECT_GT(second.frames, 0);
  EXPECT_NEAR(second.fps, second.frames / second.seconds, 1e-6);
  EXPECT_GT(second.sampled, 0);
  EXPECT_LE(second.sampled, 2);  // the first frame of each second

  std::string line = format_report(second);
  EXPECT_NE(line.find(" fps, "), std::string::npos) << line;
  for (int p = 0; p < FRAME_PARTS; ++p) EXPECT_NE(line.find(frame_part_name(p)), std::string::npos) << line;

  // The script had ended before all but the first frames.
  std::string summary = frame_stats().summary();
  EXPECT_NE(summary.find("talpine: stats: " + std::to_string(frame_stats().frames().size()) + " frames, median"),
            std::string::npos)
      << summary;
  EXPECT_NE(summary.find("after the script ended: "), std::string::npos) << summary;
}

TEST_F(FrameStatsTest, NothingIsRecordedWhileNothingAsks) {
  start();
  frame_stats().set_printing(false);
  draw_frames(5);
  EXPECT_TRUE(frame_stats().frames().empty());
  EXPECT_EQ(frame_stats().last_second().frames, 0);
}

// F3 shows and hides the figures, like the engine's other keys only while the
// keyboard drives the camera, and not when the script made it a camera key.
TEST_F(FrameStatsTest, TheOverlayKeyTogglesUnlessTakenOrTheKeyboardIsOff) {
  start();
  platform::Event press;
  press.type = platform::EventType::KeyDown;
  press.key = STATS_OVERLAY_KEY;
  window_procedure(press);
  EXPECT_TRUE(frame_stats().overlay());
  platform::Event repeated = press;
  repeated.repeat = true;
  window_procedure(repeated);
  EXPECT_TRUE(frame_stats().overlay());
  window_procedure(press);
  EXPECT_FALSE(frame_stats().overlay());

  engine->input.keybd = 0;
  window_procedure(press);
  EXPECT_FALSE(frame_stats().overlay());
  engine->input.keybd = 1;
  engine->input.key_rt = STATS_OVERLAY_KEY;
  float yaw = engine->view.cam_rot[1];
  window_procedure(press);
  EXPECT_FALSE(frame_stats().overlay());
  EXPECT_NE(engine->view.cam_rot[1], yaw);  // the camera turned instead
}

// The figures appear in the top-left corner of a black window in the font's
// colour, and nowhere once hidden again.
TEST_F(FrameStatsTest, TheOverlayDrawsTheFiguresWithTheFont) {
  data->write("FONT.png", source_file("demo/Data/FONT.png"));
  data->write("FONT.fnt", source_file("demo/Data/FONT.fnt"));
  start();
  frame_stats().set_printing(false);
  auto lit_pixels = [&] {
    int lit = 0;
    for (int y = window_height - 60; y < window_height; y += 2)
      for (int x = 0; x < 160; x += 2) {
        int r, g, b;
        presented_pixel(x, y, &r, &g, &b);
        lit += r > 60 && g > 60;
      }
    return lit;
  };
  draw_frames(2);
  EXPECT_EQ(lit_pixels(), 0);
  frame_stats().toggle_overlay();
  draw_frames(2);
  EXPECT_GT(lit_pixels(), 20);
  frame_stats().toggle_overlay();
  draw_frames(1);
  EXPECT_EQ(lit_pixels(), 0);
}

// ---- the program ------------------------------------------------------------

// The median frame of a run as --stats sums it up.
double median_frame_ms(const RunResult& run) {
  size_t at = run.errors.find("frames, median ");
  if (at == std::string::npos) return -1.0;
  return std::atof(run.errors.c_str() + at + 15);
}

// Headless, swaps are paced as a 60 Hz display paces them, so a frame takes
// at least a refresh; --no-vsync and the fixed-step clock draw as fast as they can.
TEST(HeadlessPacing, SwapsWaitForA60HzRefreshUnlessToldOrOnTheFixedStepClock) {
  DataFolder data;
  RunResult paced = run_talpine(data, {"--size", "64x48", "--max-frames", "30", "--stats"});
  ASSERT_EQ(paced.exit_status, 0) << paced.errors;
  EXPECT_GE(median_frame_ms(paced), 16.0) << paced.errors;

  for (std::vector<std::string> unpaced : {std::vector<std::string>{"--no-vsync"}, {"--fixed-step", "10"}}) {
    std::vector<std::string> args = {"--size", "64x48", "--max-frames", "30", "--stats"};
    args.insert(args.end(), unpaced.begin(), unpaced.end());
    RunResult run = run_talpine(data, args);
    ASSERT_EQ(run.exit_status, 0) << run.errors;
    double median = median_frame_ms(run);
    EXPECT_GE(median, 0.0) << run.errors;
    EXPECT_LT(median, 16.0) << unpaced[0] << "\n" << run.errors;
  }
}

TEST(HeadlessPacing, StatsPrintOnceASecondAndSumUpTheRun) {
  DataFolder data;
  data.write("script.txt", "t = time; while (time - t < 1500) { sleep 10; }\n");
  RunResult run = run_talpine(data, {"--size", "64x48", "--frames", "10", "--stats"});
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_NE(run.errors.find("talpine: "), std::string::npos);
  EXPECT_NE(run.errors.find(" fps, "), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("after the script ended: 10 frames in "), std::string::npos) << run.errors;
  EXPECT_EQ(run.output, "");  // standard output keeps only the script's messages
}

}  // namespace
