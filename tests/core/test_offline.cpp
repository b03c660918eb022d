// Reproducible runs on the fixed-step clock, recording frames, and reloading a
// watched script, through the program as a user runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
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

// Everything that steps with engine time at once: water dropping blocks at
// random places, particles with random starts, a keyframed ball, and a fade
// whose colour comes from the script's `random`.
static const char* ANIMATED_SCRIPT =
    "pool = load(\"pool\");\n"
    "object pool diffuse (0.6, 0.8, 1);\n"
    "object pool position (0, -2, 24);\n"
    "object pool lighted 1;\n"
    "object pool active 1;\n"
    "w = new cWater(pool);\n"
    "water w speed (20, 100);\n"
    "water w wave (0, 2, 0.03);\n"
    "water w active 1;\n"
    "sun = new cLight(-1);\n"
    "light sun position (-10, 20, 10);\n"
    "light sun active 1;\n"
    "spray = new cParticle(-1);\n"
    "particle spray position (0, 0, 14);\n"
    "particle spray total 200;\n"
    "particle spray size 0.3;\n"
    "particle spray radius 0.2;\n"
    "particle spray active 1;\n"
    "ball = load(\"pool\");\n"
    "object ball diffuse (1, 0.4, 0.2);\n"
    "object ball active 1;\n"
    "k = new cFramer(ball);\n"
    "framer k total (2, 20);\n"
    "framer k position (0, -5, 0, 30);\n"
    "framer k position (1, 5, 0, 30);\n"
    "framer k speed 10;\n"
    "framer k start;\n"
    "r = random(0, 100) / 100;\n"
    "scene fade (r, 0.5, 0.5, 1, -0.01);\n"
    "scene position (0, 10, 0);\n"
    "scene rotation (-30, 0, 0);\n"
    "sleep 120;\n"
    "scene fogcolor (random, random, random);\n";

static std::string screenshot_of(const std::vector<std::string>& args) {
  DataFolder data;
  data.write("script.txt", ANIMATED_SCRIPT);
  data.write("pool.3ds", file_bytes(std::string(TALPINE_SOURCE_DIR) + "/examples/water/Data/pool.3ds"));
  std::string shot = data.path() + "shot.png";
  std::vector<std::string> command = {"--headless", "--data", data.path(), "--size", "96x64", "--screenshot", shot};
  command.insert(command.end(), args.begin(), args.end());
  RunResult run = run_talpine_raw(data, command, {});
  EXPECT_EQ(run.exit_status, 0) << run.output << run.errors;
  EXPECT_EQ(run.output, "");  // no script error
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

// A verb's result comes with the drain at the start of a frame; the frame then
// goes on drawing and steps the clock. The script must always resume after that
// step: resuming at once read `time` before or after it by chance, so a loop
// timed from a `time` taken after a `load` ended on a different frame from run
// to run.
TEST(FixedStep, AScriptReleasedByAVerbResumesAtTheNextFramesTime) {
  DataFolder data;
  data.write("script.txt", "for (i = 0; i < 20; i++) { n = status cObject(0); print time; }\n");
  RunResult run = run_talpine(data, {"--fixed-step", "10", "--frames", "1", "--size", "64x48"});
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  std::string expected;
  for (int i = 1; i <= 20; ++i)
    expected += "Talpine Engine 2.02: script print: " + std::to_string(i * 10) + ".000000\n";
  EXPECT_EQ(run.output, expected);
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
  }
  EXPECT_NE(run.errors.find("recorded 5 frames (frame 1 to 5, engine time 0 to 80 ms)"), std::string::npos)
      << run.errors;
  EXPECT_FALSE(fs::exists(frames + "/frame000006.png"));
}

