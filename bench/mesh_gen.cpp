#include "bench/mesh_gen.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "tests/mesh/gltf_files.h"

namespace {

struct Patch {
  std::vector<float> positions;  // 3 per vertex
  std::vector<float> coords;     // 2 per vertex
  std::vector<int> triangles;    // 3 per triangle, patch-local, counter-clockwise
};

// A gently waved height field, so that normals are not all equal.
Patch grid_patch(const GridMesh& mesh, int index) {
  Patch patch;
  int columns = mesh.columns, rows = mesh.rows;
  for (int r = 0; r <= rows; ++r)
    for (int c = 0; c <= columns; ++c) {
      float x = static_cast<float>(c) / columns + index;
      float y = static_cast<float>(r) / rows;
      patch.positions.insert(patch.positions.end(), {x, y, 0.05f * std::sin(x * 40.0f) * std::cos(y * 30.0f)});
      patch.coords.insert(patch.coords.end(), {static_cast<float>(c) / columns, static_cast<float>(r) / rows});
    }
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      int a = r * (columns + 1) + c, b = a + 1, d = a + columns + 1, e = d + 1;
      patch.triangles.insert(patch.triangles.end(), {a, b, e, a, e, d});
    }
  return patch;
}

void put16(std::vector<uint8_t>* out, uint16_t v) {
  out->push_back(v & 0xff);
  out->push_back(v >> 8);
}
void put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back((v >> (8 * i)) & 0xff);
}
void put_float(std::vector<uint8_t>* out, float f) {
  uint32_t v;
  static_assert(sizeof v == sizeof f);
  __builtin_memcpy(&v, &f, sizeof v);
  put32(out, v);
}
// Opens a chunk; close_chunk writes its length once the body is in.
size_t open_chunk(std::vector<uint8_t>* out, uint16_t id) {
  size_t at = out->size();
  put16(out, id);
  put32(out, 0);
  return at;
}
void close_chunk(std::vector<uint8_t>* out, size_t at) {
  uint32_t length = static_cast<uint32_t>(out->size() - at);
  for (int i = 0; i < 4; ++i) (*out)[at + 2 + i] = (length >> (8 * i)) & 0xff;
}

}  // namespace

std::string sphere_obj(int stacks, int slices) {
  std::string text;
  char line[256];
  const float pi = 3.14159265f;
  for (int s = 0; s <= stacks; ++s)
    for (int l = 0; l <= slices; ++l) {
      float theta = pi * s / stacks, phi = 2 * pi * l / slices;
      std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\n", std::sin(theta) * std::cos(phi), std::cos(theta),
                    std::sin(theta) * std::sin(phi));
      text += line;
    }
  for (int s = 0; s <= stacks; ++s)
    for (int l = 0; l <= slices; ++l) {
      std::snprintf(line, sizeof line, "vt %.6f %.6f\n", static_cast<float>(l) / slices,
                    1.0f - static_cast<float>(s) / stacks);
      text += line;
    }
  for (int s = 0; s < stacks; ++s)
    for (int l = 0; l < slices; ++l) {
      int a = s * (slices + 1) + l + 1, b = a + 1, d = a + slices + 1, e = d + 1;
      std::snprintf(line, sizeof line, "f %d/%d %d/%d %d/%d\nf %d/%d %d/%d %d/%d\n", a, a, e, e, b, b, a, a, d, d,
                    e, e);
      text += line;
    }
  return text;
}

bool write_grid_obj(const GridMesh& mesh, const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  long base = 1;
  for (int p = 0; p < mesh.patches; ++p) {
    Patch patch = grid_patch(mesh, p);
    std::fprintf(file, "o patch%d\n", p);
    size_t count = patch.positions.size() / 3;
    for (size_t v = 0; v < count; ++v)
      std::fprintf(file, "v %.6f %.6f %.6f\n", patch.positions[v * 3], patch.positions[v * 3 + 1],
                   patch.positions[v * 3 + 2]);
    for (size_t v = 0; v < count; ++v)
      std::fprintf(file, "vt %.6f %.6f\n", patch.coords[v * 2], patch.coords[v * 2 + 1]);
    for (size_t t = 0; t < patch.triangles.size(); t += 3) {
      long a = patch.triangles[t] + base, b = patch.triangles[t + 1] + base, c = patch.triangles[t + 2] + base;
      std::fprintf(file, "f %ld/%ld %ld/%ld %ld/%ld\n", a, a, b, b, c, c);
    }
    base += static_cast<long>(count);
  }
  return std::fclose(file) == 0;
}

bool write_grid_3ds(const GridMesh& mesh, const std::string& path) {
  std::vector<uint8_t> out;
  size_t main = open_chunk(&out, 0x4D4D);
  size_t editor = open_chunk(&out, 0x3D3D);
  for (int p = 0; p < mesh.patches; ++p) {
    Patch patch = grid_patch(mesh, p);
    size_t object = open_chunk(&out, 0x4000);
    char name[16];
    std::snprintf(name, sizeof name, "patch%d", p);
    for (const char* c = name; *c; ++c) out.push_back(static_cast<uint8_t>(*c));
    out.push_back(0);
    size_t trimesh = open_chunk(&out, 0x4100);
    uint16_t count = static_cast<uint16_t>(patch.positions.size() / 3);
    size_t vertices = open_chunk(&out, 0x4110);
    put16(&out, count);
    for (float f : patch.positions) put_float(&out, f);
    close_chunk(&out, vertices);
    size_t mapping = open_chunk(&out, 0x4140);
    put16(&out, count);
    for (float f : patch.coords) put_float(&out, f);
    close_chunk(&out, mapping);
    size_t faces = open_chunk(&out, 0x4120);
    put16(&out, static_cast<uint16_t>(patch.triangles.size() / 3));
    for (size_t t = 0; t < patch.triangles.size(); t += 3) {
      for (int k = 0; k < 3; ++k) put16(&out, static_cast<uint16_t>(patch.triangles[t + k]));
      put16(&out, 7);  // edge visibility flags
    }
    close_chunk(&out, faces);
    close_chunk(&out, trimesh);
    close_chunk(&out, object);
  }
  close_chunk(&out, editor);
  close_chunk(&out, main);
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(out.data(), 1, out.size(), file) == out.size();
  return std::fclose(file) == 0 && ok;
}

bool write_grid_glb(const GridMesh& mesh, const std::string& path) {
  std::vector<float> positions, coords;
  std::vector<uint32_t> triangles;
  for (int p = 0; p < mesh.patches; ++p) {
    Patch patch = grid_patch(mesh, p);
    uint32_t base = static_cast<uint32_t>(positions.size() / 3);
    positions.insert(positions.end(), patch.positions.begin(), patch.positions.end());
    // glTF counts texture rows from the top.
    for (size_t i = 0; i < patch.coords.size(); i += 2)
      coords.insert(coords.end(), {patch.coords[i], 1 - patch.coords[i + 1]});
    for (int t : patch.triangles) triangles.push_back(base + static_cast<uint32_t>(t));
  }
  GltfBuilder b;
  GltfBuilder::Primitive primitive;
  primitive.positions = b.floats(positions, 3);
  primitive.coords = b.floats(coords, 2);
  primitive.indices = b.indices(triangles, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
  b.scene({b.node(b.mesh({primitive}, "grid"))});
  std::ofstream file(path, std::ios::binary);
  file << b.glb();
  return static_cast<bool>(file.flush());
}
