// glTF meshes without GL: the three forms of a file, the place in the load
// order, node transforms, strips and fans, index types, sparse accessors,
// materials, parts of 16-bit indices, and a corpus of broken files that must
// load what is sound or fail, never read outside their data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>

#include "mesh/loader_gltf.h"
#include "resources/texture_manager.h"
#include "tests/mesh/gltf_files.h"
#include "tests/mesh/mesh_files.h"
#include "tests/support/e2e.h"

namespace {

// A square of edge 2 in the x-y plane facing +z, wound counter-clockwise, its
// texture coordinates as glTF counts them (v = 0 at the top of the image).
const std::vector<float> QUAD = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
const std::vector<uint32_t> QUAD_TRIANGLES = {0, 1, 2, 0, 2, 3};
const std::vector<float> QUAD_UV = {0, 1, 1, 1, 1, 0, 0, 0};
// Tilted, so that they cannot be mistaken for computed ones.
const std::vector<float> QUAD_NORMALS = {0.6f, 0, 0.8f, 0.6f, 0, 0.8f, 0.6f, 0, 0.8f, 0.6f, 0, 0.8f};

GltfBuilder quad_file() {
  GltfBuilder b;
  GltfBuilder::Primitive p;
  p.positions = b.floats(QUAD, 3);
  p.normals = b.floats(QUAD_NORMALS, 3);
  p.coords = b.floats(QUAD_UV, 2);
  p.indices = b.indices(QUAD_TRIANGLES);
  p.material = b.material({0.2, 0.4, 0.6, 0.5});
  b.scene({b.node(b.mesh({p}, "quad"))});
  return b;
}

std::vector<int> indices_of(const MaterialGroup& g) { return {g.indices.begin(), g.indices.end()}; }

struct Gltf : ::testing::Test {
  Engine engine;
  DataFolder data;
  void SetUp() override { std::snprintf(engine.paths.data_path, sizeof engine.paths.data_path, "%s", data.path().c_str()); }

  // A fresh object in slot 0, loaded by name through the whole load order.
  cObject* load(const char* name, bool* ok = nullptr) {
    delete engine.scene.objects[0];
    auto* object = new cObject(&engine);
    engine.scene.objects[0] = object;
    engine.scene.objects.count = 1;
    bool loaded = object->load(name);
    if (ok) *ok = loaded;
    return object;
  }
  // The same from bytes, with the data folder as the file's folder.
  cObject* read(const std::string& bytes, bool* ok = nullptr) {
    delete engine.scene.objects[0];
    auto* object = new cObject(&engine);
    engine.scene.objects[0] = object;
    engine.scene.objects.count = 1;
    bool loaded = readGltfBytes(object, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), data.path());
    if (ok) *ok = loaded;
    return object;
  }
  int triangles(const cObject* o) {
    int n = 0;
    for (const MeshPart& part : o->parts)
      for (const MaterialGroup& g : part.groups) n += g.triangleCount;
    return n;
  }
};

void expect_quad(const cObject* o, const char* form) {
  SCOPED_TRACE(form);
  ASSERT_EQ(o->partCount, 1);
  const MeshPart& part = o->parts[0];
  EXPECT_STREQ(part.name, "quad");
  ASSERT_EQ(part.vertexCount, 4);
  EXPECT_EQ(part.positions, QUAD);
  // Rows counted from the bottom, as GL counts them.
  EXPECT_EQ(part.texCoords, (std::vector<float>{0, 0, 1, 0, 1, 1, 0, 1}));
  EXPECT_EQ(part.texCoordCount, 4);
  EXPECT_EQ(part.normals, QUAD_NORMALS);
  ASSERT_EQ(part.groupCount, 1);
  const MaterialGroup& g = part.groups[0];
  EXPECT_EQ(indices_of(g), (std::vector<int>{0, 1, 2, 0, 2, 3}));
  EXPECT_EQ(g.drawIndices, g.indices);
  EXPECT_EQ(g.drawTriangleCount, 2);
  EXPECT_FLOAT_EQ(g.faceNormals[2], 1.0f);  // computed from the corners
  EXPECT_FLOAT_EQ(g.diffuse[0], 0.2f);
  EXPECT_FLOAT_EQ(g.diffuse[2], 0.6f);
  EXPECT_FLOAT_EQ(g.diffuse[3], 1.0f);  // opaque: the factor's alpha does not count
  EXPECT_EQ(g.transparent, 0);
}

