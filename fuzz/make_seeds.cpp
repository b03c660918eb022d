// Writes the seed corpora under fuzz/corpus from valid files made the way the
// tests make them: `make_seeds DIR` (DIR: fuzz/corpus). Run it again when a
// format changes; the fuzzers grow the corpora further on their own.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "mesh/loader_3ds.h"
#include "mesh/loader_obj.h"
#include "mesh/object.h"
#include "tests/mesh/gltf_files.h"
#include "tests/mesh/mesh_files.h"

namespace {

std::string root;

void put(const std::string& target, const std::string& name, const std::string& bytes) {
  std::ofstream(root + "/" + target + "/" + name, std::ios::binary) << bytes;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string mesh3ds(const std::string& name, int vertices, const std::vector<uint16_t>& faces,
                    const std::string& face_chunks) {
  Bytes v;
  v.u16(static_cast<uint16_t>(vertices));
  for (int i = 0; i < vertices; ++i) v.floats({float(i), float(i % 2), 0.5f});
  Bytes f;
  f.u16(static_cast<uint16_t>(faces.size() / 3));
  for (size_t i = 0; i + 2 < faces.size(); i += 3) f.u16(faces[i]).u16(faces[i + 1]).u16(faces[i + 2]).u16(7);
  Bytes mapping;
  mapping.u16(static_cast<uint16_t>(vertices));
  for (int i = 0; i < vertices; ++i) mapping.floats({0.25f * i, 1.0f});
  std::string trimesh = chunk(0x4110, v.s) + chunk(0x4120, f.s + face_chunks) + chunk(0x4140, mapping.s);
  return chunk(0x4000, Bytes().cstr(name).s + chunk(0x4100, trimesh));
}

std::string file3ds() {
  std::string colour = chunk(0xA020, chunk(0x0011, Bytes().u8(255).u8(0).u8(0).s)) +
                       chunk(0xA030, chunk(0x0010, Bytes().floats({0, 0.2f, 0}).s));
  std::string red = chunk(0xAFFF, chunk(0xA000, Bytes().cstr("red").s) + colour +
                                      chunk(0xA050, chunk(0x0030, Bytes().u16(40).s)) + chunk(0xA081, "") +
                                      chunk(0xA200, chunk(0xA300, Bytes().cstr("brick.jpg").s)));
  std::string faces = chunk(0x4130, Bytes().cstr("red").u16(2).u16(0).u16(1).s);
  std::string mesh = mesh3ds("box", 4, {0, 1, 2, 1, 3, 2}, faces);
  return chunk(0x4D4D, chunk(0x0002, "abcd") + chunk(0x3D3D, red + mesh + mesh3ds("second", 3, {0, 1, 2}, "")));
}

// glTF: a textured quad as .glb; a .gltf with its buffer inside holding a
// hierarchy, a strip, a fan, points, every index type, a sparse accessor and
// three kinds of material; a .gltf naming fuzz_gltf's "b.bin".
void gltf_seeds() {
  const std::vector<float> quad = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
  GltfBuilder a;
  GltfBuilder::Primitive p;
  p.positions = a.floats(quad, 3);
  p.normals = a.floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, 3);
  p.coords = a.floats({0, 1, 1, 1, 1, 0, 0, 0}, 2);
  p.indices = a.indices({0, 1, 2, 0, 2, 3});
  p.material = a.material({1, 1, 1, 1}, "OPAQUE", {0, 0, 0}, a.embedded_texture("\x89PNG not really"));
  a.scene({a.node(a.mesh({p}, "quad"))});
  put("gltf", "quad.glb", a.glb());

  GltfBuilder b;
  int positions = b.floats(quad, 3);
  int glass = b.material({1, 1, 1, 0.5}, "BLEND");
  int glow = b.material({0, 0, 0, 1}, "OPAQUE", {1, 0.5, 0});
  std::vector<GltfBuilder::Primitive> ps = {
      {positions, -1, -1, b.indices({0, 1, 3, 2}, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE), glass,
       TINYGLTF_MODE_TRIANGLE_STRIP},
      {positions, -1, -1, b.indices({0, 1, 2, 3}, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT), glow,
       TINYGLTF_MODE_TRIANGLE_FAN},
      {positions, -1, -1, -1, -1, TINYGLTF_MODE_POINTS},
  };
  int sparse = b.accessor(-1, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, 4);
  ps.push_back({sparse, -1, -1, b.indices({0, 1, 2, 0, 2, 3}), 5, TINYGLTF_MODE_TRIANGLES});
  int mesh = b.mesh(ps, "many");
  int child = b.node(mesh, {{1, 0, 0}, {0, 0, 0.7071, 0.7071}, {2, 2, 2}, {}}, {}, "child");
  int parent = b.node(mesh, {{}, {}, {}, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 5, 0, 1}}, {child}, "parent");
  b.scene({parent});
  std::vector<uint16_t> targets = {0, 1, 2, 3};
  int target_view = b.view(targets.data(), targets.size() * 2);
  int value_view = b.view(quad.data(), quad.size() * 4);
  nlohmann::json doc = b.json();
  doc["accessors"][sparse]["sparse"] = {
      {"count", 4},
      {"indices", {{"bufferView", target_view}, {"componentType", TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT}}},
      {"values", {{"bufferView", value_view}}}};
  doc["extensionsUsed"] = {"KHR_materials_emissive_strength"};
  doc["materials"][glow]["extensions"] = {{"KHR_materials_emissive_strength", {{"emissiveStrength", 2}}}};
  put("gltf", "scene.gltf", doc.dump(1));

