// Lightmap arithmetic without GL: cell layout and inset, the gathering and
// rasterising orders, view averaging, image names.
#include <gtest/gtest.h>

#include <vector>

#include "lighting/lightmap_layout.h"
#include "mesh/lightmap_images.h"

namespace {

struct Corner {
  int x, y;
};
Corner corner(const std::vector<int32_t>& coords, int triangle, int c) {
  const int32_t* p = &coords[triangle * LIGHTMAP_TRIANGLE_INTS + c * 4];
  return {p[0], p[1]};
}

TEST(Layout, OneTriangleTakesHalfTheLightmap) {
  LightmapLayout layout = layoutLightmap(1, 256);
  ASSERT_TRUE(layout.fits);
  EXPECT_EQ(layout.cell, 128);
  ASSERT_EQ(layout.coords.size(), 12u);
  const int expected[12] = {0, 129, 0, 256, 129, 129, 0, 256, 0, 0, 0, 256};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(layout.coords[i], expected[i]) << i;
}

TEST(Layout, ClassicRuleOverfillsRowsAndTheChosenCountFits) {
  // Two cells a row, but a pair takes A + 1 pixels: one pair a row, and the
  // third and fourth pairs start at rows 257 and 385.
  LightmapLayout classic = layoutWithColumns(7, 256, classicLightmapColumns(7));
  EXPECT_EQ(classic.columns, 2);
  EXPECT_FALSE(classic.fits);
  EXPECT_EQ(corner(classic.coords, 4, 2).y, 256);  // y0 - 1 of the third pair
  EXPECT_EQ(corner(classic.coords, 5, 1).y, 257);

  for (int triangles : {3, 7, 8, 50, 501, 2000}) {
    for (int lmsize : {64, 256, 1024}) {
      LightmapLayout layout = layoutLightmap(triangles, lmsize);
      if (!layout.fits) {
        EXPECT_LT(lmsize / (layout.columns + 1) - LIGHTMAP_INSET_LOSS, MIN_LIGHTMAP_LEG);
        continue;
      }
      for (int t = 0; t < triangles; ++t)
        for (int c = 0; c < 3; ++c) {
          Corner p = corner(layout.coords, t, c);
          ASSERT_TRUE(p.x >= 0 && p.x <= lmsize && p.y >= 0 && p.y <= lmsize)
              << triangles << " triangles at " << lmsize << ": triangle " << t << " corner " << c;
        }
      // The smallest count that fits: one fewer column overfills.
      if (layout.columns > 1 && layout.columns != classicLightmapColumns(triangles)) {
        EXPECT_FALSE(layoutWithColumns(triangles, lmsize, layout.columns - 1).fits);
      }
    }
  }
  // 7 triangles at 256 fit with three cells a row.
  EXPECT_EQ(layoutLightmap(7, 256).columns, 3);
  EXPECT_TRUE(layoutLightmap(7, 256).fits);
}

TEST(Layout, TooManyTrianglesForTheLightmapAreNotBaked) {
  EXPECT_FALSE(layoutLightmap(5000, 64).fits);
  EXPECT_TRUE(layoutLightmap(100, 64).fits);
}

TEST(Layout, InsetMovesEveryCornerIntoItsCell) {
  LightmapLayout layout = layoutLightmap(6, 256);
  ASSERT_TRUE(layout.fits);
  std::vector<int32_t> coords = layout.coords;
  insetLightmapCoords(&coords);
  const int a = layout.cell;
  for (int t = 0; t < 6; ++t) {
    Corner before0 = corner(layout.coords, t, 0);
    Corner c0 = corner(coords, t, 0), c1 = corner(coords, t, 1), c2 = corner(coords, t, 2);
    if (t % 2 == 0) {
      // (x + 1, y1 - 1), (x + A - 2, y1 - 1), (x + 1, y0 + 2)
      EXPECT_EQ(c0.x, before0.x + 1);
      EXPECT_EQ(c0.y, before0.y - 1);
      EXPECT_EQ(c1.x - c0.x, a - 3);
      EXPECT_EQ(c1.y, c0.y);
      EXPECT_EQ(c2.x, c0.x);
      EXPECT_EQ(c0.y - c2.y, a - 3);
    } else {
      // (x + A - 1, y0 + 1), (x + 3, y0 + 1), (x + A - 1, y1 - 3)
      EXPECT_EQ(c0.x, before0.x - 1);
      EXPECT_EQ(c0.y, before0.y + 1);
      EXPECT_EQ(c0.x - c1.x, a - 4);
      EXPECT_EQ(c0.y, c1.y);
      EXPECT_EQ(c2.x, c0.x);
      EXPECT_EQ(c2.y - c0.y, a - 4);
    }
    for (int c = 0; c < 3; ++c) EXPECT_EQ(coords[t * 12 + c * 4 + 3], 256);
  }
}

// The two triangles of a pair share the diagonal of their cell: after the
// inset, neither diagonal comes nearer to it than two pixels, where bilinear
// filtering gives the pixels on it no weight.
TEST(Layout, InsetDiagonalsKeepTwoPixelsFromTheSharedOne) {
  LightmapLayout layout = layoutLightmap(2, 64);
  std::vector<int32_t> coords = layout.coords;
  insetLightmapCoords(&coords);
  // Shared diagonal: through the first triangle's corners 1 and 2 as laid out.
  Corner s1 = corner(layout.coords, 0, 1), s2 = corner(layout.coords, 0, 2);
  ASSERT_EQ(s1.x - s2.x, s1.y - s2.y);
  const int shared = s1.y - s1.x;  // y - x along it
  EXPECT_EQ(corner(layout.coords, 1, 1).y - corner(layout.coords, 1, 1).x, shared) << "the second's too";
  for (int c : {1, 2}) EXPECT_EQ(corner(coords, 0, c).y - corner(coords, 0, c).x, shared + 2);
  for (int c : {1, 2}) EXPECT_EQ(corner(coords, 1, c).y - corner(coords, 1, c).x, shared - 2);
}

// Every pixel around the cells takes its light from the nearest drawn ones.
TEST(Layout, MarginsTakeTheColoursOfTheCellsBesideThem) {
  const int size = 8;
  std::vector<uint8_t> rgba(size * size * 4, 0), rgb(size * size * 3, 7);
  auto set = [&](int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    uint8_t* p = &rgba[(y * size + x) * 4];
    p[0] = r, p[1] = g, p[2] = b, p[3] = 255;
  };
  set(1, 1, 200, 100, 50);
  set(5, 1, 0, 60, 90);
  set(6, 6, 10, 10, 10);
  fillLightmapMargins(rgba.data(), size, 2, rgb.data());
  auto at = [&](int x, int y) { return std::vector<int>{rgb[(y * size + x) * 3], rgb[(y * size + x) * 3 + 1], rgb[(y * size + x) * 3 + 2]}; };
  EXPECT_EQ(at(1, 1), (std::vector<int>{200, 100, 50})) << "drawn pixels are kept";
  EXPECT_EQ(at(0, 0), (std::vector<int>{200, 100, 50}));
  EXPECT_EQ(at(1, 3), (std::vector<int>{200, 100, 50})) << "two pixels away";
  EXPECT_EQ(at(3, 1), (std::vector<int>{100, 80, 70})) << "between two drawn pixels: their mean";
  EXPECT_EQ(at(7, 7), (std::vector<int>{10, 10, 10})) << "at the edge of the image";
  EXPECT_EQ(at(1, 5), (std::vector<int>{0, 0, 0})) << "three pixels from any: left black";
  fillLightmapMargins(rgba.data(), size, 0, rgb.data());
  EXPECT_EQ(at(0, 0), (std::vector<int>{0, 0, 0})) << "no passes: only what was drawn";
}

// Straight up or down, y cannot be the up vector of a look-at camera.
TEST(Layout, SampleViewsAlongYTakeAnotherUpVector) {
  const float eye[3] = {4, 2.5f, 0};
  float up[3];
  const float above[3] = {4, 100002.5f, 0}, below[3] = {4, -99997.5f, 0};
  sampleViewUp(eye, above, up);
  EXPECT_EQ(up[1], 0.0f);
  EXPECT_EQ(up[2], 1.0f);
  sampleViewUp(eye, below, up);
  EXPECT_EQ(up[1], 0.0f);
  const float aside[3] = {4.5f, 2.5f, 10}, tilted[3] = {5000, 100000, 0};
  sampleViewUp(eye, aside, up);
  EXPECT_EQ(up[1], 1.0f);
  sampleViewUp(eye, tilted, up);
  EXPECT_EQ(up[1], 1.0f) << "about three degrees off y";
  sampleViewUp(eye, eye, up);  // no direction at all: anything but NaN
  EXPECT_EQ(up[0] * up[0] + up[1] * up[1] + up[2] * up[2], 1.0f);
}

TEST(Gathering, CoarsestFirstAndMirroredByTheRasterOrder) {
  for (int level = 1; level <= 4; ++level) {
    // Corners on multiples of 2^level: every midpoint is a whole pixel, so the
    // gathered points and the rasterised corners must agree one by one.
    const int span = 16 << level;
    const float f0[3] = {0, static_cast<float>(span), 0}, f1[3] = {static_cast<float>(span), 0, 0},
                f2[3] = {0, 0, 0};
    std::vector<std::pair<float, float>> gathered;
    gatherPoints(f0, f1, f2, level, [&](const float* p) {
      gathered.emplace_back(p[0], p[1]);
      EXPECT_EQ(p[2], 0.0f);
    });
    EXPECT_EQ(static_cast<int64_t>(gathered.size()), samplesPerTriangle(level));

    const int i0[2] = {0, span}, i1[2] = {span, 0}, i2[2] = {0, 0};
    int64_t counter = 0;
    int64_t expected_sample = 0;
    rasterPoints(i0, i1, i2, level, &counter, [&](const int* p, int64_t sample) {
      EXPECT_EQ(sample, expected_sample++);
      ASSERT_LT(sample, static_cast<int64_t>(gathered.size()));
      EXPECT_EQ(static_cast<float>(p[0]), gathered[sample].first) << "level " << level << " sample " << sample;
      EXPECT_EQ(static_cast<float>(p[1]), gathered[sample].second) << "level " << level << " sample " << sample;
    });
    EXPECT_EQ(counter, samplesPerTriangle(level));
  }
  EXPECT_EQ(samplesPerTriangle(1), 3);
  EXPECT_EQ(samplesPerTriangle(3), 63);

  // Coarsest first: the first three samples are the corners themselves.
  std::vector<float> xs;
  const float a[3] = {1, 2, 3}, b[3] = {5, 2, 3}, c[3] = {1, 6, 3};
  gatherPoints(a, b, c, 2, [&](const float* p) { xs.push_back(p[0]); });
  ASSERT_EQ(xs.size(), 15u);
  EXPECT_EQ(xs[0], 1.0f);
  EXPECT_EQ(xs[1], 5.0f);
  EXPECT_EQ(xs[2], 1.0f);
  EXPECT_EQ(xs[3], 1.0f);  // first child: (P0, M01, M02)
  EXPECT_EQ(xs[4], 3.0f);
}

TEST(Averaging, DarkViewsStayDarkAndLitOnesAreAmplifiedAndClamped) {
  std::vector<uint8_t> view(16 * 3, 0);
  uint8_t out[3] = {9, 9, 9};
  averageView(view.data(), 16, 1, 4.0f, out);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 0);

