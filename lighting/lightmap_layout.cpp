#include "lighting/lightmap_layout.h"

#include <cmath>
#include <cstdio>

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
  layout.fits = inside && a - 2 >= MIN_LIGHTMAP_LEG;
  return layout;
}

LightmapLayout layoutLightmap(int triangles, int lmsize) {
  LightmapLayout classic = layoutWithColumns(triangles, lmsize, classicLightmapColumns(triangles));
  if (classic.fits) return classic;
  // Cells shrink as the count grows; past the point where the legs get too
  // short nothing can fit any more.
  for (int columns = 1; lmsize / columns - 2 >= MIN_LIGHTMAP_LEG; ++columns) {
    LightmapLayout layout = layoutWithColumns(triangles, lmsize, columns);
    if (layout.fits) return layout;
  }
  classic.fits = false;
  return classic;
}

void insetLightmapCoords(std::vector<int32_t>* coords) {
  // (dx, dy) per corner: first triangle of a pair, then the second.
  static const int moves[2][3][2] = {{{1, -1}, {-2, -1}, {1, 2}}, {{-1, 1}, {1, 1}, {-1, -1}}};
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

std::string lightmapName(const char* object_name, int group, int material) {
  char name[255];
  if (group >= 0 && group < 10 && material >= 0 && material < 10)
    std::snprintf(name, sizeof name, "%s_%d%d_lite", object_name, group, material);
  else
    std::snprintf(name, sizeof name, "%s_%d_%d_lite", object_name, group, material);
  return name;
}
