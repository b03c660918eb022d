// The pure arithmetic of lightmap baking, free of GL: where a material's
// triangles sit in its square lightmap, the order in which samples are gathered
// and rasterised, how one sample view is averaged into a colour.
//
// Lightmap coordinates are 4 ints per triangle corner, (s, t, 0, q), in pixels
// of a lightmap of q x q, so s/q and t/q are texture coordinates; t counts up
// from the bottom row (GL's row order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>


// Values per triangle in a lightmapCoords array.
constexpr int LIGHTMAP_TRIANGLE_INTS = 12;
// The narrowest cell leg (after the inset) still worth baking.
constexpr int MIN_LIGHTMAP_LEG = 3;
// Pixels the inset takes off the shorter legs (those of the second triangle
// of a pair): a cell of edge A keeps legs of A - LIGHTMAP_INSET_LOSS.
constexpr int LIGHTMAP_INSET_LOSS = 4;

// Cells per row the classic rule gives for `triangles`: v = sqrt((T + 1) / 2),
// raised by one unless half of it is a whole number.
int classicLightmapColumns(int triangles);

struct LightmapLayout {
  int columns = 0;  // N: the lightmap is cut into cells of lmsize / N
  int cell = 0;     // A, the cell edge in pixels
  bool fits = false;  // every corner lies in 0..lmsize and the inset legs are long enough
  std::vector<int32_t> coords;  // LIGHTMAP_TRIANGLE_INTS per triangle, before the inset
};

// The pairs layout with `columns` cells a row: the first triangle of a pair
// takes (x, y1), (x + A + 1, y1), (x, y0 - 1), the second (x + A, y0), (x, y0),
// (x + A, y1); a pair is A + 1 pixels wide, and a row wraps when the next pair
// would pass the right edge. `fits` says whether the result is usable.
LightmapLayout layoutWithColumns(int triangles, int lmsize, int columns);

// The classic column count when its layout fits; otherwise the smallest column
// count whose layout fits (one pair takes A + 1 pixels, so the classic rule
// overfills the rows from a handful of triangles on). fits is false when no
// count gives cells whose inset legs reach MIN_LIGHTMAP_LEG: leave it unbaked.
LightmapLayout layoutLightmap(int triangles, int lmsize);

// Moves every corner into its cell, so that bilinear filtering reads only the
// triangle's own pixels: one pixel in from the legs, and two from the
// diagonal that the two triangles of a pair share (the pixels on it belong to
// one of them, and a sample a pixel away still takes a quarter of its colour).
// The first triangle of a pair becomes (x + 1, y1 - 1), (x + A - 2, y1 - 1),
// (x + 1, y0 + 2), legs A - 3; the second (x + A - 1, y0 + 1), (x + 3, y0 + 1),
// (x + A - 1, y1 - 3), legs A - 4 (x being each triangle's own).
void insetLightmapCoords(std::vector<int32_t>* coords);

// Samples a triangle yields at subdivision level n >= 1: 4^n - 1.
int64_t samplesPerTriangle(int level);

// Corners of every triangle of every level, coarsest first: the three corners,
// then the same for (P0, M01, M02), (P1, M12, M01), (P2, M02, M12),
// (M01, M12, M02) one level down. visit(const float point[3]) per sample.
template <typename Visit>
void gatherPoints(const float p0[3], const float p1[3], const float p2[3], int level, Visit&& visit) {
  visit(p0);
  visit(p1);
  visit(p2);
  if (--level < 1) return;
  float m01[3], m02[3], m12[3];
  for (int a = 0; a < 3; ++a) {
    m01[a] = (p0[a] + p1[a]) / 2;
    m02[a] = (p0[a] + p2[a]) / 2;
    m12[a] = (p1[a] + p2[a]) / 2;
  }
  gatherPoints(p0, m01, m02, level, visit);
  gatherPoints(p1, m12, m01, level, visit);
  gatherPoints(p2, m02, m12, level, visit);
  gatherPoints(m01, m12, m02, level, visit);
}

// The mirror of gatherPoints on integer lightmap positions: emit(point, sample)
// per corner with the running sample number, so that each finer triangle is
// drawn, over its coarser parent, with the samples gathered at its corners.
// Midpoints are truncated to whole pixels.
template <typename Emit>
void rasterPoints(const int p0[2], const int p1[2], const int p2[2], int level, int64_t* sample, Emit&& emit) {
  emit(p0, (*sample)++);
  emit(p1, (*sample)++);
  emit(p2, (*sample)++);
  if (--level <= 0) return;
  int h[2], l[2], m[2];
  for (int a = 0; a < 2; ++a) {
    h[a] = (p0[a] + p1[a]) / 2;
    l[a] = (p0[a] + p2[a]) / 2;
    m[a] = (p1[a] + p2[a]) / 2;
  }
  rasterPoints(p0, h, l, level, sample, emit);
  rasterPoints(p1, m, h, level, sample, emit);
  rasterPoints(p2, l, m, level, sample, emit);
  rasterPoints(h, m, l, level, sample, emit);
}

// The mean colour of `pixel_count` RGB pixels; when any channel's mean is above
// darklevel all three are multiplied by litpower; then clamped to 0..255 and
// truncated.
void averageView(const uint8_t* rgb, size_t pixel_count, int darklevel, float litpower, uint8_t out[3]);

// The up vector of a sample view from `eye` toward `target`: y, unless the
// view looks (almost) straight up or down, where y would give the look-at
// camera no sideways axis and the view would come out black; then z.
void sampleViewUp(const float eye[3], const float target[3], float up[3]);

// Pixels a rendered lightmap leaves between and around its cells get the
// colours of the cells next to them, so that filtering at a cell's edge reads
// the cell's own light rather than black. `rgba` is the lightmap as drawn
// (size x size), a pixel covered by a triangle when its alpha is 128 or more;
// each pass gives every uncovered pixel with a covered one among its eight
// neighbours the mean of those, and counts it covered from the next pass on.
// The result goes to `rgb` (3 bytes a pixel, the same row order).
void fillLightmapMargins(const uint8_t* rgba, int size, int passes, uint8_t* rgb);

