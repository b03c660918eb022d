// Mesh files without GL: the fall-back order, 3D Studio chunks, OBJ text, the
// .gfx cache byte by byte, and hostile input of each format.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "mesh/byte_reader.h"
#include "mesh/loader_3ds.h"
#include "mesh/loader_obj.h"
#include "resources/texture_manager.h"
#include "tests/mesh/mesh_files.h"
#include "tests/resources/image_files.h"
#include "tests/support/e2e.h"
#include "tests/support/gl_fixture.h"

namespace {

// A fresh object in slot 0 of the engine's table, loaded by name.
cObject* load_object(Engine* engine, const char* name, bool* ok = nullptr) {
  delete engine->scene.objects[0];
  auto* object = new cObject(engine);
  engine->scene.objects[0] = object;
  engine->scene.objects.count = 1;
  bool loaded = object->load(name);
  if (ok) *ok = loaded;
  return object;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct Loaders : ::testing::Test {
  Engine engine;
  DataFolder data;
  void SetUp() override { std::snprintf(engine.paths.data_path, sizeof engine.paths.data_path, "%s", data.path().c_str()); }
  std::string path(const std::string& name) const { return data.path() + name; }
  std::string read(const std::string& name) const { return read_file(path(name)); }
  cObject* load(const char* name, bool* ok = nullptr) { return load_object(&engine, name, ok); }
  cObject* obj_text(const std::string& text) {
    delete engine.scene.objects[0];
    auto* object = new cObject(&engine);
    engine.scene.objects[0] = object;
    engine.scene.objects.count = 1;
    EXPECT_TRUE(readObjText(object, text.data(), text.size()));
    return object;
  }
  static std::vector<int> indices(const cObject* o, int part = 0) {
    return {o->parts[part].groups[0].indices.begin(), o->parts[part].groups[0].indices.end()};
  }
};

// ---- OBJ --------------------------------------------------------------------

// Whole files: a regular file from where it stands to its end, sized once; a
// pipe, whose size is unknown, chunk by chunk.
TEST(WholeFile, RegularFilesFromTheirPositionAndPipesToTheirEnd) {
  DataFolder data;
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes.push_back(static_cast<char>(i * 7 % 251));
  data.write("big.bin", bytes);
  data.write("empty.bin", "");
  FILE* file = std::fopen((data.path() + "big.bin").c_str(), "rb");
  ASSERT_TRUE(file);
  std::vector<uint8_t> all = read_whole_file(file);
  EXPECT_EQ(std::string(all.begin(), all.end()), bytes);
  std::fseek(file, 1000, SEEK_SET);
  std::vector<uint8_t> rest = read_whole_file(file);
  EXPECT_EQ(std::string(rest.begin(), rest.end()), bytes.substr(1000));
  std::fclose(file);

  file = std::fopen((data.path() + "empty.bin").c_str(), "rb");
  EXPECT_TRUE(read_whole_file(file).empty());
  std::fclose(file);

  FILE* pipe = popen(("cat '" + data.path() + "big.bin'").c_str(), "r");
  ASSERT_TRUE(pipe);
  std::vector<uint8_t> piped = read_whole_file(pipe);
  pclose(pipe);
  EXPECT_EQ(std::string(piped.begin(), piped.end()), bytes);
}

TEST_F(Loaders, ObjBlocksBecomeRebasedPartsWithTheListedColours) {
  cObject* o = obj_text(
      "# two blocks\n"
      "o first\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"
      "o second\nv 5 0 0\nv 6 0 0\nv 5 1 0\nv 6 1 0\nf 4 5 6\nf 5 7 6\n");
  ASSERT_EQ(o->partCount, 2);
  EXPECT_EQ(indices(o, 0), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(o->parts[1].vertexCount, 4);
  EXPECT_EQ(indices(o, 1), (std::vector<int>{0, 1, 2, 1, 3, 2}));
  const MaterialGroup& g = o->parts[1].groups[0];
  EXPECT_EQ(g.drawIndices, g.indices);
  EXPECT_EQ(g.drawTriangleCount, 2);
  EXPECT_FLOAT_EQ(g.ambient[0], 1.0f);
  EXPECT_FLOAT_EQ(g.diffuse[0], 0.0f);
  EXPECT_FLOAT_EQ(g.diffuse[3], 1.0f);
  EXPECT_FLOAT_EQ(g.specular[3], 1.0f);
  EXPECT_EQ(g.baseTexture, 0);
  // No coordinates in the file: one zero pair per vertex.
  EXPECT_EQ(o->parts[1].texCoordCount, 4);
  EXPECT_EQ(o->parts[1].texCoords.size(), 8u);
  EXPECT_FLOAT_EQ(o->parts[1].normals[2], 1.0f);
}

TEST_F(Loaders, ObjFacesOfEveryCornerFormAndSize) {
  cObject* o = obj_text(
      "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 0 1\n"
      "vt 0 0\nvt 1 0\nvt 1 1\n"
      "vn 0 0 1\n"
      "f 1 2 3 4\n"              // quad: (1, 2, 3) and (1, 3, 4)
      "f 1/1/1 2/2/1 5/3/1\n"    // v/vt/vn
      "f 2//1 3//1 5//1\r\n"     // v//vn, CRLF
      "f -5/1 -4/2 -3/3\n"       // relative numbers: 1, 2, 3
      "f 1 2 0\n"                // 0 is no vertex: dropped
      "f 1 2 9\n");              // beyond the part: dropped
  ASSERT_EQ(o->partCount, 1);
  EXPECT_EQ(indices(o), (std::vector<int>{0, 1, 2, 0, 2, 3, 0, 1, 4, 1, 2, 4, 0, 1, 2}));
  // Coordinates pair with positions by order, whatever the faces say; the
  // part gets exactly one pair per vertex.
  const MeshPart& p = o->parts[0];
  EXPECT_EQ(p.texCoordCount, 5);
  EXPECT_FLOAT_EQ(p.texCoords[2 * 2 + 0], 1.0f);  // vertex 2 <- third "vt"
  EXPECT_FLOAT_EQ(p.texCoords[2 * 2 + 1], 1.0f);
  EXPECT_FLOAT_EQ(p.texCoords[4 * 2], 0.0f);  // no fifth "vt": zero
}

TEST_F(Loaders, ObjConcaveFacesAreCutAlongTheirInsideDiagonals) {
  // A dart whose second corner points in: the fan's diagonal 1-3 would run
  // outside it, the one inside is 2-4. Then the same dart seen from behind
  // (wound the other way), and a quad naming a vertex of no part, which keeps
  // the fan and loses the triangle that names it.
  cObject* o = obj_text(
      "v 2 0 0\nv 1 0.5 0\nv 1 2 0\nv 0 0 0\n"
      "f 1 2 3 4\n"
      "f 4 3 2 1\n"
      "f 1 2 3 9\n");
  ASSERT_EQ(o->partCount, 1);
  EXPECT_EQ(indices(o), (std::vector<int>{1, 2, 3, 1, 3, 0, 3, 2, 1, 3, 1, 0, 0, 1, 2}));
  // Every triangle faces the way the dart does: +z, then -z.
  const std::vector<float>& normals = o->parts[0].groups[0].faceNormals;
  EXPECT_FLOAT_EQ(normals[2], 1.0f);
  EXPECT_FLOAT_EQ(normals[5], 1.0f);
  EXPECT_FLOAT_EQ(normals[8], -1.0f);
  EXPECT_FLOAT_EQ(normals[11], -1.0f);
}

TEST_F(Loaders, ObjPartWhoseFirstFaceDoesNotStartAtItsFirstVertex) {
  cObject* o = obj_text(
      "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n"
      "v 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\nf 7 6 5 4\n");
  ASSERT_EQ(o->partCount, 2);
  EXPECT_EQ(indices(o, 1), (std::vector<int>{3, 2, 1, 3, 1, 0}));
}

TEST_F(Loaders, ObjExtraCoordinatesAreCutAndAHugePartIsSplit) {
  cObject* o = obj_text("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 1 1\nvt 2 2\nvt 3 3\nvt 4 4\nf 1 2 3\n");
  EXPECT_EQ(o->parts[0].texCoordCount, 3);
  EXPECT_EQ(o->parts[0].texCoords.size(), 6u);

  // 70,002 vertices in one run: faces go, in order, into parts of at most
  // 65,535 distinct vertices each; none is dropped.
  std::string text;
  const int strips = 35001;
  for (int i = 0; i < strips; ++i) {
    text += "v " + std::to_string(i) + " 0 0\n";
    text += "v " + std::to_string(i) + " 1 0\n";
  }
  for (int i = 0; i + 1 < strips; ++i) {
    int a = 2 * i + 1;
    text += "f " + std::to_string(a) + " " + std::to_string(a + 2) + " " + std::to_string(a + 1) + "\n";
  }
  o = obj_text(text);
  ASSERT_EQ(o->partCount, 2);
  int triangles = 0;
  for (const MeshPart& part : o->parts) {
    EXPECT_LE(part.vertexCount, 65535);
    for (uint16_t index : part.groups[0].indices) EXPECT_LT(index, part.vertexCount);
    triangles += part.groups[0].triangleCount;
  }
  EXPECT_EQ(triangles, strips - 1);
  // The second part starts where the first stopped, positions carried along.
  const MeshPart& second = o->parts[1];
  float first_x = second.positions[second.groups[0].indices[0] * 3];
  EXPECT_GT(first_x, 30000.0f);
}

TEST_F(Loaders, ObjGarbageLoadsWithoutHarm) {
  std::string noise;
  for (int i = 0; i < 5000; ++i) noise.push_back(static_cast<char>((i * 7919) % 251));
  obj_text(noise);
  obj_text("f 1 2 3\nf\nv\nvt\nf 99999999999999999999 1 2\nv 1e40 nan inf\n" + std::string(500, 'x'));
  cObject* o = obj_text("v 1 2\nv 3\nv 4 5 6\nf 1 2 3\n");  // missing numbers are 0
  EXPECT_FLOAT_EQ(o->parts[0].positions[2], 0.0f);
  EXPECT_FLOAT_EQ(o->parts[0].positions[6], 4.0f);
}

TEST_F(Loaders, ObjNumbersInEveryFormAndAWordThatStopsTheRest) {
  cObject* o = obj_text(
      "v 0x10 +2.5 -1e-50\n"       // hexadecimal, a plus sign, below the range of float
      "v\t1e40 .5 \f7\n"           // beyond it, no leading digit, a form feed before a number
      "v 1 two 3\n"                // a word: it and all after it are 0
      "vt 0.25 0.75\r\n"
      "f +1 2/1/1 \v3\n");
  ASSERT_EQ(o->partCount, 1);
  const std::vector<float>& p = o->parts[0].positions;
  ASSERT_EQ(p.size(), 9u);
  EXPECT_EQ(p[0], 16.0f);
  EXPECT_EQ(p[1], 2.5f);
  EXPECT_EQ(p[2], 0.0f);
  EXPECT_TRUE(std::signbit(p[2]));
  EXPECT_TRUE(std::isinf(p[3]));
  EXPECT_EQ(p[4], 0.5f);
  EXPECT_EQ(p[5], 7.0f);
  EXPECT_EQ(p[6], 1.0f);
  EXPECT_EQ(p[7], 0.0f);
  EXPECT_EQ(p[8], 0.0f);
  EXPECT_EQ(o->parts[0].texCoords[1], 0.75f);
  EXPECT_EQ(indices(o), (std::vector<int>{0, 1, 2}));
}

// ---- 3D Studio ----------------------------------------------------------------

// A colour sub-chunk of three bytes.
std::string colour(uint16_t id, uint8_t r, uint8_t g, uint8_t b) {
  return chunk(id, chunk(0x0011, Bytes().u8(r).u8(g).u8(b).s));
}

std::string material(const std::string& name, const std::string& extra) {
  return chunk(0xAFFF, chunk(0xA000, Bytes().cstr(name).s) + extra);
}

// A mesh of `vertices` (x, y, z each) with faces and nested material lists.
std::string mesh(const std::string& name, int vertices, const std::vector<int>& faces,
                 const std::string& face_sub_chunks, const std::string& more = "") {
  Bytes v;
  v.u16(static_cast<uint16_t>(vertices));
  for (int i = 0; i < vertices; ++i) v.floats({float(i), float(i % 2), 0.5f});
  Bytes f;
  f.u16(static_cast<uint16_t>(faces.size() / 3));
  for (size_t i = 0; i < faces.size(); i += 3)
    f.u16(static_cast<uint16_t>(faces[i])).u16(static_cast<uint16_t>(faces[i + 1])).u16(static_cast<uint16_t>(faces[i + 2])).u16(7);
  std::string trimesh = chunk(0x4110, v.s) + chunk(0x4120, f.s + face_sub_chunks) + more;
  return chunk(0x4000, Bytes().cstr(name).s + chunk(0x4100, trimesh));
}

std::string face_material(const std::string& name, std::initializer_list<uint16_t> faces) {
  Bytes b;
  b.cstr(name).u16(static_cast<uint16_t>(faces.size()));
  for (uint16_t f : faces) b.u16(f);
  return chunk(0x4130, b.s);
}

std::string file3ds(const std::string& editor) { return chunk(0x4D4D, chunk(0x0002, "abcd") + chunk(0x3D3D, editor)); }

// Material textures need a context to upload into.
struct LoadersInContext : EngineTest {
  std::string path(const std::string& name) const { return data->path() + name; }
  cObject* load(const char* name, bool* ok = nullptr) { return load_object(engine, name, ok); }
};

TEST_F(LoadersInContext, ThreeDsMaterialsFaceListsAndMapping) {
  start();
  ASSERT_TRUE(write_image(path("brick.png"), 64, 64, 24, 1, 2, 3));
  std::string red = material("red", colour(0xA020, 255, 0, 0) + colour(0xA030, 0, 51, 0) +
                                        chunk(0xA050, chunk(0x0030, Bytes().u16(40).s)) +
                                        chunk(0xA200, chunk(0xA300, Bytes().cstr("brick.jpg").s)));
  std::string clear = material("clear", chunk(0xA050, chunk(0x0030, Bytes().u16(0).s)));
  Bytes mapping;
  mapping.u16(2).floats({0.25f, 0.75f, 1, 1});
  // "later" is defined after the mesh: its faces link to nothing and drop.
  // Face 9 does not exist; face 2 names vertex 40, which does not either.
  std::string m = mesh("longobjectname", 4, {0, 1, 2, 1, 3, 2, 0, 40, 1},
                       face_material("red", {0, 9, 2}) + face_material("later", {1}) + face_material("clear", {1}),
                       chunk(0x4140, mapping.s));
  data->write("box.3ds", file3ds(red + clear + m + material("later", "")));
  bool ok = false;
  cObject* o = load("box", &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(o->partCount, 1);
  const MeshPart& part = o->parts[0];
  EXPECT_STREQ(part.name, "longobj");
  EXPECT_EQ(part.vertexCount, 4);
  ASSERT_EQ(part.groupCount, 2);
  const MaterialGroup& g = part.groups[0];
  EXPECT_EQ(g.triangleCount, 1);
  EXPECT_EQ(std::vector<int>(g.indices.begin(), g.indices.end()), (std::vector<int>{0, 1, 2}));
  EXPECT_FLOAT_EQ(g.diffuse[0], 1.0f);
  EXPECT_FLOAT_EQ(g.diffuse[1], 0.0f);
  EXPECT_FLOAT_EQ(g.specular[1], 0.2f);
  EXPECT_FLOAT_EQ(g.ambient[0], 0.0f);
  EXPECT_FLOAT_EQ(g.diffuse[3], 0.4f);  // 40 percent
  EXPECT_FLOAT_EQ(g.ambient[3], 0.4f);
  ASSERT_NE(g.baseTexture, 0);
  EXPECT_STREQ(engine->resources.textures[g.baseTexture].name, "brick");
  EXPECT_FLOAT_EQ(part.groups[1].diffuse[3], 1.0f);  // 0 percent reads as opaque
  // Two mapping pairs for four vertices: one pair per vertex, the rest zero.
  EXPECT_EQ(part.texCoordCount, 4);
  EXPECT_FLOAT_EQ(part.texCoords[1], 0.75f);
  EXPECT_FLOAT_EQ(part.texCoords[7], 0.0f);
  // The caller finished the load: boxes, transform, dirty.
  EXPECT_FLOAT_EQ(o->localCorners[1][0], 3.0f);
  EXPECT_FLOAT_EQ(o->position[2], 0.0f);
  EXPECT_EQ(o->dirty, 1);
}

TEST_F(Loaders, ThreeDsBlackColoursBecomeWhiteAndNoFaceListMeansNoGroups) {
  std::string black = material("ink", colour(0xA020, 0, 0, 0));
  std::string flat = chunk(0xAFFF, chunk(0xA000, Bytes().cstr("float").s) +
                                       chunk(0xA020, chunk(0x0010, Bytes().floats({1, 0, 0}).s)));
  std::string m1 = mesh("a", 3, {0, 1, 2}, face_material("ink", {0}) + face_material("float", {0}));
  std::string m2 = mesh("b", 3, {0, 1, 2}, "");
  data.write("ink.3ds", file3ds(black + flat + m1 + m2));
  bool ok = false;
  cObject* o = load("ink", &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(o->partCount, 2);
  ASSERT_EQ(o->parts[0].groupCount, 2);
  for (const MaterialGroup& g : o->parts[0].groups) {
    EXPECT_FLOAT_EQ(g.diffuse[0], 1.0f);
    EXPECT_FLOAT_EQ(g.diffuse[2], 1.0f);
  }
  EXPECT_EQ(o->parts[1].groupCount, 0);
  EXPECT_EQ(o->parts[1].vertexCount, 3);
}

TEST_F(Loaders, ThreeDsHostileFilesFailOrStopCleanly) {
  std::string good = file3ds(material("m", colour(0xA020, 9, 9, 9)) + mesh("a", 3, {0, 1, 2}, face_material("m", {0})));
  // Every truncation either fails or loads what came before the cut.
  for (size_t cut = 0; cut < good.size(); ++cut) {
    std::unique_ptr<Scene3ds> scene = read3dsBytes(reinterpret_cast<const uint8_t*>(good.data()), cut);
    if (scene) {
      cObject o(&engine);
      EXPECT_TRUE(convert3ds(&o, *scene));
    }
  }
  // A zero-length chunk ends its parent's walk instead of looping.
  std::string zero = chunk(0x4D4D, chunk(0x3D3D, Bytes().u16(0x4000).u32(0).s + std::string(20, 'z')));
  std::unique_ptr<Scene3ds> scene = read3dsBytes(reinterpret_cast<const uint8_t*>(zero.data()), zero.size());
  ASSERT_TRUE(scene);
  EXPECT_TRUE(scene->meshes.empty());
  // A chunk claiming more than its parent holds.
  std::string overlong = chunk(0x4D4D, Bytes().u16(0x3D3D).u32(100000).s + "xx");
  EXPECT_TRUE(read3dsBytes(reinterpret_cast<const uint8_t*>(overlong.data()), overlong.size()));
  // Counts beyond their chunk.
  std::string counts = file3ds(chunk(0x4000, Bytes().cstr("c").s + chunk(0x4100, chunk(0x4110, Bytes().u16(60000).s) +
                                                                                chunk(0x4120, Bytes().u16(9999).s))));
  scene = read3dsBytes(reinterpret_cast<const uint8_t*>(counts.data()), counts.size());
  ASSERT_TRUE(scene);
  EXPECT_TRUE(scene->meshes[0].vertices.empty());

  // Not a 3D Studio file: fails, and the loader falls through to the OBJ.
  data.write("both.3ds", "garbage that is no chunk");
  data.write("both.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  bool ok = false;
  cObject* o = load("both", &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(o->partCount, 1);
  EXPECT_EQ(o->parts[0].name[0], '\0');
}

std::unique_ptr<Scene3ds> scene_of(const std::string& bytes) {
  return read3dsBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

TEST_F(Loaders, ThreeDsDamageLosesOnlyWhatItCutsAndDeepNestingFails) {
  // A quad whose main chunk claims 10 bytes more than the file holds, and the
  // same file cut 20 bytes short, inside its keyframer chunk: the mesh, its
  // faces and its material all read.
  std::string quad = quad_3ds(255, 0, 0);
  ASSERT_LT(quad.find(Bytes().u16(0xB000).s), quad.size() - 20);
  std::string overstated = quad;
  overstated.replace(2, 4, Bytes().u32(static_cast<uint32_t>(quad.size() + 10)).s);
  for (const std::string& damaged : {overstated, quad.substr(0, quad.size() - 20)}) {
    std::unique_ptr<Scene3ds> scene = scene_of(damaged);
    ASSERT_TRUE(scene);
    ASSERT_EQ(scene->meshes.size(), 1u);
    EXPECT_EQ(scene->meshes[0].vertices.size(), 12u);
    ASSERT_EQ(scene->meshes[0].faceMaterials.size(), 1u);
    EXPECT_EQ(scene->meshes[0].faceMaterials[0].faces, (std::vector<uint16_t>{0, 1}));
    cObject o(&engine);
    ASSERT_TRUE(convert3ds(&o, *scene));
    ASSERT_EQ(o.parts[0].groupCount, 1);
    EXPECT_EQ(o.parts[0].groups[0].triangleCount, 2);
    EXPECT_FLOAT_EQ(o.parts[0].groups[0].diffuse[0], 1.0f);
  }

  // Cut inside the second mesh's face list: the first mesh is whole, the
  // second keeps its vertices and loses the faces the cut went through.
  std::string two = file3ds(material("m", colour(0xA020, 9, 9, 9)) +
                            mesh("a", 3, {0, 1, 2}, face_material("m", {0})) +
                            mesh("b", 4, {0, 1, 2, 1, 3, 2}, face_material("m", {0, 1})));
  size_t second_faces = two.rfind(Bytes().u16(0x4120).s);
  ASSERT_NE(second_faces, std::string::npos);
  std::unique_ptr<Scene3ds> scene = scene_of(two.substr(0, second_faces + 12));
  ASSERT_TRUE(scene);
  ASSERT_EQ(scene->meshes.size(), 2u);
  EXPECT_EQ(scene->meshes[0].faces.size(), 4u);
  EXPECT_EQ(scene->meshes[0].faceMaterials.size(), 1u);
  EXPECT_EQ(scene->meshes[1].vertices.size(), 12u);
  EXPECT_TRUE(scene->meshes[1].faces.empty());
  EXPECT_TRUE(scene->meshes[1].faceMaterials.empty());

  // Face lists nested 30,000 deep (240 KB) are refused, as any unreadable
  // file: the loader goes on to the OBJ source (below). Twenty-five levels
  // still read.
  std::string deep = nested_face_lists_3ds(30000);
  EXPECT_GT(deep.size(), 240000u);
  EXPECT_FALSE(scene_of(deep));
  EXPECT_TRUE(scene_of(nested_face_lists_3ds(25)));
  // Meshes of six bytes each, past the 65,535 a file may hold: refused
  // rather than turned into parts of a few hundred bytes each.
  auto empty_meshes = [](int count) {
    std::string meshes;
    for (int i = 0; i < count; ++i) meshes += chunk(0x4100, "");
    return file3ds(chunk(0x4000, Bytes().cstr("many").s + meshes));
  };
  EXPECT_EQ(scene_of(empty_meshes(65535))->meshes.size(), 65535u);
  EXPECT_FALSE(scene_of(empty_meshes(65536)));
  data.write("deep.3ds", deep);
  data.write("deep.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  bool ok = false;
  cObject* o = load("deep", &ok);
  EXPECT_TRUE(ok);
  ASSERT_EQ(o->partCount, 1);
  EXPECT_EQ(o->parts[0].vertexCount, 3);
}

// ---- the .gfx cache -----------------------------------------------------------

// A hand-written cache: one part "quad" of 4 vertices, one group of 2
// triangles with no texture, in either byte order and version.
std::string gfx_file(bool big, int major, int minor, uint32_t coord_count = 4) {
  Bytes b;
  b.big = big;
  std::string magic = big ? "MX86 TalpineEngine <****wurdo****>" : "IX86 TalpineEngine <****wurdo****>";
  b.str(magic).u8(static_cast<uint8_t>(major)).u8(static_cast<uint8_t>(minor));
  b.u32(1).u32(0).str("quad").u32(4);
  b.floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0});
  if (major >= 2) b.floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1});
  b.u32(coord_count);
  for (uint32_t i = 0; i < coord_count; ++i) b.floats({0.5f, float(i)});
  b.u32(1).str("");
  b.u32(2).u16(0).u16(1).u16(2).u16(0).u16(2).u16(3);
  if (major >= 2) b.floats({0, 0, 1, 0, 0, 1});
  b.u32(1);
  for (int i = 0; i < 24; ++i) b.u32(static_cast<uint32_t>(i * 1000 + 7));
  b.floats({0.1f, 0.2f, 0.3f, 1, 0.4f, 0.5f, 0.6f, 0.7f, 0, 0, 0, 1});
  return b.s;
}

TEST_F(LoadersInContext, GfxRoundTripKeepsEverythingButLongNames) {
  start();
  ASSERT_TRUE(write_image(path("wood.png"), 64, 64, 24, 1, 2, 3));
  data->write("src.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.5 0.25\nf 1 2 3\nv 2 0 0\nv 3 0 0\nv 2 1 0\nf 4 5 6\n");
  cObject* o = load("src");
  ASSERT_EQ(o->partCount, 2);
  std::snprintf(o->parts[0].name, PART_NAME_SIZE, "elevenchars");
  o->parts[0].groups[0].baseTexture = static_cast<int16_t>(loadTexture(engine, "wood", GL_REPEAT));
  o->parts[1].groups[0].lightmapCoords.assign(12, -3);
  o->parts[1].groups[0].diffuse[1] = 0.5f;
  ASSERT_TRUE(o->writeGfx(path("copy.xyz").c_str()));  // the extension becomes gfx

  std::string bytes = read_file(path("copy.gfx"));
  ASSERT_GT(bytes.size(), 37u);
  EXPECT_EQ(bytes[0], 34);
  EXPECT_EQ(bytes.substr(1, 34), "IX86 TalpineEngine <****wurdo****>");
  EXPECT_EQ(bytes[35], 2);
  EXPECT_EQ(bytes[36], 0);
  EXPECT_EQ(bytes.substr(37, 4), std::string("\x02\x00\x00\x00", 4));  // part count
  EXPECT_NE(bytes.find("elevenchars"), std::string::npos);  // written whole

  bool ok = false;
  cObject* back = load("copy", &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(back->partCount, 2);
  EXPECT_STREQ(back->parts[0].name, "elevench");
  EXPECT_STREQ(back->parts[1].name, "");
  EXPECT_EQ(back->parts[0].positions, std::vector<float>({0, 0, 0, 1, 0, 0, 0, 1, 0}));
  EXPECT_FLOAT_EQ(back->parts[0].texCoords[0], 0.5f);
  EXPECT_FLOAT_EQ(back->parts[0].normals[2], 1.0f);
  EXPECT_EQ(back->parts[1].groups[0].indices, (std::vector<uint16_t>{0, 1, 2}));
  EXPECT_STREQ(engine->resources.textures[back->parts[0].groups[0].baseTexture].name, "wood");
  EXPECT_EQ(back->parts[1].groups[0].baseTexture, 0);
  EXPECT_EQ(back->parts[1].groups[0].lightmapCoords, std::vector<int32_t>(12, -3));
  EXPECT_TRUE(back->parts[0].groups[0].lightmapCoords.empty());
  EXPECT_FLOAT_EQ(back->parts[1].groups[0].diffuse[1], 0.5f);
  EXPECT_FLOAT_EQ(back->parts[1].groups[0].ambient[0], 1.0f);
  EXPECT_FALSE(std::ifstream(path("copy.gfx.tmp")).good());
}

TEST_F(Loaders, CacheIsPreferredAndBadCachesFallBackToTheSource) {
  data.write("thing.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  data.write("thing.gfx", gfx_file(false, 2, 0));
  EXPECT_EQ(load("thing")->parts[0].vertexCount, 4);  // the cache's quad

  data.write("thing.gfx", gfx_file(false, 2, 1));  // minor version 1
  EXPECT_EQ(load("thing")->parts[0].vertexCount, 3);
  EXPECT_EQ(read("thing.gfx")[36], 1);  // a source load writes no cache

  std::remove(path("thing.gfx").c_str());
  EXPECT_EQ(load("thing")->parts[0].vertexCount, 3);

  std::remove(path("thing.obj").c_str());
  bool ok = true;
  cObject* o = load("thing", &ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(o->partCount, 0);
  EXPECT_STREQ(o->name, "thing");
}

TEST_F(Loaders, GfxByteSwappedVersionOneAndShortCoordinates) {
  data.write("swapped.gfx", gfx_file(true, 2, 0));
  bool ok = false;
  cObject* o = load("swapped", &ok);
  ASSERT_TRUE(ok);
  EXPECT_STREQ(o->parts[0].name, "quad");
  EXPECT_FLOAT_EQ(o->parts[0].positions[3], 1.0f);
  EXPECT_EQ(o->parts[0].groups[0].indices, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
  EXPECT_EQ(o->parts[0].groups[0].lightmapCoords[1], 1007);
  EXPECT_FLOAT_EQ(o->parts[0].groups[0].diffuse[3], 0.7f);

  // Version 1: normals computed, then the file is rewritten as version 2.
  data.write("old.gfx", gfx_file(false, 1, 0));
  o = load("old", &ok);
  ASSERT_TRUE(ok);
  EXPECT_FLOAT_EQ(o->parts[0].normals[2], 1.0f);
  EXPECT_FLOAT_EQ(o->parts[0].groups[0].faceNormals[5], 1.0f);
  std::string rewritten = read("old.gfx");
  EXPECT_EQ(rewritten[35], 2);
  EXPECT_EQ(load("old")->parts[0].groups[0].lightmapCoords.size(), 24u);

  // No coordinates, or fewer than vertices: one pair per vertex, zeros after.
  data.write("none.gfx", gfx_file(false, 2, 0, 0));
  o = load("none", &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(o->parts[0].texCoordCount, 4);
  EXPECT_EQ(o->parts[0].texCoords, std::vector<float>(8, 0.0f));
  data.write("few.gfx", gfx_file(false, 2, 0, 2));
  o = load("few", &ok);
  EXPECT_EQ(o->parts[0].texCoordCount, 4);
  EXPECT_FLOAT_EQ(o->parts[0].texCoords[3], 1.0f);
  EXPECT_FLOAT_EQ(o->parts[0].texCoords[7], 0.0f);
}

TEST_F(Loaders, GfxTruncatedOrInconsistentFilesFailWithNothingKept) {
  std::string good = gfx_file(false, 2, 0);
  for (size_t cut = 0; cut < good.size(); ++cut) {
    data.write("cut.gfx", good.substr(0, cut));
    bool ok = true;
    cObject* o = load("cut", &ok);
    EXPECT_FALSE(ok) << cut;
    EXPECT_EQ(o->partCount, 0);
  }
  // An index beyond the vertices, and counts that no file could hold.
  std::string bad_index = good;
  size_t at = bad_index.find(std::string("\x02\x00\x00\x00\x00\x00\x01\x00", 8));
  ASSERT_NE(at, std::string::npos);
  bad_index[at + 4] = 9;
  data.write("bad.gfx", bad_index);
  bool ok = true;
  load("bad", &ok);
  EXPECT_FALSE(ok);
  std::string huge = good.substr(0, 37) + Bytes().u32(0xFFFFFFFFu).s;
  data.write("huge.gfx", huge);
  load("huge", &ok);
  EXPECT_FALSE(ok);
  std::string noise;
  for (int i = 0; i < 3000; ++i) noise.push_back(static_cast<char>((i * 131) % 256));
  noise[36] = 0;
  data.write("noise.gfx", noise);
  load("noise", &ok);  // whatever it makes of it, it stays inside the data
}

TEST_F(Loaders, GfxCountsBeyondWhatFollowsFailAtOnce) {
  // Each count of the one-part file, set to 4 billion and to the most its
  // size check lets through, with 4 MB of 0xFF after the file so that the
  // second count passes it: each load fails at once, asking for no more
  // records than it has read.
  std::string good = gfx_file(false, 2, 0);
  const size_t parts = 37, vertices = parts + 4 + 4 + 1 + 4, coords = vertices + 4 + 2 * 48, groups = coords + 4 + 32,
               triangles = groups + 4 + 1;
  const std::string tail(4 << 20, '\xFF');
  for (auto [at, value] : {std::pair{parts, 1u}, {vertices, 4u}, {coords, 4u}, {groups, 1u}, {triangles, 2u}}) {
    ASSERT_EQ(good.substr(at, 4), Bytes().u32(value).s) << at;
    for (uint32_t count : {0xFFFFFFFFu, static_cast<uint32_t>(tail.size() / 17)}) {
      std::string damaged = good + tail;
      damaged.replace(at, 4, Bytes().u32(count).s);
      data.write("count.gfx", damaged);
      auto begun = std::chrono::steady_clock::now();
      bool ok = true;
      cObject* o = load("count", &ok);
      double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
      EXPECT_FALSE(ok) << at << " " << count;
      EXPECT_EQ(o->partCount, 0);
      EXPECT_LT(seconds, 0.5) << at << " " << count;
    }
  }
}

}  // namespace