  // Mean red 2 (half the pixels 4), green 1: above darklevel 1, times 4.
  for (int p = 0; p < 16; ++p) {
    view[p * 3] = p % 2 ? 4 : 0;
    view[p * 3 + 1] = 1;
  }
  averageView(view.data(), 16, 1, 4.0f, out);
  EXPECT_EQ(out[0], 8);
  EXPECT_EQ(out[1], 4);
  EXPECT_EQ(out[2], 0);

  // A mean at darklevel gets no gain.
  averageView(view.data(), 16, 2, 4.0f, out);
  EXPECT_EQ(out[0], 2);
  EXPECT_EQ(out[1], 1);

  // Gain beyond 255 clamps; a negative gain gives 0.
  for (int p = 0; p < 16; ++p) view[p * 3 + 2] = 100;
  averageView(view.data(), 16, 1, 3.0f, out);
  EXPECT_EQ(out[2], 255);
  EXPECT_EQ(out[0], 6);
  averageView(view.data(), 16, 1, -1.0f, out);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[2], 0);
  // Fractions truncate: mean 2.5 * 3 = 7.5.
  for (int p = 0; p < 16; ++p) view[p * 3] = p % 2 ? 5 : 0;
  averageView(view.data(), 16, 1, 3.0f, out);
  EXPECT_EQ(out[0], 7);
}

TEST(Names, GroupAndMaterialStayDistinct) {
  EXPECT_EQ(lightmapName("floor", 0, 0), "floor_00_lite");
  EXPECT_EQ(lightmapName("room", 2, 9), "room_29_lite");
  EXPECT_NE(lightmapName("room", 1, 11), lightmapName("room", 11, 1));
  EXPECT_EQ(lightmapName("room", 1, 11), "room_1_11_lite");
}

}  // namespace
