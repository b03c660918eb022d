// Hostile mesh files, end to end: for each format (.gfx, 3D Studio, OBJ) a
// valid file cut at many lengths, garbage of several sizes and an empty file.
// `load` returns the object's slot whether or not the mesh read, so each load
// prints its slot number; the objects are switched on and drawn; nothing else
// is printed and the status is 0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/engine.h"
#include "mesh/loader_obj.h"
#include "mesh/object.h"
#include "tests/mesh/mesh_files.h"
#include "tests/support/e2e.h"

namespace {

std::string cube_text() { return cube_obj(1.0f); }

std::string cube_gfx() {
  auto engine = std::make_unique<Engine>();
  cObject object(engine.get());
  std::string text = cube_text();
  readObjText(&object, text.data(), text.size());
  DataFolder scratch;
  object.writeGfx((scratch.path() + "cube.gfx").c_str());
  FILE* in = std::fopen((scratch.path() + "cube.gfx").c_str(), "rb");
  std::string bytes;
  if (in) {
    char block[4096];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, in)) > 0) bytes.append(block, n);
    std::fclose(in);
  }
  return bytes;
}

std::string cube_3ds() {
  Bytes vertices, faces, mapping;
  const float corners[8][3] = {{-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1},
                               {-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}};
  vertices.u16(8);
  mapping.u16(8);
  for (const auto& c : corners) {
    vertices.floats({c[0], c[1], c[2]});
    mapping.floats({c[0] * 0.5f + 0.5f, c[1] * 0.5f + 0.5f});
  }
  const uint16_t tris[12][3] = {{0, 1, 2}, {0, 2, 3}, {5, 4, 7}, {5, 7, 6}, {1, 5, 6}, {1, 6, 2},
                                {4, 0, 3}, {4, 3, 7}, {3, 2, 6}, {3, 6, 7}, {4, 5, 1}, {4, 1, 0}};
  faces.u16(12);
  for (const auto& t : tris) faces.u16(t[0]).u16(t[1]).u16(t[2]).u16(7);
  Bytes list;
  list.cstr("grey").u16(12);
  for (uint16_t f = 0; f < 12; ++f) list.u16(f);
  std::string material = chunk(0xAFFF, chunk(0xA000, Bytes().cstr("grey").s) +
                                           chunk(0xA020, chunk(0x0011, Bytes().u8(128).u8(128).u8(128).s)) +
                                           chunk(0xA200, chunk(0xA300, Bytes().cstr("missing.png").s)));
  std::string mesh = chunk(0x4000, Bytes().cstr("cube").s +
                                       chunk(0x4100, chunk(0x4110, vertices.s) +
                                                         chunk(0x4120, faces.s + chunk(0x4130, list.s)) +
                                                         chunk(0x4140, mapping.s)));
  return chunk(0x4D4D, chunk(0x0002, "abcd") + chunk(0x3D3D, material + mesh));
}

std::string garbage(size_t size, uint32_t seed) {
  std::string bytes;
  for (size_t i = 0; i < size; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes.push_back(static_cast<char>(seed >> 16));
  }
  return bytes;
}

// Writes the cases of one format as m0.EXT, m1.EXT, ... and runs a script
// that loads, shows and draws every one of them.
void check_format(const std::string& extension, const std::string& valid) {
  ASSERT_GT(valid.size(), 40u) << extension;
  std::vector<std::string> files;
  for (int cut = 1; cut <= 24; ++cut) files.push_back(valid.substr(0, valid.size() * cut / 25));
  files.push_back(valid.substr(0, valid.size() - 1));
  files.push_back(valid.substr(0, 1));
  files.push_back("");
  for (size_t size : {3u, 37u, 512u, 70000u}) files.push_back(garbage(size, static_cast<uint32_t>(size)));
  // The valid file with garbage after its first bytes (a damaged body).
  files.push_back(valid.substr(0, 16) + garbage(valid.size(), 99));
  files.push_back(valid);  // and the file itself, last: it must still load

  DataFolder data;
  std::string script = "scene camera (0, 0, 8);\n";
  std::string expected;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string name = "m" + std::to_string(i);
    data.write(name + "." + extension, files[i]);
    script += "n = load(\"" + name + "\");\nprint n;\nobject n active (1);\n";
    expected += "Talpine Engine 2.02: script print: " + std::to_string(i) + ".000000\n";
  }
  data.write("script.txt", script);
  RunResult run = run_talpine(data, {"--frames", "3"}, true, 180);
  EXPECT_FALSE(run.timed_out) << extension;
  EXPECT_EQ(run.exit_status, 0) << extension << run.errors;
  EXPECT_EQ(run.output, expected) << extension;
  EXPECT_TRUE(run.has_screenshot) << extension;
}