TEST_F(Gltf, BinaryEmbeddedAndBesideFilesGiveTheSameMesh) {
  GltfBuilder b = quad_file();
  data.write("a.glb", b.glb());
  data.write("b.gltf", b.gltf());
  data.write("c.gltf", b.gltf_with_bin("c%20data.bin"));  // URIs are %-escaped
  data.write("C DATA.BIN", b.bin());                       // and matched without regard to case
  bool ok = false;
  expect_quad(load("a", &ok), ".glb");
  EXPECT_TRUE(ok);
  expect_quad(load("b", &ok), "embedded");
  EXPECT_TRUE(ok);
  expect_quad(load("c", &ok), "beside");
  EXPECT_TRUE(ok);
  // The content decides the form, not the extension.
  data.write("d.gltf", b.glb());
  expect_quad(load("d", &ok), ".glb named .gltf");
  EXPECT_TRUE(ok);
}

TEST_F(Gltf, ComesAfterTheOtherFormatsAndIsFoundWithoutRegardToCase) {
  GltfBuilder b = quad_file();
  data.write("SHIP.GLB", b.glb());
  EXPECT_EQ(classifyLoadFile(&engine, "ship"), LoadKind::Mesh);
  bool ok = false;
  EXPECT_EQ(load("ship", &ok)->partCount, 1);
  EXPECT_TRUE(ok);

  // .gltf before .glb: a broken .gltf falls through to the .glb.
  data.write("ship.gltf", "{ not json");
  EXPECT_EQ(load("ship", &ok)->parts[0].vertexCount, 4);
  GltfBuilder other;
  other.simple({0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2});
  data.write("ship.gltf", other.gltf());
  EXPECT_EQ(load("ship", &ok)->parts[0].vertexCount, 3);
  // The OBJ before both; a texture name with the same stem is still a mesh.
  data.write("ship.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nv 2 2 2\nf 1 2 3\n");
  EXPECT_EQ(load("ship", &ok)->parts[0].vertexCount, 5);
  data.write("image.gltf", other.gltf());
  data.write("image.png", "not looked at");
  EXPECT_EQ(classifyLoadFile(&engine, "image"), LoadKind::Mesh);
}

TEST_F(Gltf, NodeTransformsComposeDownTheHierarchy) {
  GltfBuilder b;
  GltfBuilder::Primitive p;
  p.positions = b.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, 3);
  p.normals = b.floats({0, 0, 1, 0, 0, 1, 0, 0, 1}, 3);
  p.indices = b.indices({0, 1, 2});
  int mesh = b.mesh({p}, "tri");
  const double s = std::sqrt(0.5);
  // child: moved 1 along x; parent: scaled 2, turned 90 degrees about z, moved to x = 10.
  int child = b.node(mesh, {{1, 0, 0}, {}, {}, {}}, {}, "child");
  int parent = b.node(mesh, {{10, 0, 0}, {0, 0, s, s}, {2, 2, 2}, {}}, {child}, "parent");
  // A matrix (column-major) moving 5 along y; a mirror in x.
  int moved = b.node(mesh, {{}, {}, {}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 5, 0, 1}}, {}, "matrix");
  int mirror = b.node(mesh, {{}, {}, {-1, 1, 1}, {}}, {}, "mirror");
  b.scene({parent, moved, mirror});
  bool ok = false;
  cObject* o = read(b.glb(), &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(o->partCount, 4);  // one part a node, parents before children
  auto near = [](const std::vector<float>& got, const std::vector<float>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-5) << i;
  };
  EXPECT_STREQ(o->parts[0].name, "parent");
  near(o->parts[0].positions, {10, 0, 0, 10, 2, 0, 8, 0, 0});
  EXPECT_STREQ(o->parts[1].name, "child");
  near(o->parts[1].positions, {10, 2, 0, 10, 4, 0, 8, 2, 0});
  near(o->parts[1].normals, {0, 0, 1, 0, 0, 1, 0, 0, 1});
  near(o->parts[2].positions, {0, 5, 0, 1, 5, 0, 0, 6, 0});
  // Mirrored: the winding turns over so that the face still looks along +z,
  // and the given normals stay there too.
  near(o->parts[3].positions, {0, 0, 0, -1, 0, 0, 0, 1, 0});
  EXPECT_EQ(indices_of(o->parts[3].groups[0]), (std::vector<int>{0, 2, 1}));
  EXPECT_GT(o->parts[3].groups[0].faceNormals[2], 0.99f);
  near(o->parts[3].normals, {0, 0, 1, 0, 0, 1, 0, 0, 1});
}

