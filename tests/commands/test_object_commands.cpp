// The `object` command of the classes that have one (light, framer, deform,
// water, texgfx) written as listed, through the program: each element is made
// for one object and then moved to another with `object`, and the picture or
// a status query shows that the second object is the one it drives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/e2e.h"

namespace {

// Copies an example's asset into the data folder.
void copy_asset(const DataFolder& data, const std::string& example, const std::string& file) {
  std::ifstream in(std::string(TALPINE_SOURCE_DIR) + "/examples/" + example + "/Data/" + file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  ASSERT_FALSE(bytes.str().empty()) << file;
  data.write(file, bytes.str());
}

RunResult run_scene(const DataFolder& data, const std::string& script, bool screenshot = false) {
  data.write("script.txt", script);
  return run_talpine(data, {"--fixed-step", "16", "--frames", "2", "--size", "192x128"}, screenshot);
}

double mean_luminance(const RunResult& run, int x0, int y0, int x1, int y1) {
  double sum = 0;
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      int r, g, b;
      run.pixel(x, y, &r, &g, &b);
      sum += 0.299 * r + 0.587 * g + 0.114 * b;
      ++n;
    }
  return n ? sum / n : 0;
}

TEST(ObjectCommand, ALightFollowsTheObjectItIsGiven) {
  DataFolder data;
  copy_asset(data, "lights", "ball.obj");
  const std::string scene =
      "ball = load(\"ball\"); object ball diffuse (1, 1, 1); object ball position (0, 0, 6);\n"
      "object ball lighted 1; object ball active 1;\n"
      "left = load(\"ball\"); object left position (-4, 0, 6); object left active 1;\n"
      "right = load(\"ball\"); object right position (4, 0, 6); object right active 1;\n"
      "l = new cLight(left);\n";
  RunResult moved = run_scene(data, scene + "light l object right;\nlight l active 1;\nsleep 50;\n", true);
  ASSERT_EQ(moved.exit_status, 0) << moved.output << moved.errors;
  ASSERT_TRUE(moved.has_screenshot);
  // The middle ball is lit from the right: its right half is the bright one.
  double left_half = mean_luminance(moved, 72, 56, 86, 72), right_half = mean_luminance(moved, 106, 56, 120, 72);
  EXPECT_GT(right_half, left_half + 40) << left_half << " " << right_half;

  RunResult kept = run_scene(data, scene + "light l active 1;\nsleep 50;\n", true);
  ASSERT_TRUE(kept.has_screenshot);
  EXPECT_GT(mean_luminance(kept, 72, 56, 86, 72), mean_luminance(kept, 106, 56, 120, 72) + 40);
}

TEST(ObjectCommand, AnAnimatorAndADeformerMoveTheObjectTheyAreGiven) {
  DataFolder data;
  copy_asset(data, "lights", "ball.obj");
  RunResult run = run_scene(data,
                            "a = load(\"ball\"); b = load(\"ball\"); c = load(\"ball\");\n"
                            "object a active 1; object b active 1; object c active 1;  // deformers drive active objects\n"
                            "k = new cFramer(a);\n"
                            "framer k object b;\n"
                            "framer k addkey 0; framer k addkey 5;\n"
                            "framer k position (0, 0, 0, 0); framer k position (1, 7, 0, 0);\n"
                            "framer k speed 10; framer k start;\n"
                            "d = new cDeform(a);\n"
                            "deform d object (c, 10);\n"
                            "deform d position (0, 1, 0);\n"
                            "deform d active 1;\n"
                            "sleep 300;\n"
                            "deform d active 0;\n"
                            "print status cObjPX(b);\n"
                            "print status cObjPY(c) > 5;\n"
                            "print status cObjPX(a) + status cObjPY(a);\n");
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.output,
            "Talpine Engine 2.02: script print: 7.000000\n"
            "Talpine Engine 2.02: script print: 1.000000\n"
            "Talpine Engine 2.02: script print: 0.000000\n");
}

TEST(ObjectCommand, WaterRipplesThePartItIsGiven) {
  DataFolder data;
  copy_asset(data, "water", "pool.3ds");
  copy_asset(data, "lights", "ball.obj");
  const std::string scene =
      "decoy = load(\"ball\");\n"
      "pool = load(\"pool\"); object pool position (0, -2, 24); object pool lighted 1; object pool active 1;\n"
      "w = new cWater(decoy);\n"
      "water w speed (20, 60); water w wave (0, 2, 0.03);\n";
  const std::string rest =
      "water w active 1;\n"
      "sun = new cLight(-1); light sun position (-10, 20, 10); light sun active 1;\n"
      "scene position (0, 10, 0); scene rotation (-30, 0, 0);\n"
      "sleep 800;\n";
  RunResult rippled = run_scene(data, scene + "water w object (pool, 0);\n" + rest, true);
  RunResult still = run_scene(data, scene + rest, true);
  ASSERT_EQ(rippled.exit_status, 0) << rippled.output << rippled.errors;
  ASSERT_TRUE(rippled.has_screenshot && still.has_screenshot);
  int changed = 0;
  for (int y = 40; y < 128; ++y)
    for (int x = 0; x < 192; ++x) {
      int r1, g1, b1, r2, g2, b2;
      rippled.pixel(x, y, &r1, &g1, &b1);
      still.pixel(x, y, &r2, &g2, &b2);
      if (std::abs(r1 - r2) + std::abs(g1 - g2) + std::abs(b1 - b2) > 40) ++changed;
    }
  EXPECT_GT(changed, 300);
}

TEST(ObjectCommand, AFlipBookChangesTheMaterialItIsGiven) {
  DataFolder data;
  copy_asset(data, "render_target", "monitor.obj");
  copy_asset(data, "render_target", "checker.png");
  copy_asset(data, "glow", "hot.png");
  const std::string scene =
      "decoy = load(\"monitor\");\n"
      "screen = load(\"monitor\"); object screen texture load(\"checker\"); object screen scale 2;\n"
      "object screen diffuse (1, 1, 1);\n"
      "object screen position (0, 0, 8); object screen active 1;\n"
      "t = new cTexgfx(decoy);\n"
      "texgfx t target 999; texgfx t texture load(\"hot\"); texgfx t change 10;\n";
  RunResult flipped =
      run_scene(data, scene + "texgfx t object (screen, 0, 0);\ntexgfx t active 1;\nsleep 100;\n", true);
  ASSERT_EQ(flipped.exit_status, 0) << flipped.output << flipped.errors;
  ASSERT_TRUE(flipped.has_screenshot);
  // hot.png runs from yellow to red: red well above blue where the checker is grey.
  int r, g, b;
  flipped.pixel(96, 64, &r, &g, &b);
  EXPECT_GT(r, b + 100) << r << " " << g << " " << b;

  RunResult plain = run_scene(data, scene + "texgfx t active 1;\nsleep 100;\n", true);
  ASSERT_TRUE(plain.has_screenshot);
  plain.pixel(96, 64, &r, &g, &b);
  EXPECT_LT(r, b + 40) << r << " " << g << " " << b;
}

}  // namespace
