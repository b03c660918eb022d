// The baker driven by a script through the program: the lightmap image it
// writes when finishing, read back from the data folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "lighting/lightmap_layout.h"
#include "tests/baker/bake_scene.h"

namespace {

// The floor's triangles in load order: each quad of floor_obj() (row z, column
// x, 4 units) becomes the fan (x, z) (x, z + 4) (x + 4, z + 4) and (x, z)
// (x + 4, z + 4) (x + 4, z). The pixel, counted from the image's top row, at
// the centre of the cell of the triangle whose centre is nearest to (x, z).
void floor_cell_pixel(float x, float z, int lmsize, int* column, int* row) {
  std::vector<int32_t> coords = layoutLightmap(32, lmsize).coords;
  insetLightmapCoords(&coords);
  float best = 1e9f;
  for (int t = 0; t < 32; ++t) {
    int quad = t / 2;
    float qx = -8.0f + 4 * (quad % 4), qz = -8.0f + 4 * (quad / 4);
    float cx = t % 2 == 0 ? qx + 4.0f / 3 : qx + 8.0f / 3;
    float cz = t % 2 == 0 ? qz + 8.0f / 3 : qz + 4.0f / 3;
    float d = (cx - x) * (cx - x) + (cz - z) * (cz - z);
    if (d >= best) continue;
    best = d;
    const int32_t* k = &coords[t * LIGHTMAP_TRIANGLE_INTS];
    *column = (k[0] + k[4] + k[8]) / 3;
    *row = lmsize - 1 - (k[1] + k[5] + k[9]) / 3;
  }
}

TEST(BakerProgram, TheWrittenLightmapIsBrightNearTheLampAndDarkUnderTheBox) {
  DataFolder data;
  write_bake_meshes(data);
  ASSERT_TRUE(write_lambert(data));
  data.write("script.txt",
             "floor = load(\"floor\");\n"
             "object floor diffuse (1, 1, 1);\nobject floor lighted 1;\nobject floor active 1;\n"
             "box = load(\"box\");\n"
             "object box position (4, 1.5, 0);\nobject box diffuse (1, 1, 1);\n"
             "object box lighted 1;\nobject box active 1;\n"
             "lamp = load(\"lamp\");\n"  // unlit: the light source
             "object lamp position (-5, 4, 0);\nobject lamp diffuse (1, 1, 1);\nobject lamp active 1;\n"
             "new cRadio;\nradio lmsize (128);\nradio scrsize (32);\nradio calc;\ndelete cRadio;\n");
  // A window smaller than the lightmap.
  RunResult run = run_talpine(data, {"--size", "96x64", "--frames", "1"});
  ASSERT_EQ(run.exit_status, 0) << run.output << run.errors;
  EXPECT_EQ(run.output, "");
  // Progress on standard error: both materials, all 32 + 12 triangles.
  EXPECT_NE(run.errors.find("Baking lightmaps: material 2 of 2, triangle 44 of 44"), std::string::npos)
      << run.errors;

  EXPECT_TRUE(std::filesystem::exists(data.path() + "floor.gfx"));
  EXPECT_TRUE(std::filesystem::exists(data.path() + "box_00_lite.png"));
  EXPECT_FALSE(std::filesystem::exists(data.path() + "lamp_00_lite.png"));
  RunResult png;
  ASSERT_TRUE(read_png_file(data.path() + "floor_00_lite.png", &png));
  ASSERT_EQ(png.width, 128);
  ASSERT_EQ(png.height, 128);
  auto brightness = [&](float x, float z) {
    int column = 0, row = 0, r = 0, g = 0, b = 0;
    floor_cell_pixel(x, z, 128, &column, &row);
    png.pixel(column, row, &r, &g, &b);
    return r + g + b;
  };
  int lit = brightness(-5, 1), shadowed = brightness(4, 1);
  EXPECT_GT(lit, 150) << "floor under the lamp";
  EXPECT_LT(shadowed, lit / 3) << "floor under the box";
}

// The bake scene seen from above: the floor fills a 320 x 320 window, the
// lamp (unlit, white) at the left, the box at the right.
const std::string TOP_VIEW =
    "scene fov 60;\nscene position (0, 14, 0);\nscene rotation (-90, 0, 0);\n";
const std::string LOAD_SCENE =
    "floor = load(\"floor\");\n"
    "object floor diffuse (1, 1, 1);\nobject floor lighted 1;\nobject floor active 1;\n"
    "box = load(\"box\");\n"
    "object box position (4, 1.5, 0);\nobject box diffuse (1, 1, 1);\n"
    "object box lighted 1;\nobject box active 1;\n"
    "lamp = load(\"lamp\");\n"
    "object lamp position (-5, 4, 0);\nobject lamp diffuse (1, 1, 1);\nobject lamp active 1;\n";
const std::string BAKE = "new cRadio;\nradio lmsize (128);\nradio scrsize (32);\nradio calc;\nx = status cCamPX(0);\n";

RunResult top_view(const DataFolder& data, const std::string& script) {
  // Again at the end: a bake leaves the camera of its last sample view.
  data.write("script.txt", TOP_VIEW + script + TOP_VIEW + "sleep 50;\n");
  RunResult run = run_talpine(data, {"--size", "320x320", "--fixed-step", "16", "--frames", "2"}, true);
  EXPECT_EQ(run.exit_status, 0) << run.output << run.errors;
  EXPECT_TRUE(run.has_screenshot);
  if (!run.has_screenshot) {
    run.width = run.height = 320;
    run.rgb.assign(320 * 320 * 3, 0);
  }
  return run;
}

int brightness(const RunResult& run, int x, int y) {
  int r, g, b;
  run.pixel(x, y, &r, &g, &b);
  return r + g + b;
}

// The box and its sides in the top view.
bool on_box(int x, int y) { return x > 210 && x < 290 && y > 120 && y < 200; }

// Pixels whose three channels differ by more than `threshold` in all. The
// box's sides may be left out: seen edge-on, they sample coarse mip levels of
// the box's lightmap, where the baker's texture and the one read back from its
// file differ by a few levels along an edge.
int changed_pixels(const RunResult& a, const RunResult& b, int threshold, bool floor_only = false) {
  int n = 0;
  for (int y = 0; y < a.height && y < b.height; ++y)
    for (int x = 0; x < a.width && x < b.width; ++x) {
      if (floor_only && on_box(x, y)) continue;
      int r1, g1, b1, r2, g2, b2;
      a.pixel(x, y, &r1, &g1, &b1);
      b.pixel(x, y, &r2, &g2, &b2);
      if (std::abs(r1 - r2) + std::abs(g1 - g2) + std::abs(b1 - b2) > threshold) ++n;
    }
  return n;
}

// Floor pixels darker than the pixels three to either side, across and
// along, by more than `tolerance` (the three channels summed): the one- or
// two-pixel dark lines and spots that a seam or a black sample leaves. The
// lamp, the box and the black beyond the floor's edges are left out.
int dark_lines(const RunResult& run, int tolerance) {
  int found = 0;
  for (int y = 6; y < run.height - 6; ++y)
    for (int x = 6; x < run.width - 6; ++x) {
      if (on_box(x, y)) continue;
      bool beside_other = false;
      for (int j = -4; j <= 4 && !beside_other; ++j)
        for (int i = -4; i <= 4 && !beside_other; ++i) {
          int near = brightness(run, x + i, y + j);
          beside_other = near > 600 || near < 6;  // the lamp, or no floor
        }
      if (beside_other) continue;
      const int c = brightness(run, x, y);
      const int across = (brightness(run, x - 3, y) + brightness(run, x + 3, y)) / 2;
      const int along = (brightness(run, x, y - 3) + brightness(run, x, y + 3)) / 2;
      if (c < across - tolerance && c < along - tolerance) ++found;
    }
  return found;
}

// Seen while the baker holds the lightmaps (before it is finished): no black
// sample over the floor's origin, where the sample views look straight up,
// and no seam along the triangles' edges.
TEST(BakerProgram, TheBakedFloorHasNeitherSeamsNorABlotch) {
  DataFolder data;
  write_bake_meshes(data);
  ASSERT_TRUE(write_lambert(data));
  RunResult run = top_view(data, LOAD_SCENE + BAKE + "radio savemode (0);\nscene size (320, 320);\n");
  const int lit = brightness(run, 100, 160);  // the floor beside the lamp
  EXPECT_GT(lit, 150);
  EXPECT_EQ(dark_lines(run, 12), 0);
  // The origin, at the centre, is as bright as the floor around it.
  int centre = 0, around = 0;
  for (int j = -2; j <= 2; ++j)
    for (int i = -2; i <= 2; ++i) centre += brightness(run, 160 + i, 160 + j);
  for (int i = -2; i <= 2; ++i)
    around += brightness(run, 145 + i, 160) + brightness(run, 175 + i, 160) + brightness(run, 160, 145 + i) +
              brightness(run, 160, 175 + i);
  EXPECT_GT(centre / 25, around / 20 - 12) << centre / 25 << " against " << around / 20;
}

// A bake is worth something only if its light stays: finished, the floor
// shows its colour map under the lightmap; loaded again in a later run from
// the cache the baker rewrote, it shows the same.
TEST(BakerProgram, TheBakedLightStaysAfterFinishingAndInALaterRun) {
  DataFolder data;
  write_bake_meshes(data);
  ASSERT_TRUE(write_lambert(data));
  RunResult baking = top_view(data, LOAD_SCENE + BAKE + "scene size (320, 320);\n");
  RunResult finished = top_view(data, LOAD_SCENE + BAKE + "delete cRadio;\n");
  ASSERT_TRUE(std::filesystem::exists(data.path() + "floor.gfx"));
  ASSERT_TRUE(std::filesystem::exists(data.path() + "floor_00_lite.png"));
  RunResult later = top_view(data, LOAD_SCENE);

  const int lit = brightness(finished, 100, 160), far = brightness(finished, 300, 300);
  EXPECT_GT(lit, 150);
  EXPECT_LT(far, lit / 2) << "the baked light, not the flat colour";
  EXPECT_EQ(changed_pixels(finished, later, 6, true), 0);
  EXPECT_LT(changed_pixels(finished, later, 6), 40);
  // The finished floor against the bake's own picture: the same light
  // (multisampling is back on, so the outlines differ a little).
  EXPECT_LT(changed_pixels(finished, baking, 24), 320 * 320 / 50);
  EXPECT_EQ(dark_lines(later, 12), 0);
}

}  // namespace
