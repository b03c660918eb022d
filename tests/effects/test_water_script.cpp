// The whole road for the surfaces and render targets: a script loads a mesh,
// makes a water surface, a fluid and a render target through `new`, sends their
// commands through the dispatcher, and the frame loop moves the mesh on screen.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/e2e.h"

namespace {

// A 4 x 4 square facing the camera, 10 ahead: four vertices, a 2 x 2 grid.
const char* SQUARE_OBJ =
    "v -2 -2 0\nv 2 -2 0\nv -2 2 0\nv 2 2 0\n"
    "f 1 2 4\nf 1 4 3\n";

std::string scene_script(bool water_on) {
  return std::string(
             "s = load(\"square\");\n"
             "object s cull 2;\n"
             "object s diffuse (1, 1, 1);\n"
             "object s position (0, 0, 10);\n"
             "object s active 1;\n"
             "w = new cWater(s);\n"
             "water w coord (0, 0);\n"
             "f = new cFluide(s);\n"
             "t = new cTexgfx(s);\n"
             "texgfx t misspelt 1;\n"
             "print w;\n"
             "print f;\n"
             "print t;\n") +
         (water_on ? "water w active 1;\n" : "") +
         "print status cWater(w);\n"
         "print status cTextgfx(t);\n"
         "sleep 200;\n";
}

TEST(WaterScript, AScriptedWaterSurfaceMovesTheMeshOnScreen) {
  DataFolder still;
  still.write("square.obj", SQUARE_OBJ);
  still.write("script.txt", scene_script(false));
  RunResult before = run_talpine(still, {"--size", "320x240", "--frames", "3"}, true);
  ASSERT_EQ(before.exit_status, 0) << before.output << before.errors;
  EXPECT_NE(before.output.find("script print: 0.000000\n"), std::string::npos) << before.output;
  ASSERT_TRUE(before.has_screenshot);
  int r = 0, g = 0, b = 0;
  before.pixel(160, 120, &r, &g, &b);
  EXPECT_GT(r + g + b, 600) << "the square covers the centre";

  // The 2 x 2 block covers the whole grid: every height set to 30, halved by
  // the relaxation of a 2-wide grid: the square leaves the view upwards.
  DataFolder moving;
  moving.write("square.obj", SQUARE_OBJ);
  moving.write("script.txt", scene_script(true));
  RunResult after = run_talpine(moving, {"--size", "320x240", "--frames", "3"}, true);
  ASSERT_EQ(after.exit_status, 0) << after.output << after.errors;
  EXPECT_NE(after.output.find("script print: 1.000000\n"), std::string::npos) << after.output;
  ASSERT_TRUE(after.has_screenshot);
  after.pixel(160, 120, &r, &g, &b);
  EXPECT_LT(r + g + b, 60) << "the water moved the square away";
}

}  // namespace
