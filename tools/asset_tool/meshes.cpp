// Procedural meshes and their OBJ and 3D Studio writers.
#include "tools/asset_tool/meshes.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr float PI = 3.14159265358979f;

// A quad from four corners in any order around it; wound so that its normal
// points away from `inside` (or toward it when `inward`).
void add_quad(ToolMesh& m, const float c[4][3], const float inside[3], bool inward) {
  const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  int v[4];
  for (int i = 0; i < 4; ++i) v[i] = m.add_vertex(c[i][0], c[i][1], c[i][2], uv[i][0], uv[i][1]);
  float e1[3], e2[3], n[3], out[3];
  for (int a = 0; a < 3; ++a) {
    e1[a] = c[1][a] - c[0][a];
    e2[a] = c[2][a] - c[0][a];
    out[a] = (c[0][a] + c[2][a]) * 0.5f - inside[a];
  }
  n[0] = e1[1] * e2[2] - e1[2] * e2[1];
  n[1] = e1[2] * e2[0] - e1[0] * e2[2];
  n[2] = e1[0] * e2[1] - e1[1] * e2[0];
  bool facing_out = n[0] * out[0] + n[1] * out[1] + n[2] * out[2] > 0;
  if (facing_out != inward) {
    m.add_triangle(v[0], v[1], v[2]);
    m.add_triangle(v[0], v[2], v[3]);
  } else {
    m.add_triangle(v[0], v[2], v[1]);
    m.add_triangle(v[0], v[3], v[2]);
  }
}

