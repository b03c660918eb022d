#include "lighting/lightmap_layout.h"

#include <cmath>
#include <cstdio>
#include <vector>

int classicLightmapColumns(int triangles) {
  float v = std::sqrt((static_cast<float>(triangles) + 1.0f) * 0.5f);
  float half = v * 0.5f;
  if (half != std::floor(half)) v += 1.0f;
  return static_cast<int>(v);
}

LightmapLayout layoutWithColumns(int triangles, int lmsize, int columns) {
  LightmapLayout layout;
  layout.columns = columns;
  if (columns < 1 || lmsize < 1 || triangles < 0) return layout;
  const int a = lmsize / columns;
  layout.cell = a;
  layout.coords.resize(static_cast<size_t>(triangles) * LIGHTMAP_TRIANGLE_INTS);
  bool inside = true;
  int32_t* out = layout.coords.data();
  auto corner = [&](int x, int y) {
    if (x < 0 || x > lmsize || y < 0 || y > lmsize) inside = false;
    *out++ = x;
    *out++ = y;
    *out++ = 0;
    *out++ = lmsize;
  };
  int x = 0, y0 = 1, y1 = a + 1;
  for (int t = 0; t < triangles; ++t) {
    if (t % 2 == 0) {
      corner(x, y1);
      corner(x + a + 1, y1);
      corner(x, y0 - 1);
      x += 1;
    } else {
      corner(x + a, y0);
      corner(x, y0);
      corner(x + a, y1);
      x += a;
      if (x + a > lmsize) {
        x = 0;
        y0 += a;
        y1 += a;
      }
    }
  }
  layout.fits = inside && a - LIGHTMAP_INSET_LOSS >= MIN_LIGHTMAP_LEG;
  return layout;
}

LightmapLayout layoutLightmap(int triangles, int lmsize) {
  LightmapLayout classic = layoutWithColumns(triangles, lmsize, classicLightmapColumns(triangles));
  if (classic.fits) return classic;
  // Cells shrink as the count grows; past the point where the legs get too
  // short nothing can fit any more.
  for (int columns = 1; lmsize / columns - LIGHTMAP_INSET_LOSS >= MIN_LIGHTMAP_LEG; ++columns) {
    LightmapLayout layout = layoutWithColumns(triangles, lmsize, columns);
    if (layout.fits) return layout;
  }
  classic.fits = false;
  return classic;
}

void insetLightmapCoords(std::vector<int32_t>* coords) {
  // (dx, dy) per corner: first triangle of a pair, then the second.
  static const int moves[2][3][2] = {{{1, -1}, {-3, -1}, {1, 3}}, {{-1, 1}, {3, 1}, {-1, -3}}};
  size_t triangles = coords->size() / LIGHTMAP_TRIANGLE_INTS;
  for (size_t t = 0; t < triangles; ++t) {
    int32_t* corner = coords->data() + t * LIGHTMAP_TRIANGLE_INTS;
    for (int c = 0; c < 3; ++c, corner += 4) {
      corner[0] += moves[t % 2][c][0];
      corner[1] += moves[t % 2][c][1];
    }
  }
}

int64_t samplesPerTriangle(int level) {
  int64_t samples = 1;
  for (int i = 0; i < level; ++i) samples *= 4;
  return samples - 1;
}

void averageView(const uint8_t* rgb, size_t pixel_count, int darklevel, float litpower, uint8_t out[3]) {
  double sum[3] = {0, 0, 0};
  for (size_t p = 0; p < pixel_count; ++p)
    for (int c = 0; c < 3; ++c) sum[c] += rgb[p * 3 + c];
  float mean[3];
  for (int c = 0; c < 3; ++c)
    mean[c] = pixel_count ? static_cast<float>(sum[c] / static_cast<double>(pixel_count)) : 0.0f;
  const float dark = static_cast<float>(darklevel);
  if (mean[0] > dark || mean[1] > dark || mean[2] > dark)
    for (float& m : mean) m *= litpower;
  for (int c = 0; c < 3; ++c) {
    float m = mean[c];
    if (!(m > 0.0f)) m = 0.0f;  // NaN from a NaN litpower too
    if (m > 255.0f) m = 255.0f;
    out[c] = static_cast<uint8_t>(m);
  }
}

void sampleViewUp(const float eye[3], const float target[3], float up[3]) {
  const float d[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
  const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
  const float sideways = std::sqrt(d[0] * d[0] + d[2] * d[2]);
  // Within about 0.06 degrees of y the look-at camera's sideways axis is lost.
  const bool along_y = !(sideways > 1e-3f * length);
  up[0] = 0.0f;
  up[1] = along_y ? 0.0f : 1.0f;
  up[2] = along_y ? 1.0f : 0.0f;
}

void fillLightmapMargins(const uint8_t* rgba, int size, int passes, uint8_t* rgb) {
  const size_t pixels = static_cast<size_t>(size) * size;
  std::vector<uint8_t> colour(pixels * 3), covered(pixels);
  for (size_t p = 0; p < pixels; ++p) {
    for (int c = 0; c < 3; ++c) colour[p * 3 + c] = rgba[p * 4 + c];
    covered[p] = rgba[p * 4 + 3] >= 128;
  }
  for (int pass = 0; pass < passes; ++pass) {
    std::vector<uint8_t> next_colour = colour, next_covered = covered;
    bool grew = false;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) {
        const size_t p = static_cast<size_t>(y) * size + x;
        if (covered[p]) continue;
        int sum[3] = {0, 0, 0}, n = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if ((dx == 0 && dy == 0) || nx < 0 || ny < 0 || nx >= size || ny >= size) continue;
            const size_t q = static_cast<size_t>(ny) * size + nx;
            if (!covered[q]) continue;
            for (int c = 0; c < 3; ++c) sum[c] += colour[q * 3 + c];
            ++n;
          }
        if (n == 0) continue;
        for (int c = 0; c < 3; ++c) next_colour[p * 3 + c] = static_cast<uint8_t>((sum[c] + n / 2) / n);
        next_covered[p] = 1;
        grew = true;
      }
    colour.swap(next_colour);
    covered.swap(next_covered);
    if (!grew) break;
  }
  for (size_t p = 0; p < pixels; ++p)
    for (int c = 0; c < 3; ++c) rgb[p * 3 + c] = covered[p] ? colour[p * 3 + c] : 0;
}