// Without --frames or --max-frames a recording ends with the script: one
// frame more once it has ended and its commands ran.
TEST(Record, WithoutALengthEndsWhenTheScriptEnds) {
  DataFolder data;
  data.write("script.txt", "sleep 100;\nscene color (1, 0, 0);\n");
  std::string frames = data.path() + "frames";
  RunResult run = run_talpine(data, {"--record", frames, "--fps", "50", "--size", "40x30"}, false, 60);
  ASSERT_FALSE(run.timed_out);
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  int written = 0;
  for (const auto& entry : fs::directory_iterator(frames)) written += entry.path().extension() == ".png";
  // 100 ms of sleep at 20 ms a frame, then the frame that shows the colour.
  EXPECT_GE(written, 5);
  EXPECT_LE(written, 8);
  char last[32];
  std::snprintf(last, sizeof last, "/frame%06d.png", written);
  RunResult picture;
  ASSERT_TRUE(read_png_file(frames + last, &picture));
  int r, g, b;
  picture.pixel(20, 15, &r, &g, &b);
  EXPECT_GT(r, 200);
  EXPECT_LT(g + b, 40);
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

// The animated scene, then at 300 ms a flare that tests the depth buffer at
// its pixel: frames before it are drawn cut down while unseen, frames after it
// in full.
static const std::string FLARED_SCRIPT = std::string(ANIMATED_SCRIPT) +
    "sleep 180;\n"
    "star = load(\"star\");\n"
    "f = new cFlare(-1);\n"
    "flare f texture star;\n"
    "flare f position (2, 3, 14);\n"
    "flare f size 3;\n"
    "flare f test 2;\n"
    "flare f active 1;\n";

TEST(StartAt, FourChunksGiveTheFramesOfOneRun) {
  DataFolder data;
  data.write("script.txt", FLARED_SCRIPT);
  data.write("pool.3ds", file_bytes(std::string(TALPINE_SOURCE_DIR) + "/examples/water/Data/pool.3ds"));
  data.write("star.png", file_bytes(std::string(TALPINE_SOURCE_DIR) + "/examples/flares/Data/star.png"));
  const std::string whole = data.path() + "whole", chunks = data.path() + "chunks";
  RunResult run = run_talpine(data, {"--record", whole, "--fps", "50", "--max-frames", "40", "--size", "96x64"});
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  // Chunks of 10 frames (0.2 s at 50 frames a second), all into one folder.
  for (int chunk = 0; chunk < 4; ++chunk) {
    const std::string start = std::to_string(chunk * 0.2);
    run = run_talpine(data, {"--record", chunks, "--fps", "50", "--start-at", start, "--max-frames", "10",
                             "--size", "96x64"});
    ASSERT_EQ(run.exit_status, 0) << run.errors;
    if (chunk > 0) {
      EXPECT_NE(run.errors.find("after " + std::to_string(10 * chunk) + " unseen frames"), std::string::npos)
          << run.errors;
    }
  }
  int compared = 0;
  std::set<std::string> distinct;
  for (int frame = 1; frame <= 40; ++frame) {
    char name[32];
    std::snprintf(name, sizeof name, "/frame%06d.png", frame);
    std::string one = file_bytes(whole + name), split = file_bytes(chunks + name);
    ASSERT_FALSE(one.empty()) << name;
    EXPECT_EQ(one, split) << name;
    compared += one == split;
    distinct.insert(one);
  }
  EXPECT_EQ(compared, 40);
  EXPECT_GT(distinct.size(), 30u);  // the scene moves from frame to frame
  EXPECT_FALSE(fs::exists(chunks + "/frame000041.png"));
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
  EXPECT_EQ(options.record, "r");
  EXPECT_DOUBLE_EQ(options.fixed_step_ms, 40.0);  // implied by the recording's rate
  EXPECT_EQ(options.seed, 7u);
  EXPECT_TRUE(options.seed_given);
  EXPECT_TRUE(options.watch);
  EXPECT_EQ(options.frames, 1);  // a recording without a length ends with the script

  LaunchOptions explicit_step;
  const char* argv2[] = {"talpine", "--fixed-step", "2.5", "--record", "r", "--max-frames", "9"};
  ASSERT_EQ(parse_command_line(7, argv2, &explicit_step, &error), CommandLineAction::Run);
  EXPECT_DOUBLE_EQ(explicit_step.fixed_step_ms, 2.5);
  EXPECT_EQ(explicit_step.frames, -1);
  EXPECT_FALSE(explicit_step.seed_given);

  LaunchOptions check;
  const char* argv4[] = {"talpine", "--check", "--data", "d"};
  EXPECT_EQ(parse_command_line(4, argv4, &check, &error), CommandLineAction::Check);
  EXPECT_EQ(check.data_dir, "d");

  for (const char* bad : {"0", "-3", "x"}) {
    LaunchOptions o;
    const char* argv3[] = {"talpine", "--fixed-step", bad};
    EXPECT_EQ(parse_command_line(3, argv3, &o, &error), CommandLineAction::Error) << bad;
  }

  LaunchOptions video;
  const char* argv5[] = {"talpine", "--record", "out.webm", "--crf", "40", "--start-at", "2.5"};
  ASSERT_EQ(parse_command_line(7, argv5, &video, &error), CommandLineAction::Run) << error;
  EXPECT_EQ(video.record, "out.webm");
  EXPECT_EQ(video.crf, 40);
  EXPECT_DOUBLE_EQ(video.start_at_ms, 2500.0);
  EXPECT_DOUBLE_EQ(video.fixed_step_ms, 1000.0 / 60);

  // --start-at needs the fixed-step clock; qualities run from 0 to 63.
  const std::vector<std::vector<const char*>> wrong = {
      {"talpine", "--start-at", "3"},           {"talpine", "--fixed-step", "10", "--start-at", "-1"},
      {"talpine", "--record", "a.mp4", "--crf", "64"}, {"talpine", "--record", "a.mp4", "--crf", "x"},
      {"talpine", "--record", "a", "--start-at", "1", "--watch"}};
  for (const auto& args : wrong) {
    LaunchOptions o;
    EXPECT_EQ(parse_command_line(static_cast<int>(args.size()), args.data(), &o, &error), CommandLineAction::Error)
        << args[1];
  }
}
