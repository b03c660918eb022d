// Polygons cut into triangles: the fan for convex faces (what every picture
// drawn so far was made of), ears for concave ones with their notches left
// empty, in any plane and either winding, and always count - 2 triangles in
// bounded time for faces that have no right answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "mesh/polygon.h"

namespace {

struct P2 {
  double x, y;
};

// The outline laid into space: tilted about two axes and moved, or left in
// the x-y plane.
std::vector<float> place(const std::vector<P2>& outline, bool tilted) {
  std::vector<float> corners;
  const double a = tilted ? 0.7 : 0.0, b = tilted ? -1.1 : 0.0;
  for (const P2& p : outline) {
    double y = p.y * std::cos(a), z = p.y * std::sin(a);
    double x = p.x * std::cos(b) + z * std::sin(b);
    z = -p.x * std::sin(b) + z * std::cos(b);
    corners.insert(corners.end(), {float(x + 3), float(y - 1), float(z + 0.5)});
  }
  return corners;
}

std::vector<uint32_t> split(const std::vector<float>& corners) {
  std::vector<uint32_t> triangles;
  triangulatePolygon(corners.data(), corners.size() / 3, &triangles);
  return triangles;
}

std::vector<uint32_t> fan(size_t count) {
  std::vector<uint32_t> triangles;
  for (uint32_t i = 2; i < count; ++i) triangles.insert(triangles.end(), {0u, i - 1, i});
  return triangles;
}

double cross(const P2& a, const P2& b, const P2& c) { return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x); }

// How many of the triangles hold the point (in the outline's own plane).
int covering(const std::vector<P2>& outline, const std::vector<uint32_t>& triangles, P2 point) {
  int count = 0;
  for (size_t t = 0; t + 2 < triangles.size(); t += 3) {
    const P2 &a = outline[triangles[t]], &b = outline[triangles[t + 1]], &c = outline[triangles[t + 2]];
    double d1 = cross(a, b, point), d2 = cross(b, c, point), d3 = cross(c, a, point);
    if ((d1 > 0 && d2 > 0 && d3 > 0) || (d1 < 0 && d2 < 0 && d3 < 0)) ++count;
  }
  return count;
}

std::vector<P2> reversed(std::vector<P2> outline) { return {outline.rbegin(), outline.rend()}; }

// An L of two units, counter-clockwise, starting at the corner beside its
// notch: the fan from there covers half the notch.
const std::vector<P2> ell = {{2, 1}, {1, 1}, {1, 2}, {0, 2}, {0, 0}, {2, 0}};

// A five-pointed star (tips at radius 1, notches at 0.4), starting at a tip.
std::vector<P2> star() {
  std::vector<P2> outline;
  for (int i = 0; i < 10; ++i) {
    double angle = 3.14159265358979 / 2 + i * 3.14159265358979 / 5, radius = i % 2 ? 0.4 : 1.0;
    outline.push_back({radius * std::cos(angle), radius * std::sin(angle)});
  }
  return outline;
}

// Checks a concave outline in every placement: count - 2 triangles, each
// wound like the outline; `inside` points (none on a possible diagonal)
// covered once, `outside` never.
void expect_notches_empty(const std::vector<P2>& outline, const std::vector<P2>& inside,
                          const std::vector<P2>& outside, const char* what) {
  for (bool tilted : {false, true})
    for (bool mirror : {false, true}) {
      std::vector<P2> shape = mirror ? reversed(outline) : outline;
      std::vector<uint32_t> triangles = split(place(shape, tilted));
      SCOPED_TRACE(std::string(what) + (tilted ? " tilted" : "") + (mirror ? " mirrored" : ""));
      ASSERT_EQ(triangles.size(), (shape.size() - 2) * 3);
      double winding = 0;
      for (size_t i = 0; i < shape.size(); ++i) winding += cross({0, 0}, shape[i], shape[(i + 1) % shape.size()]);
      for (size_t t = 0; t < triangles.size(); t += 3)
        EXPECT_GT(cross(shape[triangles[t]], shape[triangles[t + 1]], shape[triangles[t + 2]]) * winding, 0) << t;
      for (const P2& p : inside) EXPECT_EQ(covering(shape, triangles, p), 1) << p.x << ", " << p.y;
      for (const P2& p : outside) EXPECT_EQ(covering(shape, triangles, p), 0) << p.x << ", " << p.y;
    }
}