  // b.bin: three positions (36 bytes), then the indices 0 1 2 0 2 3 (12 bytes).
  nlohmann::json beside = {
      {"asset", {{"version", "2.0"}}},
      {"buffers", {{{"uri", "b.bin"}, {"byteLength", 48}}}},
      {"bufferViews", {{{"buffer", 0}, {"byteLength", 36}}, {{"buffer", 0}, {"byteOffset", 36}, {"byteLength", 12}}}},
      {"accessors", {{{"bufferView", 0}, {"componentType", 5126}, {"count", 3}, {"type", "VEC3"}},
                     {{"bufferView", 1}, {"componentType", 5123}, {"count", 3}, {"type", "SCALAR"}}}},
      {"meshes", {{{"primitives", {{{"attributes", {{"POSITION", 0}}}, {"indices", 1}}}}}}},
      {"nodes", {{{"mesh", 0}}}},
      {"scenes", {{{"nodes", {0}}}}},
      {"scene", 0}};
  put("gltf", "beside.gltf", beside.dump(1));
}

// A command record for fuzz_commands: type index, name, five small arguments.
std::string command(uint8_t type_index, const std::string& name, std::vector<int> args) {
  std::string out(1, static_cast<char>(type_index));
  out += name;
  out.push_back('\0');
  for (size_t i = 0; i < 5; ++i) out.push_back(static_cast<char>((i < args.size() ? args[i] : 0) + 20));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  root = argv[1];
  const std::string source = std::string(argv[1]) + "/../..";

  // OBJ
  std::string cube = cube_obj(1.0f);
  put("obj", "cube.obj", cube);
  put("obj", "parts.obj", "# two parts\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nf 1 2 3\nusemtl red\n"
                          "v 0 0 1\nv 1 0 1\nv 1 1 1\nv 0 1 1\nf -4 -3 -2 -1\nf 1/1/1 2/2 3//1\n");
  // Concave faces (an L beside its notch, a star from a tip) and a bow tie.
  put("obj", "concave.obj", "v 1 0 0\nv 0 0 0\nv 0 1 0\nv -1 1 0\nv -1 -1 0\nv 1 -1 0\nf 1 2 3 4 5 6\n"
                            "v 0 1 0\nv 0.24 0.32 0\nv 0.95 0.31 0\nv 0.38 -0.12 0\nv 0.59 -0.81 0\n"
                            "v 0 -0.4 0\nv -0.59 -0.81 0\nv -0.38 -0.12 0\nv -0.95 0.31 0\nv -0.24 0.32 0\n"
                            "f 7 8 9 10 11 12 13 14 15 16\nv 0 0 0\nv 1 1 0\nv 1 0 0\nv 0 1 0\nf 17 18 19 20\n");

  // 3D Studio
  std::string scene3ds = file3ds();
  put("3ds", "box.3ds", scene3ds);

  // .gfx: what the writer makes of both.
  cObject from_obj(fuzz_engine());
  readObjText(&from_obj, cube.data(), cube.size());
  from_obj.writeGfx((fuzz_folder() + "cube.gfx").c_str());
  put("gfx", "cube.gfx", slurp(fuzz_folder() + "cube.gfx"));
  cObject from_3ds(fuzz_engine());
  auto scene = read3dsBytes(reinterpret_cast<const uint8_t*>(scene3ds.data()), scene3ds.size());
  if (scene && convert3ds(&from_3ds, *scene)) {
    from_3ds.writeGfx((fuzz_folder() + "box.gfx").c_str());
    put("gfx", "box.gfx", slurp(fuzz_folder() + "box.gfx"));
  }

  gltf_seeds();

  // Font metrics: the demo font's.
  put("font", "demo.fnt", slurp(source + "/demo/Data/FONT.fnt"));

  // Script
  put("script", "statements.txt",
      "x = 2; y[3] = x * 4 + 1; z = (x < y[3]) && !(x == 3) || x % 2;\n"
      "for (i = 0; i < 3; i++) { x += i; if (x > 4) { x -= 1; } else x *= 2; }\n"
      "while (x > 0) x--;\nprint x; print \"text\";\n");
  put("script", "functions.txt",
      "function f(a, b) { return a * b + sin(a) - sqrt(b) / tan(1); }\n"
      "function g(n) { if (n < 1) return 0; return g(n - 1) + 1; }\n"
      "q = f(2, 3) + g(5) + random(1, 9) + time; int w; sleep(1); /* comment */ // end\n");
  put("script", "scene.txt",
      "n = load(\"cube\");\nobject n position (1, 2, -5);\nobject n rotation (0, 45, 0);\n"
      "l = new cLight(0);\nlight l diffuse (1, 0.5, 0.2, 1);\nscene fogcolor (0.1, 0.2, 0.3);\n"
      "s = status cLight(l); delete cLight(l);\nskybox sky; particle 0 emit(10);\n");

  // Command sequences (type index into fuzz_commands' code list: 0 scene, 1
  // object, 6 light, 17 load, 18 delete, 19 new, 20 status).
  put("commands", "object.bin",
      command(17, "cube", {-21}) + command(1, "position", {0, 1, 2, 3}) + command(1, "rotation", {0, 10, 20, 30}) +
          command(1, "active", {0, 1}) + command(1, "texture", {0, 1, 0}) + command(0, "camera", {0, 0, 5}));
  put("commands", "light.bin",
      command(19, "cLight", {0}) + command(6, "active", {0, 1}) + command(6, "diffuse", {0, 1, 1, 1, 1}) +
          command(6, "position", {0, 1, 2, 3}) + command(20, "cLight", {0}) + command(18, "cLight", {0}));
  put("commands", "effects.bin",
      command(19, "cParticle", {0}) + command(4, "active", {0, 1}) + command(19, "cBlur", {0}) +
          command(12, "active", {1}) + command(19, "cFlare", {0}) + command(5, "active", {0, 1}) +
          command(0, "fade", {1, 1, 1, 1}) + command(0, "cleanup", {}));
  std::printf("seeds written under %s\n", root.c_str());
  return 0;
}
