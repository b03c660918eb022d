// Reproducible runs on the fixed-step clock, recording frames, and reloading a
// watched script, through the program as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/options.h"
#include "tests/support/e2e.h"

namespace fs = std::filesystem;

static std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fade whose colour comes from `random` and whose alpha moves with engine
// time: the screenshot depends on the seed, the clock and the frame count.
static const char* ANIMATED_SCRIPT =
    "r = random(0, 100) / 100;\n"
    "g = random(0, 100) / 100;\n"
    "scene fade (r, g, 0.5, 1, -0.01);\n"
    "sleep 120;\n"
    "scene fogcolor (random, random, random);\n";

static std::string screenshot_of(const std::vector<std::string>& args) {
  DataFolder data;
  data.write("script.txt", ANIMATED_SCRIPT);
  std::string shot = data.path() + "shot.png";
  std::vector<std::string> command = {"--headless", "--data", data.path(), "--size", "64x48", "--screenshot", shot};
  command.insert(command.end(), args.begin(), args.end());
  RunResult run = run_talpine_raw(data, command, {});
  EXPECT_EQ(run.exit_status, 0) << run.output << run.errors;
  return file_bytes(shot);
}

TEST(FixedStep, TheSameScriptGivesTheSameFrames) {
  std::string first = screenshot_of({"--fixed-step", "10", "--frames", "30"});
  std::string second = screenshot_of({"--fixed-step", "10", "--frames", "30"});
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(first, second);
  EXPECT_NE(first, screenshot_of({"--fixed-step", "7", "--frames", "30"}));
  EXPECT_NE(first, screenshot_of({"--fixed-step", "10", "--frames", "30", "--seed", "2"}));
}

TEST(FixedStep, SleepSpansTheFramesOfItsLength) {
  DataFolder data;
  data.write("script.txt", "print time;\nsleep 100;\nprint time;\n");
  std::string frames = data.path() + "frames";
  RunResult run = run_talpine(data, {"--fixed-step", "10", "--record", frames, "--frames", "1"});
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.output,
            "Talpine Engine 2.02: script print: 0.000000\n"
            "Talpine Engine 2.02: script print: 100.000000\n");
  // Ten frames at 0..90 ms while it sleeps; at 100 it wakes and ends before
  // the frame, which is the one asked for after its end.
  int written = 0;
  for (const auto& entry : fs::directory_iterator(frames)) written += entry.path().extension() == ".png";
  EXPECT_EQ(written, 11);
}

TEST(Record, WritesEveryFrameAtMultiplesOfItsStep) {
  DataFolder data;
  std::string frames = data.path() + "out/frames";
  RunResult run = run_talpine(data, {"--record", frames, "--fps", "50", "--frames", "5", "--size", "40x30"});
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  for (int i = 1; i <= 5; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame%06d.png", i);
    RunResult frame;
    ASSERT_TRUE(read_png_file(frames + name, &frame)) << name;
    EXPECT_EQ(frame.width, 40);
    EXPECT_EQ(frame.height, 30);
    std::string line = "recorded frame " + std::to_string(i) + " at engine time " + std::to_string((i - 1) * 20) + " ms";
    EXPECT_NE(run.errors.find(line), std::string::npos) << line << "\n" << run.errors;
  }
  EXPECT_FALSE(fs::exists(frames + "/frame000006.png"));
}

TEST(FixedStep, ALongComputationStillLetsFramesThrough) {
  DataFolder data;
  // 300,000 statements without a wait: three statement budgets, so the frames
  // keep coming while it computes, and the count is the same on every run.
  data.write("script.txt", "for (i = 0; i < 300000; i++) { x = x + 1; }\nprint x;\n");
  std::string frames = data.path() + "frames";
  RunResult run = run_talpine(data, {"--fixed-step", "10", "--frames", "1", "--record", frames});
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.output, "Talpine Engine 2.02: script print: 300000.000000\n");
  int written = 0;
  for (const auto& entry : fs::directory_iterator(frames)) written += entry.path().extension() == ".png";
  EXPECT_GE(written, 4);
  RunResult again = run_talpine(data, {"--fixed-step", "10", "--frames", "1", "--record", frames + "2"});
  int written_again = 0;
  for (const auto& entry : fs::directory_iterator(frames + "2")) written_again += entry.path().extension() == ".png";
  EXPECT_EQ(written, written_again);
}

TEST(Watch, AChangedScriptReplacesTheRunningOneAndABrokenEditKeepsTheWindow) {
  DataFolder data;
  data.write("script.txt", "print 1;\nwhile (1) { sleep 10; }\n");
  TalpineProcess talpine(data, {"--headless", "--data", data.path(), "--watch", "--max-frames", "100000"});
  ASSERT_TRUE(talpine.wait_for_output("script print: 1.000000"));

  data.write("script.txt", "print 2;\nx = ;\n");  // a syntax error
  // Give the watch a moment: modification times can be coarse.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  data.write("script.txt", "print 2;\nx = ;\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_EQ(talpine.output_so_far().find("script print: 2"), std::string::npos);  // it never ran

  data.write("script.txt", "print 3;\nscene stop;\n");
  ASSERT_TRUE(talpine.wait_for_output("script print: 3.000000"));
  RunResult run = talpine.finish();
  EXPECT_EQ(run.exit_status, 0);  // the good script ended it normally
  EXPECT_NE(run.errors.find("Test: Script error\nline 2: syntax error"), std::string::npos) << run.errors;
  EXPECT_EQ(run.output.find("Test: Script error"), std::string::npos);
}

TEST(CommandLine, OfflineOptions) {
  LaunchOptions options;
  std::string error;
  const char* argv[] = {"talpine", "--record", "r", "--fps", "25", "--seed", "7", "--watch"};
  ASSERT_EQ(parse_command_line(8, argv, &options, &error), CommandLineAction::Run) << error;
  EXPECT_EQ(options.record_dir, "r");
  EXPECT_DOUBLE_EQ(options.fixed_step_ms, 40.0);  // implied by the recording's rate
  EXPECT_EQ(options.seed, 7u);
  EXPECT_TRUE(options.watch);

  LaunchOptions explicit_step;
  const char* argv2[] = {"talpine", "--fixed-step", "2.5", "--record", "r"};
  ASSERT_EQ(parse_command_line(5, argv2, &explicit_step, &error), CommandLineAction::Run);
  EXPECT_DOUBLE_EQ(explicit_step.fixed_step_ms, 2.5);

  for (const char* bad : {"0", "-3", "x"}) {
    LaunchOptions o;
    const char* argv3[] = {"talpine", "--fixed-step", bad};
    EXPECT_EQ(parse_command_line(3, argv3, &o, &error), CommandLineAction::Error) << bad;
  }
}
