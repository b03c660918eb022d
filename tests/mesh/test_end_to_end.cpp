// The program as a script author uses it: an OBJ and a 3D Studio file in the
// data folder, loaded, shown, queried and photographed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/mesh/mesh_files.h"
#include "tests/support/e2e.h"

namespace {

TEST(MeshEndToEnd, ScriptLoadsShowsQueriesAndFillsTheTable) {
  DataFolder data;
  data.write("cube.obj", cube_obj(1.0f));
  data.write("Square.3DS", quad_3ds(0, 204, 51));  // names are matched without regard to case
  data.write("script.txt",
             "a = load(\"cube\");\n"
             "b = load(\"square\");\n"
             "print a;\n"
             "print b;\n"
             "object a diffuse (1, 0.5, 0);\n"
             "object a position (-2.5, 0, 8);\n"
             "object b position (0, 0, 8);\n"
             "object a active 1;\n"
             "object b active 1;\n"
             "scene position (0, 0, -2);\n"
             "print status cObjPZ(a);\n"
             "print status cObjPX(a);\n"
             "sleep 300;\n"
             "print status selection(0);\n"
             "i = 0;\n"
             "while (i < 197) { x = load(\"cube\"); i = i + 1; }\n"
             "print x;\n"
             "print load(\"cube\");\n");
  RunResult run = run_talpine(data, {"--size", "320x240", "--frames", "3"}, true);
  ASSERT_EQ(run.exit_status, 0) << run.output << run.errors;
  EXPECT_EQ(run.output,
            "Talpine Engine 2.02: script print: 0.000000\n"
            "Talpine Engine 2.02: script print: 1.000000\n"
            "Talpine Engine 2.02: script print: -8.000000\n"  // z stored negated
            "Talpine Engine 2.02: script print: -2.000000\n"
            "Talpine Engine 2.02: script print: 1.000000\n"    // the square is at the centre
            "Talpine Engine 2.02: script print: 198.000000\n"
            "Talpine Engine 2.02: script print: -1.000000\n");  // the 200th load

  ASSERT_TRUE(run.has_screenshot);
  int r, g, b;
  run.pixel(160, 120, &r, &g, &b);  // the 3D Studio square, unlit: its diffuse colour
  EXPECT_NEAR(r, 0, 12);
  EXPECT_NEAR(g, 204, 12);
  EXPECT_NEAR(b, 51, 12);
  run.pixel(78, 120, &r, &g, &b);  // the OBJ cube
  EXPECT_NEAR(r, 255, 12);
  EXPECT_NEAR(g, 128, 12);
  EXPECT_NEAR(b, 0, 12);
  run.pixel(5, 5, &r, &g, &b);
  EXPECT_LT(r + g + b, 20);
}

// An OBJ of one face with the given corners (x, y in the plane z = 0).
std::string face_obj(const std::vector<std::pair<double, double>>& corners) {
  std::string text, face = "f";
  for (size_t i = 0; i < corners.size(); ++i) {
    text += "v " + std::to_string(corners[i].first) + " " + std::to_string(corners[i].second) + " 0\n";
    face += " " + std::to_string(i + 1);
  }
  return text + face + "\n";
}

// Concave faces drawn: an L that starts beside its notch and a five-pointed
// star that starts at a tip, the faces where a fan from the first corner
// fills notches. Each shape's lit pixels give its box on the screen, and
// points of the outline are found in it by proportion.
TEST(MeshEndToEnd, ConcaveObjFacesAreDrawnWithTheirNotchesEmpty) {
  const double pi = 3.14159265358979;
  std::vector<std::pair<double, double>> ell = {{1, 0}, {0, 0}, {0, 1}, {-1, 1}, {-1, -1}, {1, -1}};
  std::vector<std::pair<double, double>> star;
  for (int i = 0; i < 10; ++i) {
    double angle = pi / 2 + i * pi / 5, radius = i % 2 ? 0.4 : 1.0;
    star.push_back({radius * std::cos(angle), radius * std::sin(angle)});
  }
  DataFolder data;
  data.write("ell.obj", face_obj(ell));
  data.write("star.obj", face_obj(star));
  data.write("script.txt",
             "a = load(\"ell\");\n"
             "b = load(\"star\");\n"
             "object a diffuse (1, 1, 1);\n"
             "object b diffuse (1, 1, 1);\n"
             "object a position (-2, 0, 8);\n"
             "object b position (2, 0, 8);\n"
             "object a active 1;\n"
             "object b active 1;\n"
             "scene position (0, 0, -2);\n");
  RunResult run = run_talpine(data, {"--size", "640x480", "--frames", "3"}, true);
  ASSERT_EQ(run.exit_status, 0) << run.output << run.errors;
  ASSERT_TRUE(run.has_screenshot);

  auto lit = [&](int x, int y) {
    int r, g, b;
    run.pixel(x, y, &r, &g, &b);
    return r + g + b > 3 * 128;
  };
  // Checks the outline's points drawn (or not) within the lit box of the
  // screen columns [from, to).
  auto check = [&](const char* what, const std::vector<std::pair<double, double>>& outline, int from, int to,
                   const std::vector<std::pair<double, double>>& filled,
                   const std::vector<std::pair<double, double>>& empty) {
    int left = to, right = from - 1, top = run.height, bottom = -1;
    for (int y = 0; y < run.height; ++y)
      for (int x = from; x < to; ++x)
        if (lit(x, y)) {
          left = std::min(left, x);
          right = std::max(right, x);
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
    ASSERT_GT(right - left, 60) << what;
    ASSERT_GT(bottom - top, 60) << what;
    double min_x = 1e9, max_x = -1e9, min_y = 1e9, max_y = -1e9;
    for (auto [x, y] : outline) {
      min_x = std::min(min_x, x);
      max_x = std::max(max_x, x);
      min_y = std::min(min_y, y);
      max_y = std::max(max_y, y);
    }
    auto on_screen = [&](std::pair<double, double> p, int* x, int* y) {
      *x = static_cast<int>(std::lround(left + (p.first - min_x) / (max_x - min_x) * (right - left)));
      *y = static_cast<int>(std::lround(bottom - (p.second - min_y) / (max_y - min_y) * (bottom - top)));
    };
    int x, y;
    for (auto p : filled) {
      on_screen(p, &x, &y);
      EXPECT_TRUE(lit(x, y)) << what << " at " << p.first << ", " << p.second;
    }
    for (auto p : empty) {
      on_screen(p, &x, &y);
      EXPECT_FALSE(lit(x, y)) << what << " at " << p.first << ", " << p.second;
    }
  };
  check("L", ell, 0, run.width / 2, {{-0.5, -0.5}, {0.5, -0.5}, {-0.5, 0.5}},
        {{0.3, 0.3}, {0.5, 0.5}, {0.2, 0.6}, {0.6, 0.2}});
  std::vector<std::pair<double, double>> arms = {{0, 0}}, notches;
  for (int i = 0; i < 5; ++i) {
    double tip = pi / 2 + i * 2 * pi / 5, notch = tip + pi / 5;
    arms.push_back({0.7 * std::cos(tip), 0.7 * std::sin(tip)});
    notches.push_back({0.65 * std::cos(notch), 0.65 * std::sin(notch)});
  }
  check("star", star, run.width / 2, run.width, arms, notches);
}

}  // namespace
