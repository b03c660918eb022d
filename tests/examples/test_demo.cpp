// The demo tour plays headless: its script parses, every command it sends is
// recognised, and the program ends normally.
#include <gtest/gtest.h>

#include <regex>

#include "tests/examples/example_run.h"

namespace {

const std::string DEMO = std::string(TALPINE_SOURCE_DIR) + "/demo/Data";

TEST(Demo, TheTourStartsWithoutAnyMessage) {
  DataFolder data;
  copy_folder(DEMO, data);
  RunResult run = run_talpine(data, {"--size", "480x320", "--max-frames", "60"}, true, 240);
  EXPECT_EQ(run.exit_status, 0) << run.output << run.errors;
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errors, "");
  EXPECT_TRUE(run.has_screenshot);
}

// Every section once, each cut to a fraction of a second: every command of the
// tour reaches the dispatcher, and none is refused.
TEST(Demo, EverySectionRunsOnceWithoutAnyMessage) {
  DataFolder data;
  copy_folder(DEMO, data);
  std::string script = read_file(DEMO + "/script.txt");
  ASSERT_NE(script.find("while (1) {"), std::string::npos);
  script.replace(script.find("while (1) {"), 11, "while (tour < 1) {");
  script = std::regex_replace(script, std::regex("time - t0 < [0-9]+"), "time - t0 < 300");
  script = std::regex_replace(script, std::regex("sleep [0-9]{4};"), "sleep 300;");
  data.write("script.txt", script + "print tour;\n");
  RunResult run = run_talpine(data, {"--size", "320x200", "--frames", "2"}, false, 240);
  EXPECT_EQ(run.exit_status, 0) << run.output << run.errors;
  EXPECT_EQ(run.output, "Talpine Engine 2.02: script print: 1.000000\n");
  // The room's bake reports its progress, and nothing else is said.
  EXPECT_NE(run.errors.find("Baking lightmaps: material 1 of 1, triangle 24 of 24\n"), std::string::npos);
  EXPECT_EQ(std::regex_replace(run.errors, std::regex("Baking lightmaps: [^\n]*\n"), ""), "");
}

}  // namespace