void add_box_faces(ToolMesh& m, float x0, float y0, float z0, float x1, float y1, float z1, bool inward) {
  const float centre[3] = {(x0 + x1) / 2, (y0 + y1) / 2, (z0 + z1) / 2};
  const float faces[6][4][3] = {
      {{x0, y1, z1}, {x1, y1, z1}, {x1, y1, z0}, {x0, y1, z0}},  // top
      {{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}},  // bottom
      {{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}},  // +z
      {{x1, y0, z0}, {x0, y0, z0}, {x0, y1, z0}, {x1, y1, z0}},  // -z
      {{x1, y0, z1}, {x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}},  // +x
      {{x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, {x0, y1, z0}},  // -x
  };
  for (const auto& face : faces) add_quad(m, face, centre, inward);
}

void put_u16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
void put_u32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void put_float(std::string& out, float f) {
  uint32_t bits;
  static_assert(sizeof bits == sizeof f);
  __builtin_memcpy(&bits, &f, sizeof f);
  put_u32(out, bits);
}
// A chunk: identifier, length (six header bytes included), body.
std::string chunk(uint16_t id, const std::string& body) {
  std::string out;
  put_u16(out, id);
  put_u32(out, static_cast<uint32_t>(body.size() + 6));
  return out + body;
}
std::string cstring(const std::string& s) { return s + '\0'; }

bool write_file(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int ToolMesh::add_vertex(float x, float y, float z, float u, float v) {
  positions.insert(positions.end(), {x, y, z});
  uvs.insert(uvs.end(), {u, v});
  return static_cast<int>(positions.size() / 3 - 1);
}

void ToolMesh::add_triangle(int a, int b, int c) {
  faces.insert(faces.end(), {static_cast<uint16_t>(a), static_cast<uint16_t>(b), static_cast<uint16_t>(c)});
}

ToolMesh make_plane(float size, int tiles) {
  ToolMesh m;
  m.name = "plane";
  float h = size / 2;
  int a = m.add_vertex(-h, 0, h, 0, 0);
  int b = m.add_vertex(h, 0, h, float(tiles), 0);
  int c = m.add_vertex(h, 0, -h, float(tiles), float(tiles));
  int d = m.add_vertex(-h, 0, -h, 0, float(tiles));
  m.add_triangle(a, b, c);
  m.add_triangle(a, c, d);
  return m;
}

ToolMesh make_grid(int n, float spacing) {
  ToolMesh m;
  m.name = "grid";
  float half = (n - 1) * spacing / 2;
  for (int row = 0; row < n; ++row)
    for (int col = 0; col < n; ++col)
      m.add_vertex(col * spacing - half, 0, half - row * spacing, float(col) / (n - 1), float(row) / (n - 1));
  // The same two triangles per cell, in the same order, as the surfaces'
  // "sortfaces" writes.
  for (int row = 0; row + 1 < n; ++row)
    for (int col = 0; col + 1 < n; ++col) {
      int k = row * n + col;
      m.add_triangle(k, k + 1, k + n + 1);
      m.add_triangle(k, k + n + 1, k + n);
    }
  return m;
}

ToolMesh make_sphere(float radius, int slices, int stacks) {
  ToolMesh m;
  m.name = "sphere";
  for (int i = 0; i <= stacks; ++i) {
    float phi = PI * i / stacks;  // 0 at the top
    for (int j = 0; j <= slices; ++j) {
      float theta = 2 * PI * j / slices;
      m.add_vertex(radius * std::sin(phi) * std::cos(theta), radius * std::cos(phi),
                   -radius * std::sin(phi) * std::sin(theta), float(j) / slices, 1.0f - float(i) / stacks);
    }
  }
  for (int i = 0; i < stacks; ++i)
    for (int j = 0; j < slices; ++j) {
      int a = i * (slices + 1) + j, b = a + slices + 1;
      if (i > 0) m.add_triangle(a, b, a + 1);
      if (i + 1 < stacks) m.add_triangle(a + 1, b, b + 1);
    }
  return m;
}

ToolMesh make_torus(float major, float minor, int rings, int sides) {
  ToolMesh m;
  m.name = "torus";
  for (int i = 0; i <= rings; ++i) {
    float u = 2 * PI * i / rings;
    for (int j = 0; j <= sides; ++j) {
      float v = 2 * PI * j / sides;
      float r = major + minor * std::cos(v);
      m.add_vertex(r * std::cos(u), minor * std::sin(v), -r * std::sin(u), 2.0f * i / rings, float(j) / sides);
    }
  }
  for (int i = 0; i < rings; ++i)
    for (int j = 0; j < sides; ++j) {
      int a = i * (sides + 1) + j, b = a + sides + 1;
      m.add_triangle(a, b, b + 1);
      m.add_triangle(a, b + 1, a + 1);
    }
  return m;
}

ToolMesh make_box(float sx, float sy, float sz) {
  ToolMesh m;
  m.name = "box";
  add_box_faces(m, -sx / 2, -sy / 2, -sz / 2, sx / 2, sy / 2, sz / 2, false);
  return m;
}

ToolMesh make_room(float sx, float sy, float sz) {
  ToolMesh m;
  m.name = "room";
  add_box_faces(m, -sx / 2, 0, -sz / 2, sx / 2, sy, sz / 2, true);
  // A block standing on the floor, so that the room has something to shade.
  add_box_faces(m, -sx / 8, 0, -sz / 8, sx / 8, sy / 3, sz / 8, false);
  return m;
}

ToolMesh make_court(float sx, float sy, float sz) {
  ToolMesh m;
  m.name = "court";
  const float x0 = -sx / 2, x1 = sx / 2, z0 = -sz / 2, z1 = sz / 2;
  const float above[3] = {0, sy, 0};
  const float floor[4][3] = {{x0, 0, z1}, {x1, 0, z1}, {x1, 0, z0}, {x0, 0, z0}};
  add_quad(m, floor, above, true);
  const float inside[3] = {0, sy / 2, 0};
  const float walls[3][4][3] = {
      {{x1, 0, z0}, {x0, 0, z0}, {x0, sy, z0}, {x1, sy, z0}},  // back
      {{x1, 0, z1}, {x1, 0, z0}, {x1, sy, z0}, {x1, sy, z1}},  // right
      {{x0, 0, z0}, {x0, 0, z1}, {x0, sy, z1}, {x0, sy, z0}},  // left
  };
  for (const auto& wall : walls) add_quad(m, wall, inside, true);
  // Something to throw shadows: a low block off centre, a pillar at the back.
  add_box_faces(m, -sx / 4, 0, -sz / 16, -sx / 16, sy / 4, sz / 8, false);
  add_box_faces(m, sx / 8, 0, -sz / 3, sx / 4, sy * 0.8f, -sz / 3 + sx / 8, false);
  return m;
}

bool write_obj(const std::string& path, const ToolMesh& mesh) {
  std::string text = "# " + mesh.name + ", made by asset_tool\no " + mesh.name + "\n";
  char line[128];
  for (size_t i = 0; i < mesh.positions.size(); i += 3) {
    std::snprintf(line, sizeof line, "v %.4f %.4f %.4f\n", mesh.positions[i], mesh.positions[i + 1],
                  mesh.positions[i + 2]);
    text += line;
  }
  for (size_t i = 0; i < mesh.uvs.size(); i += 2) {
    std::snprintf(line, sizeof line, "vt %.4f %.4f\n", mesh.uvs[i], mesh.uvs[i + 1]);
    text += line;
  }
  for (size_t i = 0; i < mesh.faces.size(); i += 3) {
    int a = mesh.faces[i] + 1, b = mesh.faces[i + 1] + 1, c = mesh.faces[i + 2] + 1;
    std::snprintf(line, sizeof line, "f %d/%d %d/%d %d/%d\n", a, a, b, b, c, c);
    text += line;
  }
  return write_file(path, text);
}

bool write_3ds(const std::string& path, const ToolMesh& mesh) {
  const std::string material_name = mesh.name + "_mat";
  std::string colour;
  for (float c : mesh.colour) colour.push_back(static_cast<char>(std::lround(c * 255.0f)));
  std::string material = chunk(0xA000, cstring(material_name)) + chunk(0xA020, chunk(0x0011, colour));
  if (!mesh.texture.empty()) material += chunk(0xA200, chunk(0xA300, cstring(mesh.texture)));

  std::string vertices;
  put_u16(vertices, static_cast<uint16_t>(mesh.positions.size() / 3));
  for (float f : mesh.positions) put_float(vertices, f);
  std::string mapping;
  put_u16(mapping, static_cast<uint16_t>(mesh.uvs.size() / 2));
  for (float f : mesh.uvs) put_float(mapping, f);
  uint16_t triangles = static_cast<uint16_t>(mesh.faces.size() / 3);
  std::string faces;
  put_u16(faces, triangles);
  for (size_t i = 0; i < mesh.faces.size(); i += 3) {
    put_u16(faces, mesh.faces[i]);
    put_u16(faces, mesh.faces[i + 1]);
    put_u16(faces, mesh.faces[i + 2]);
    put_u16(faces, 7);  // edge flags
  }
  std::string face_material = cstring(material_name);
  put_u16(face_material, triangles);
  for (uint16_t t = 0; t < triangles; ++t) put_u16(face_material, t);
  faces += chunk(0x4130, face_material);

  std::string trimesh = chunk(0x4110, vertices) + chunk(0x4140, mapping) + chunk(0x4120, faces);
  std::string object = chunk(0x4000, cstring(mesh.name) + chunk(0x4100, trimesh));
  std::string version;
  put_u32(version, 3);
  std::string editor = chunk(0x3D3D, chunk(0xAFFF, material) + object);
  return write_file(path, chunk(0x4D4D, chunk(0x0002, version) + editor));
}