TEST_F(Gltf, StripsAndFansBecomeListsAndPointsAndLinesAreSkipped) {
  GltfBuilder b;
  // A strip up the y axis (with a repeated index, as strips restart) and a fan
  // around (5, 0): every triangle must face +z.
  int strip_positions = b.floats({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0, 0, 2, 0}, 3);
  int fan_positions = b.floats({5, 0, 0, 6, 0, 0, 6, 1, 0, 5, 1, 0, 4, 1, 0}, 3);
  GltfBuilder::Primitive strip{strip_positions, -1, -1, b.indices({0, 1, 2, 3, 3, 4}), -1,
                               TINYGLTF_MODE_TRIANGLE_STRIP};
  GltfBuilder::Primitive fan{fan_positions, -1, -1, b.indices({0, 1, 2, 3, 4}), -1, TINYGLTF_MODE_TRIANGLE_FAN};
  std::vector<GltfBuilder::Primitive> primitives = {strip, fan};
  for (int mode : {TINYGLTF_MODE_POINTS, TINYGLTF_MODE_LINE, TINYGLTF_MODE_LINE_LOOP, TINYGLTF_MODE_LINE_STRIP})
    primitives.push_back({strip_positions, -1, -1, -1, -1, mode});
  b.scene({b.node(b.mesh(primitives))});
  bool ok = false;
  cObject* o = read(b.glb(), &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(o->partCount, 1);
  const MaterialGroup& g = o->parts[0].groups[0];
  // strip 0 1 2 3 3 4: (0 1 2), (2 1 3), [2 3 3], [3 3 4] dropped; fan: (1 2 0), (2 3 0), (3 4 0)
  EXPECT_EQ(indices_of(g), (std::vector<int>{0, 1, 2, 2, 1, 3, 6, 7, 5, 7, 8, 5, 8, 9, 5}));
  for (int t = 0; t < g.triangleCount; ++t) EXPECT_GT(g.faceNormals[t * 3 + 2], 0.99f) << t;
}

TEST_F(Gltf, IndicesOfEveryTypeAndNone) {
  for (int type : {TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                   TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, -1}) {
    SCOPED_TRACE(type);
    GltfBuilder b;
    GltfBuilder::Primitive p;
    p.positions = b.floats(QUAD, 3);
    p.indices = type < 0 ? -1 : b.indices({3, 2, 1, 0, 1, 2}, type);
    b.scene({b.node(b.mesh({p}))});
    bool ok = false;
    cObject* o = read(b.glb(), &ok);
    ASSERT_TRUE(ok);
    // Without indices the vertices are taken three by three: (0 1 2), and the
    // fourth is left over.
    std::vector<int> want = type < 0 ? std::vector<int>{0, 1, 2} : std::vector<int>{3, 2, 1, 0, 1, 2};
    EXPECT_EQ(indices_of(o->parts[0].groups[0]), want);
    EXPECT_EQ(o->parts[0].texCoords, std::vector<float>(8, 0.0f));  // none in the file
  }
}

// Adds a sparse object to accessor `index` of the JSON: entries `targets`
// replaced by `values` (VEC3 floats), both appended to the embedded buffer as
// views of their own.
void add_sparse(nlohmann::json* doc, GltfBuilder* b, int index, const std::vector<uint16_t>& targets,
                const std::vector<float>& values) {
  int target_view = b->view(targets.data(), targets.size() * 2);
  int value_view = b->view(values.data(), values.size() * 4);
  nlohmann::json fresh = b->json();  // the grown buffer and views
  (*doc)["buffers"] = fresh["buffers"];
  (*doc)["bufferViews"] = fresh["bufferViews"];
  (*doc)["accessors"][index]["sparse"] = {
      {"count", targets.size()},
      {"indices", {{"bufferView", target_view}, {"componentType", TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT}}},
      {"values", {{"bufferView", value_view}}}};
}

TEST_F(Gltf, SparseAccessorsReplaceTheirEntries) {
  GltfBuilder b;
  GltfBuilder::Primitive p;
  // Positions with no data at all: four zeros, then the sparse values.
  p.positions = b.accessor(-1, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 4);
  p.indices = b.indices(QUAD_TRIANGLES);
  int second = b.floats(QUAD, 3);
  GltfBuilder::Primitive q{second, -1, -1, b.indices({0, 1, 2}), -1, TINYGLTF_MODE_TRIANGLES};
  b.scene({b.node(b.mesh({p}, "zeros")), b.node(b.mesh({q}, "data"))});
  nlohmann::json doc = b.json();
  add_sparse(&doc, &b, p.positions, {0, 1, 2, 3}, QUAD);
  // On data: vertex 2 moves; an entry past the count is passed over.
  add_sparse(&doc, &b, second, {2, 9}, {3, 3, 0, 7, 7, 7});
  bool ok = false;
  cObject* o = read(doc.dump(), &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(o->partCount, 2);
  EXPECT_EQ(o->parts[0].positions, QUAD);
  EXPECT_EQ(indices_of(o->parts[0].groups[0]), (std::vector<int>{0, 1, 2, 0, 2, 3}));
  EXPECT_EQ(o->parts[1].positions, (std::vector<float>{-1, -1, 0, 1, -1, 0, 3, 3, 0, -1, 1, 0}));
}

TEST_F(Gltf, MaterialsBecomeGroupsAndSharedVerticesAreKeptOnce) {
  GltfBuilder b;
  int positions = b.floats(QUAD, 3);
  int red = b.material({1, 0, 0, 1});
  int glass = b.material({0.5, 0.5, 1, 0.25}, "BLEND");
  int glow = b.material({0, 0, 0, 1}, "OPAQUE", {0, 1, 0.5});
  std::vector<GltfBuilder::Primitive> ps = {
      {positions, -1, -1, b.indices({0, 1, 2}), red, TINYGLTF_MODE_TRIANGLES},
      {positions, -1, -1, b.indices({0, 2, 3}), glass, TINYGLTF_MODE_TRIANGLES},
      {positions, -1, -1, b.indices({1, 2, 3}), red, TINYGLTF_MODE_TRIANGLES},
      {positions, -1, -1, b.indices({1, 3, 0}), glow, TINYGLTF_MODE_TRIANGLES},
      {positions, -1, -1, b.indices({2, 3, 0}), 99, TINYGLTF_MODE_TRIANGLES},  // no such material
  };
  b.scene({b.node(b.mesh(ps))});
  bool ok = false;
  cObject* o = read(b.glb(), &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(o->partCount, 1);
  EXPECT_EQ(o->parts[0].vertexCount, 4);  // one copy of the shared positions
  ASSERT_EQ(o->parts[0].groupCount, 4);
  const MaterialGroup* g = o->parts[0].groups.data();
  EXPECT_EQ(indices_of(g[0]), (std::vector<int>{0, 1, 2, 1, 2, 3}));  // both red primitives
  EXPECT_EQ(g[0].diffuse[0], 1.0f);
  EXPECT_EQ(g[0].diffuse[1], 0.0f);
  EXPECT_EQ(g[0].transparent, 0);
  EXPECT_EQ(g[1].transparent, 1);
  EXPECT_FLOAT_EQ(g[1].diffuse[3], 0.25f);
  EXPECT_EQ(o->blended, 1);
  EXPECT_FLOAT_EQ(g[2].emission[1], 1.0f);
  EXPECT_FLOAT_EQ(g[2].emission[2], 0.5f);
  EXPECT_FLOAT_EQ(g[0].emission[1], 0.0f);
  EXPECT_EQ(g[3].diffuse[0], 1.0f);  // glTF's default material: white
}

TEST_F(Gltf, AMeshBeyondSixteenBitIndicesIsSplitIntoParts) {
  // A strip of 70,002 vertices as one primitive of 32-bit indices.
  const uint32_t columns = 35001;
  std::vector<float> positions;
  std::vector<uint32_t> triangles;
  for (uint32_t i = 0; i < columns; ++i) positions.insert(positions.end(), {float(i), 0, 0, float(i), 1, 0});
  for (uint32_t i = 0; i + 1 < columns; ++i) triangles.insert(triangles.end(), {2 * i, 2 * i + 2, 2 * i + 1});
  GltfBuilder b;
  GltfBuilder::Primitive p;
  p.positions = b.floats(positions, 3);
  p.indices = b.indices(triangles, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
  b.scene({b.node(b.mesh({p}))});
  bool ok = false;
  cObject* o = read(b.glb(), &ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(o->partCount, 2);
  for (const MeshPart& part : o->parts) {
    EXPECT_LE(part.vertexCount, 65535);
    EXPECT_EQ(part.normals.size(), part.positions.size());
    for (uint16_t index : part.groups[0].indices) ASSERT_LT(index, part.vertexCount);
  }
  EXPECT_EQ(triangles.size() / 3, static_cast<size_t>(this->triangles(o)));
  // The second part carries on where the first stopped.
  const MeshPart& second = o->parts[1];
  EXPECT_GT(second.positions[second.groups[0].indices[0] * 3], 30000.0f);
}

TEST_F(Gltf, TheDefaultSceneElseTheFirstElseTheRootNodes) {
  GltfBuilder b;
  int one = b.mesh({{b.floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, 3), -1, -1, -1, -1, TINYGLTF_MODE_TRIANGLES}});
  int two = b.mesh({{b.floats({0, 0, 0, 2, 0, 0, 0, 2, 0, 2, 2, 0, 3, 3, 0, 3, 4, 0}, 3), -1, -1, -1, -1,
                     TINYGLTF_MODE_TRIANGLES}});
  int first = b.scene({b.node(one)});
  int second = b.scene({b.node(two)});
  (void)first;
  b.model.defaultScene = second;
  bool ok = false;
  EXPECT_EQ(triangles(read(b.glb(), &ok)), 2);
  b.model.defaultScene = 7;  // no such scene: the first
  EXPECT_EQ(triangles(read(b.glb(), &ok)), 1);
  b.model.scenes.clear();    // no scene: every node without a parent
  b.model.defaultScene = -1;
  EXPECT_EQ(triangles(read(b.glb(), &ok)), 3);
}

// ---- broken files -------------------------------------------------------------

// A valid file with two meshes, each in a node, for the broken variants: mesh 0
// a quad (accessors 0 positions, 1 indices), mesh 1 a triangle (2, 3).
GltfBuilder two_meshes() {
  GltfBuilder b;
  GltfBuilder::Primitive quad{b.floats(QUAD, 3), -1, -1, b.indices(QUAD_TRIANGLES), -1, TINYGLTF_MODE_TRIANGLES};
  GltfBuilder::Primitive tri{b.floats({5, 5, 5, 6, 5, 5, 5, 6, 5}, 3), -1, -1, b.indices({0, 1, 2}), -1,
                             TINYGLTF_MODE_TRIANGLES};
  b.scene({b.node(b.mesh({quad}, "quad")), b.node(b.mesh({tri}, "tri"))});
  return b;
}

TEST_F(Gltf, BrokenFilesKeepWhatIsSoundOrFail) {
  const GltfBuilder good = two_meshes();
  struct Case {
    const char* what;
    std::function<void(nlohmann::json&)> edit;
    int triangles;  // what loads; -1: the load fails
  };
  // JSON has no infinity: a number too large for a double stands in (written
  // in place of this value), and fails the file; overflow on the way to
  // floats is caught later.
  const double huge = 123456789.0;
  const std::vector<Case> cases = {
      {"as written", [](nlohmann::json&) {}, 3},
      {"accessor past its view", [](nlohmann::json& d) { d["accessors"][0]["byteOffset"] = 40; }, 1},
      {"accessor count past its view", [](nlohmann::json& d) { d["accessors"][0]["count"] = 5000; }, 1},
      {"count past 2^32", [](nlohmann::json& d) { d["accessors"][0]["count"] = 1ULL << 40; }, 1},
      {"view past its buffer", [](nlohmann::json& d) { d["bufferViews"][0]["byteLength"] = 100000; }, 1},
      {"view of no buffer", [](nlohmann::json& d) { d["bufferViews"][0]["buffer"] = 3; }, 1},
      {"stride below the element", [](nlohmann::json& d) { d["bufferViews"][0]["byteStride"] = 8; }, 1},
      {"accessor of no view", [](nlohmann::json& d) { d["accessors"][0]["bufferView"] = 99; }, 1},
      {"huge accessor without data",
       [](nlohmann::json& d) {
         d["accessors"][0].erase("bufferView");
         d["accessors"][0]["count"] = 1ULL << 40;
       },
       1},
      {"a matrix as positions", [](nlohmann::json& d) { d["accessors"][0]["type"] = "MAT4"; }, 1},
      {"float indices", [](nlohmann::json& d) { d["accessors"][1]["componentType"] = 5126; }, 1},
      {"mesh of no accessor", [](nlohmann::json& d) { d["meshes"][0]["primitives"][0]["attributes"]["POSITION"] = 42; }, 1},
      {"node of no mesh", [](nlohmann::json& d) { d["nodes"][0]["mesh"] = 12; }, 1},
      {"scene of no node", [](nlohmann::json& d) { d["scenes"][0]["nodes"] = {0, 1, 17, -4}; }, 3},
      {"node that is its own child", [](nlohmann::json& d) { d["nodes"][0]["children"] = {0, 1}; }, 3},
      {"cycle of two", [](nlohmann::json& d) {
         d["nodes"][0]["children"] = {1};
         d["nodes"][1]["children"] = {0};
       }, 3},
      {"translation of the wrong length", [](nlohmann::json& d) { d["nodes"][0]["translation"] = {1, 2}; }, 1},
      {"number beyond a double", [&](nlohmann::json& d) { d["nodes"][0]["translation"] = {huge, 0, 0}; }, -1},
      {"overflowing scale", [](nlohmann::json& d) { d["nodes"][0]["scale"] = {1e300, 1e300, 1e300}; }, 1},
      {"zero rotation", [](nlohmann::json& d) { d["nodes"][0]["rotation"] = {0, 0, 0, 0}; }, 1},
      {"colours out of range", [&](nlohmann::json& d) {
         d["materials"] = {{{"pbrMetallicRoughness", {{"baseColorFactor", {1e300, -1e300, 2, -1}}}},
                            {"emissiveFactor", {1e300, 0, -3}}}};
         d["meshes"][0]["primitives"][0]["material"] = 0;
       }, 3},
      {"strings for numbers", [](nlohmann::json& d) { d["accessors"][0]["count"] = "four"; }, -1},
      {"object for an array", [](nlohmann::json& d) { d["meshes"] = {{"a", 1}}; }, -1},
      {"number for the nodes", [](nlohmann::json& d) { d["nodes"] = 5; }, 0},
      {"children as strings", [](nlohmann::json& d) { d["nodes"][0]["children"] = {"x"}; }, 3},
      {"missing buffer file", [](nlohmann::json& d) { d["buffers"][0]["uri"] = "gone.bin"; }, -1},
      {"buffer file outside the folder", [](nlohmann::json& d) { d["buffers"][0]["uri"] = "../outside.bin"; }, -1},
      {"escaped way out", [](nlohmann::json& d) { d["buffers"][0]["uri"] = "%2e%2e/outside.bin"; }, -1},
      {"absolute buffer path", [](nlohmann::json& d) { d["buffers"][0]["uri"] = "/etc/hostname"; }, -1},
      {"Draco required", [](nlohmann::json& d) { d["extensionsRequired"] = {"KHR_draco_mesh_compression"}; }, -1},
      {"Draco used, data kept", [](nlohmann::json& d) {
         d["extensionsUsed"] = {"KHR_draco_mesh_compression"};
         d["meshes"][0]["primitives"][0]["extensions"] = {
             {"KHR_draco_mesh_compression", {{"bufferView", 0}, {"attributes", {{"POSITION", 0}}}}}};
       }, 3},
      {"a readable extension required", [](nlohmann::json& d) { d["extensionsRequired"] = {"KHR_mesh_quantization"}; }, 3},
      {"version 1", [](nlohmann::json& d) { d["asset"]["version"] = "1.0"; }, -1},
      {"no asset", [](nlohmann::json& d) { d.erase("asset"); }, -1},
      {"only points", [](nlohmann::json& d) {
         d["meshes"][0]["primitives"][0]["mode"] = 0;
         d["meshes"][1]["primitives"][0]["mode"] = 1;
       }, -1},
  };
  // The buffer of the way out exists, beside the data folder.
  std::string outside = data.path() + "../outside.bin";
  {
    FILE* f = std::fopen(outside.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(good.bin().data(), 1, good.bin().size(), f);
    std::fclose(f);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    nlohmann::json doc = good.json();
    c.edit(doc);
    bool ok = false;
    std::string text = doc.dump();
    for (size_t at; (at = text.find("123456789.0")) != std::string::npos;) text.replace(at, 11, "1e999");
    cObject* o = read(text, &ok);
    if (c.triangles < 0) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(o->partCount, 0);
      EXPECT_TRUE(o->parts.empty());
    } else if (c.triangles == 0) {
      EXPECT_FALSE(ok);  // nothing to show
    } else {
      EXPECT_TRUE(ok);
      EXPECT_EQ(triangles(o), c.triangles);
    }
    for (const MeshPart& part : o->parts) {
      EXPECT_EQ(part.positions.size(), static_cast<size_t>(part.vertexCount) * 3);
      for (float x : part.positions) EXPECT_TRUE(std::isfinite(x));
      for (const MaterialGroup& g : part.groups)
        for (uint16_t i : g.indices) EXPECT_LT(i, part.vertexCount);
    }
  }
  std::remove(outside.c_str());
}

TEST_F(Gltf, IndicesAndNumbersOutOfRangeDropOnlyTheirTriangles) {
  GltfBuilder b;
  std::vector<float> positions = QUAD;
  positions.insert(positions.end(), {std::nanf(""), 0, 0, 0, std::numeric_limits<float>::infinity(), 0});
  GltfBuilder::Primitive p;
  p.positions = b.floats(positions, 3);
  // (0 1 2) sound; (0 2 9) past the vertices; (0 1 4) and (1 2 5) touch a NaN and an infinity; (0 2 3) sound.
  p.indices = b.indices({0, 1, 2, 0, 2, 9, 0, 1, 4, 1, 2, 5, 0, 2, 3}, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
  p.coords = b.floats({0, 0, 1, 0, 1, std::nanf(""), 0, 1, 0, 0, 0, 0}, 2);
  b.scene({b.node(b.mesh({p}))});
  bool ok = false;
  cObject* o = read(b.glb(), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(indices_of(o->parts[0].groups[0]), (std::vector<int>{0, 1, 2, 0, 2, 3}));
  for (float x : o->parts[0].positions) EXPECT_TRUE(std::isfinite(x));
  for (float x : o->parts[0].texCoords) EXPECT_TRUE(std::isfinite(x));
  EXPECT_EQ(o->parts[0].texCoords[5], 0.0f);
}

TEST_F(Gltf, BrokenBinaryContainersFail) {
  const std::string glb = two_meshes().glb();
  // Every cut of the file fails or loads cleanly (the JSON cut fails; so does
  // a binary chunk shorter than its buffer).
  for (size_t cut = 0; cut < glb.size(); cut += 7) {
    bool ok = true;
    cObject* o = read(glb.substr(0, cut), &ok);
    EXPECT_FALSE(ok) << cut;
    EXPECT_EQ(o->partCount, 0);
  }
  auto patched = [&](size_t at, uint32_t value) {
    std::string s = glb;
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(value >> (8 * i));
    return s;
  };
  bool ok = true;
  read(patched(8, 0xFFFFFFF0u), &ok);  // total length past the file
  EXPECT_FALSE(ok);
  read(patched(12, 0x7FFFFFF0u), &ok);  // JSON chunk past the file
  EXPECT_FALSE(ok);
  uint32_t json_length = static_cast<uint8_t>(glb[12]) | static_cast<uint8_t>(glb[13]) << 8;
  // The binary chunk claiming up to the very end of the file: tinygltf's own
  // check lets it run 8 bytes past, which must stay harmless.
  uint32_t bin_at = 20 + json_length;
  uint32_t bin_length = static_cast<uint32_t>(glb.size()) - bin_at;
  read(patched(bin_at, bin_length), &ok);
  read(patched(bin_at, 0xFFFFFFFCu), &ok);
  EXPECT_FALSE(ok);
  read("glTF", &ok);
  EXPECT_FALSE(ok);
  read("", &ok);
  EXPECT_FALSE(ok);
}

TEST_F(Gltf, ImagesThatAreMissingOrBrokenLeaveTheMeshUntextured) {
  // Without a context no texture loads; the geometry must, whatever the images say.
  GltfBuilder b;
  int missing = b.material({1, 1, 1, 1}, "OPAQUE", {0, 0, 0}, b.uri_texture("nowhere.png"));
  int outside = b.material({1, 1, 1, 1}, "OPAQUE", {0, 0, 0}, b.uri_texture("../../x.png"));
  int garbage = b.material({1, 1, 1, 1}, "OPAQUE", {0, 0, 0}, b.embedded_texture("not an image"));
  int positions = b.floats(QUAD, 3);
  b.scene({b.node(b.mesh({{positions, -1, -1, b.indices({0, 1, 2}), missing, TINYGLTF_MODE_TRIANGLES},
                          {positions, -1, -1, b.indices({0, 2, 3}), outside, TINYGLTF_MODE_TRIANGLES},
                          {positions, -1, -1, b.indices({1, 2, 3}), garbage, TINYGLTF_MODE_TRIANGLES}}))});
  nlohmann::json doc = b.json();
  doc["textures"][0]["source"] = 40;  // no such image
  bool ok = false;
  cObject* o = read(doc.dump(), &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(triangles(o), 3);
  for (const MaterialGroup& g : o->parts[0].groups) EXPECT_EQ(g.baseTexture, 0);
}

}  // namespace
