// The program as a script author uses it: an OBJ and a 3D Studio file in the
// data folder, loaded, shown, queried and photographed.
#include <gtest/gtest.h>

#include "tests/mesh/mesh_files.h"
#include "tests/support/e2e.h"

namespace {

// A square of edge 2 facing +z, one material "paint" of diffuse (0, 204, 51).
std::string square_3ds() {
  Bytes vertices;
  vertices.u16(4).floats({-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0});
  Bytes faces;
  faces.u16(2).u16(0).u16(1).u16(2).u16(0).u16(0).u16(2).u16(3).u16(0);
  Bytes face_material;
  face_material.cstr("paint").u16(2).u16(0).u16(1);
  std::string face_list = chunk(0x4120, faces.s + chunk(0x4130, face_material.s));
  std::string object = chunk(0x4000, Bytes().cstr("square").s + chunk(0x4100, chunk(0x4110, vertices.s) + face_list));
  std::string material = chunk(0xAFFF, chunk(0xA000, Bytes().cstr("paint").s) +
                                           chunk(0xA020, chunk(0x0011, Bytes().u8(0).u8(204).u8(51).s)));
  return chunk(0x4D4D, chunk(0x3D3D, material + object));
}

TEST(MeshEndToEnd, ScriptLoadsShowsQueriesAndFillsTheTable) {
  DataFolder data;
  data.write("cube.obj", cube_obj(1.0f));
  data.write("Square.3DS", square_3ds());  // names are matched without regard to case
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

}  // namespace
