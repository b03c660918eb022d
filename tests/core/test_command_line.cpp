// The program as a user runs it: options, screenshots and exit statuses.
#include <gtest/gtest.h>

#include "app/options.h"
#include "tests/support/e2e.h"

TEST(CommandLine, EmptyDataFolderGivesAClearColourScreenshot) {
  DataFolder data;
  RunResult run = run_talpine(data, {"--frames", "3"}, true);
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  ASSERT_TRUE(run.has_screenshot);
  EXPECT_EQ(run.width, 1200);
  EXPECT_EQ(run.height, 800);
  for (auto [x, y] : {std::pair{0, 0}, {600, 400}, {1199, 799}}) {
    int r, g, b;
    run.pixel(x, y, &r, &g, &b);
    EXPECT_EQ(r + g + b, 0) << x << "," << y;
  }
  EXPECT_EQ(run.output, "");
}

TEST(CommandLine, SizeSetsTheWindowAndTheScreenshot) {
  DataFolder data;
  RunResult run = run_talpine(data, {"--size", "320x240", "--max-frames", "2"}, true);
  ASSERT_EQ(run.exit_status, 0) << run.errors;
  ASSERT_TRUE(run.has_screenshot);
  EXPECT_EQ(run.width, 320);
  EXPECT_EQ(run.height, 240);
}

TEST(CommandLine, HelpVersionAndBadOptions) {
  DataFolder data;
  RunResult help = run_talpine_raw(data, {"--help"}, {});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_NE(help.output.find("--screenshot FILE"), std::string::npos);
  EXPECT_NE(help.output.find("paced as a 60 Hz display"), std::string::npos) << help.output;
  EXPECT_NE(help.output.find("--stats"), std::string::npos);
  RunResult version = run_talpine_raw(data, {"--version"}, {});
  EXPECT_EQ(version.exit_status, 0);
  EXPECT_EQ(version.output, "talpine 2.02\n");
  for (std::vector<std::string> bad : {std::vector<std::string>{"--bogus"}, {"--size", "0x10"}, {"--size", "12"},
                                       {"--frames", "-1"}, {"--frames"}, {"--max-frames", "two"}}) {
    RunResult run = run_talpine_raw(data, bad, {});
    EXPECT_EQ(run.exit_status, 1) << bad[0];
    EXPECT_NE(run.errors.find("talpine: "), std::string::npos) << bad[0];
  }
}

TEST(CommandLine, StartUpFailureExitsOneAndSaysWhy) {
  DataFolder data;
  RunResult run = run_talpine_raw(data, {"--headless", "--data", data.path(), "--frames", "1"},
                                  {"SDL_VIDEODRIVER=no-such-driver"});
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_NE(run.errors.find("cannot open the window"), std::string::npos) << run.errors;
}

TEST(CommandLine, ParsesEveryOption) {
  LaunchOptions options;
  std::string error;
  const char* argv[] = {"talpine", "--data", "/d", "--headless", "--size", "640x480", "--frames", "5",
                        "--max-frames", "9", "--screenshot", "s.png"};
  ASSERT_EQ(parse_command_line(12, argv, &options, &error), CommandLineAction::Run) << error;
  EXPECT_EQ(options.data_dir, "/d");
  EXPECT_TRUE(options.headless);
  EXPECT_EQ(options.width, 640);
  EXPECT_EQ(options.height, 480);
  EXPECT_EQ(options.frames, 5);
  EXPECT_EQ(options.max_frames, 9);
  EXPECT_EQ(options.screenshot, "s.png");
  EXPECT_TRUE(options.vsync);
  EXPECT_FALSE(options.stats);

  LaunchOptions more;
  const char* argv2[] = {"talpine", "--no-vsync", "--stats"};
  ASSERT_EQ(parse_command_line(3, argv2, &more, &error), CommandLineAction::Run) << error;
  EXPECT_FALSE(more.vsync);
  EXPECT_TRUE(more.stats);
}