TEST(Polygons, ConvexFacesKeepTheFan) {
  std::vector<P2> hexagon;
  for (int i = 0; i < 6; ++i) hexagon.push_back({std::cos(i * 1.0472), std::sin(i * 1.0472)});
  // A rectangle with extra corners on its edges, one of them repeated.
  std::vector<P2> dotted = {{0, 0}, {1, 0}, {2, 0}, {2, 0}, {2, 1}, {1, 1}, {0, 1}, {0, 0.5}};
  // Sixty-four corners on a long thin ellipse, some of them doubled a few
  // float steps back (a corner there turns back on itself, by nothing).
  std::vector<P2> ellipse;
  for (int i = 0; i < 64; ++i) {
    double angle = i * 0.0981748;
    ellipse.push_back({300 * std::cos(angle), 0.01 * std::sin(angle)});
    if (i % 9 == 0) ellipse.push_back({ellipse.back().x + (std::sin(angle) >= 0 ? 4e-5 : -4e-5), ellipse.back().y});
  }
  for (const auto* outline : {&hexagon, &dotted, &ellipse})
    for (bool tilted : {false, true}) {
      EXPECT_EQ(split(place(*outline, tilted)), fan(outline->size()));
      EXPECT_EQ(split(place(reversed(*outline), tilted)), fan(outline->size()));
    }
  // A quad bent out of its plane, as modellers leave them.
  std::vector<float> bent = {0, 0, 0, 1, 0, 0.2f, 1, 1, 0, 0, 1, 0.2f};
  EXPECT_EQ(split(bent), fan(4));
}

TEST(Polygons, ConcaveFacesLeaveTheirNotchesEmpty) {
  expect_notches_empty(ell, {{0.3, 0.7}, {1.6, 0.3}, {0.3, 1.6}, {1.2, 0.7}}, {{1.3, 1.3}, {1.5, 1.5}, {1.9, 1.1}},
                       "L");
  std::vector<P2> inside = {{0.05, 0.02}}, outside;
  for (int i = 0; i < 5; ++i) {
    double tip = 3.14159265358979 / 2 + i * 2 * 3.14159265358979 / 5, notch = tip + 3.14159265358979 / 5;
    inside.push_back({0.7 * std::cos(tip), 0.7 * std::sin(tip)});
    outside.push_back({0.65 * std::cos(notch), 0.65 * std::sin(notch)});
  }
  expect_notches_empty(star(), inside, outside, "star");

  // A comb of 34 corners (eight teeth) and a dart, the smallest concave face,
  // each starting where the fan would fill a notch.
  std::vector<P2> comb = {{0, 0}, {16, 0}};
  for (int tooth = 7; tooth >= 0; --tooth)
    comb.insert(comb.end(), {{tooth * 2.0 + 2, 4}, {tooth * 2.0 + 1, 4}, {tooth * 2.0 + 1, 1}, {tooth * 2.0, 1}});
  ASSERT_EQ(comb.size(), 34u);
  std::vector<P2> comb_inside = {{8.3, 0.4}}, comb_outside;
  for (int tooth = 0; tooth < 8; ++tooth) {
    comb_inside.push_back({tooth * 2.0 + 1.3, 2.7});
    if (tooth < 7) comb_outside.push_back({tooth * 2.0 + 2.5, 3});
  }
  expect_notches_empty(comb, comb_inside, comb_outside, "comb");
  expect_notches_empty({{2, 0}, {1, 0.5}, {1, 2}, {0, 0}}, {{0.6, 0.45}, {1.2, 0.1}}, {{1.3, 0.8}}, "dart");
}

TEST(Polygons, FacesWithoutARightAnswerStillEndInCountMinusTwoTriangles) {
  const float nan = std::nanf(""), inf = INFINITY;
  const std::vector<std::vector<float>> faces = {
      {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3},                    // on a line: no plane at all
      {0, 0, 0, 1, 0, 0, nan, 1, 0, 0, 1, 0, 0.5f, 0.5f, 0},  // a corner that is no number
      {0, 0, 0, inf, 0, 0, 1, 1, 0, 0, 1, 0, 0.5f, 0.5f, 0},
      {0, 0, 0, 1, 1, 0, 1, 0, 0, 0, 1, 0},                    // a bow tie: no area in total
      {0, 0, 0, 2, 0, 0, 2, 2, 0, 0, 0, 0, 1, 1, 0},           // a corner repeated, a spike
      {0, 1, 0, 0.59f, -0.81f, 0, -0.95f, 0.31f, 0, 0.95f, 0.31f, 0, -0.59f, -0.81f, 0},  // a pentagram
  };
  for (const std::vector<float>& face : faces) {
    std::vector<uint32_t> triangles = split(face);
    size_t count = face.size() / 3;
    ASSERT_EQ(triangles.size(), (count - 2) * 3);
    for (uint32_t corner : triangles) EXPECT_LT(corner, count);
  }
  // Thirty thousand corners thrown at random: bounded work, and still
  // count - 2 triangles that use every corner of the face.
  std::vector<float> scribble;
  uint32_t seed = 7;
  for (int i = 0; i < 30000; ++i)
    for (int k = 0; k < 3; ++k) {
      seed = seed * 1103515245u + 12345u;
      scribble.push_back(static_cast<float>(seed >> 16 & 1023) * (k == 2 ? 0.001f : 1.0f));
    }
  auto begun = std::chrono::steady_clock::now();
  std::vector<uint32_t> triangles = split(scribble);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
  EXPECT_LT(seconds, 1.0);
  ASSERT_EQ(triangles.size(), 29998u * 3);
  std::vector<bool> used(30000, false);
  for (uint32_t corner : triangles) used[corner] = true;
  EXPECT_EQ(std::count(used.begin(), used.end(), false), 0);
}

}  // namespace