TEST(HostileMeshes, TruncatedAndGarbageGfx) { check_format("gfx", cube_gfx()); }
TEST(HostileMeshes, TruncatedAndGarbage3ds) { check_format("3ds", cube_3ds()); }
TEST(HostileMeshes, TruncatedAndGarbageObj) { check_format("obj", cube_text()); }

TEST(HostileMeshes, GfxCountsBeyondTheData) {
  // A header that reads and a body claiming 4 billion parts, vertices,
  // coordinates, groups or triangles: nothing is allocated for them.
  std::string valid = cube_gfx();
  ASSERT_GT(valid.size(), 60u);
  DataFolder data;
  std::string script, expected;
  const size_t header = 37;
  // The counts sit at fixed places in a one-part file: parts, then (after the
  // part number and its name) the vertex count.
  std::vector<size_t> offsets = {header, header + 8 + static_cast<uint8_t>(valid[header + 8]) + 1};
  int index = 0;
  for (size_t offset : offsets) {
    std::string damaged = valid;
    for (int k = 0; k < 4; ++k) damaged[offset + k] = '\xFF';
    std::string name = "c" + std::to_string(index);
    data.write(name + ".gfx", damaged);
    script += "n = load(\"" + name + "\");\nprint n;\nobject n active (1);\n";
    expected += "Talpine Engine 2.02: script print: " + std::to_string(index) + ".000000\n";
    ++index;
  }
  data.write("script.txt", script);
  RunResult run = run_talpine(data, {"--frames", "2"});
  EXPECT_EQ(run.exit_status, 0) << run.errors;
  EXPECT_EQ(run.output, expected);
}

TEST(HostileMeshes, DamagedTrailersStillDrawAndDeepNestingFallsThrough) {
  // A red quad whose main chunk claims 10 bytes more than the file holds, on
  // the left; the same quad cut 20 bytes short inside its keyframer chunk, on
  // the right; in the middle a 3D Studio file of face lists nested 30,000
  // deep, which fails as any unreadable file does, so that its OBJ twin (drawn
  // green) loads instead.
  std::string quad = quad_3ds(255, 0, 0);
  std::string overstated = quad;
  overstated.replace(2, 4, Bytes().u32(static_cast<uint32_t>(quad.size() + 10)).s);
  DataFolder data;
  data.write("long.3ds", overstated);
  data.write("cut.3ds", quad.substr(0, quad.size() - 20));
  data.write("deep.3ds", nested_face_lists_3ds(30000));
  data.write("deep.obj", "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nf 1 2 3 4\n");
  data.write("script.txt",
             "a = load(\"long\");\nb = load(\"cut\");\nc = load(\"deep\");\n"
             "print a + b + c;\n"
             "object a position (-2.5, 0, 8);\nobject b position (2.5, 0, 8);\nobject c position (0, 0, 8);\n"
             "object c diffuse (0, 1, 0);\n"
             "object a active 1;\nobject b active 1;\nobject c active 1;\n"
             "scene position (0, 0, -2);\n");
  RunResult run = run_talpine(data, {"--size", "320x240", "--frames", "3"}, true);
  ASSERT_EQ(run.exit_status, 0) << run.output << run.errors;
  EXPECT_EQ(run.output, "Talpine Engine 2.02: script print: 3.000000\n");
  ASSERT_TRUE(run.has_screenshot);
  int r, g, b;
  for (int x : {78, 242}) {
    run.pixel(x, 120, &r, &g, &b);
    EXPECT_GT(r, 230) << x;
    EXPECT_LT(g + b, 30) << x;
  }
  run.pixel(160, 120, &r, &g, &b);
  EXPECT_LT(r + b, 30);
  EXPECT_GT(g, 230);
}

}  // namespace
