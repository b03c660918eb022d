// The baker driven by a script through the program: the lightmap image it
// writes when finishing, read back from the data folder.
#include <gtest/gtest.h>

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

}  // namespace
