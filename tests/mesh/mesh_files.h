// Builders for the mesh tests: 3D Studio chunks, .gfx bytes in either byte
// order, OBJ text, and a hand-made object in an engine's table.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>

#include "core/engine.h"
#include "mesh/object.h"

// Little- or big-endian bytes.
struct Bytes {
  bool big = false;
  std::string s;

  Bytes& u8(uint8_t v) {
    s.push_back(static_cast<char>(v));
    return *this;
  }
  Bytes& u16(uint16_t v) {
    if (big) return u8(v >> 8).u8(v & 0xFF);
    return u8(v & 0xFF).u8(v >> 8);
  }
  Bytes& u32(uint32_t v) {
    if (big) return u16(v >> 16).u16(v & 0xFFFF);
    return u16(v & 0xFFFF).u16(v >> 16);
  }
  Bytes& f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return u32(bits);
  }
  Bytes& floats(std::initializer_list<float> values) {
    for (float v : values) f32(v);
    return *this;
  }
  Bytes& cstr(const std::string& text) {  // NUL-terminated
    s += text;
    return u8(0);
  }
  Bytes& str(const std::string& text) {  // length byte, no NUL
    u8(static_cast<uint8_t>(text.size()));
    s += text;
    return *this;
  }
  Bytes& raw(const std::string& bytes) {
    s += bytes;
    return *this;
  }
};

// A 3D Studio chunk: identifier, length counting the 6-byte header, body.
inline std::string chunk(uint16_t id, const std::string& body) {
  return Bytes().u16(id).u32(static_cast<uint32_t>(body.size() + 6)).raw(body).s;
}

// A square of edge 2 facing +z, one material "paint" of the given diffuse
// colour, as an exporter writes it: a version chunk, the editor data, then a
// keyframer chunk (0xB000) that the reader does not use.
inline std::string quad_3ds(uint8_t r, uint8_t g, uint8_t b) {
  Bytes vertices;
  vertices.u16(4).floats({-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0});
  Bytes faces;
  faces.u16(2).u16(0).u16(1).u16(2).u16(0).u16(0).u16(2).u16(3).u16(0);
  Bytes face_material;
  face_material.cstr("paint").u16(2).u16(0).u16(1);
  std::string face_list = chunk(0x4120, faces.s + chunk(0x4130, face_material.s));
  std::string object = chunk(0x4000, Bytes().cstr("quad").s + chunk(0x4100, chunk(0x4110, vertices.s) + face_list));
  std::string material = chunk(0xAFFF, chunk(0xA000, Bytes().cstr("paint").s) +
                                           chunk(0xA020, chunk(0x0011, Bytes().u8(r).u8(g).u8(b).s)));
  std::string keyframer = chunk(0xB000, chunk(0xB00A, Bytes().u16(5).cstr("quad").u32(100).s) +
                                            chunk(0xB008, Bytes().u32(0).u32(100).s) +
                                            chunk(0xB002, chunk(0xB010, Bytes().cstr("quad").u16(0).u16(0).u16(0xFFFF).s)));
  return chunk(0x4D4D, chunk(0x0002, Bytes().u32(3).s) + chunk(0x3D3D, material + object) + keyframer);
}

// A 3D Studio file whose one mesh has `depth` face lists nested one inside
// the other, each of no faces (8 bytes a level).
inline std::string nested_face_lists_3ds(int depth) {
  Bytes inner;
  for (int level = 0; level < depth; ++level) inner.u16(0x4120).u32(static_cast<uint32_t>(8 * (depth - level))).u16(0);
  return chunk(0x4D4D, chunk(0x3D3D, chunk(0x4000, Bytes().cstr("deep").s + chunk(0x4100, inner.s))));
}

// An object of one part with `vertices` positions and one group of the given
// triangles, white, with texture coordinates, placed in slot `slot`.
inline cObject* put_object(Engine* engine, int slot, std::initializer_list<float> positions,
                           std::initializer_list<uint16_t> indices) {
  auto* object = new cObject(engine);
  MeshPart part;
  part.positions.assign(positions);
  part.vertexCount = static_cast<int32_t>(part.positions.size() / 3);
  part.texCoords.assign(part.vertexCount * 2, 0.0f);
  part.texCoordCount = part.vertexCount;
  MaterialGroup group;
  group.indices.assign(indices);
  group.drawIndices = group.indices;
  group.triangleCount = group.drawTriangleCount = static_cast<int32_t>(group.indices.size() / 3);
  for (int i = 0; i < 4; ++i) group.ambient[i] = group.diffuse[i] = group.specular[i] = 1.0f;
  part.groups.push_back(group);
  part.groupCount = 1;
  object->parts.push_back(part);
  object->partCount = 1;
  object->computeNormals();
  object->computeBounds();
  object->updateTransform();
  engine->scene.objects[slot] = object;
  engine->scene.objects.raise(slot);
  return object;
}

// A unit cube around the origin (edge 2 * h), 24 vertices so that each face
// has its own texture coordinates; faces wound counter-clockwise seen from
// outside.
inline std::string cube_obj(float h) {
  std::string text;
  auto v = [&](float x, float y, float z) { text += "v " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) + "\n"; };
  // (normal axis, sign): corners in counter-clockwise order seen from outside
  const float faces[6][4][3] = {
      {{-h, -h, h}, {h, -h, h}, {h, h, h}, {-h, h, h}},      // +z
      {{h, -h, -h}, {-h, -h, -h}, {-h, h, -h}, {h, h, -h}},  // -z
      {{h, -h, h}, {h, -h, -h}, {h, h, -h}, {h, h, h}},      // +x
      {{-h, -h, -h}, {-h, -h, h}, {-h, h, h}, {-h, h, -h}},  // -x
      {{-h, h, h}, {h, h, h}, {h, h, -h}, {-h, h, -h}},      // +y
      {{-h, -h, -h}, {h, -h, -h}, {h, -h, h}, {-h, -h, h}},  // -y
  };
  for (const auto& face : faces)
    for (const auto& corner : face) v(corner[0], corner[1], corner[2]);
  for (int f = 0; f < 6; ++f) text += "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n";
  for (int f = 0; f < 6; ++f) {
    int b = f * 4 + 1;
    text += "f " + std::to_string(b) + "/" + std::to_string(b) + " " + std::to_string(b + 1) + "/" +
            std::to_string(b + 1) + " " + std::to_string(b + 2) + "/" + std::to_string(b + 2) + " " +
            std::to_string(b + 3) + "/" + std::to_string(b + 3) + "\n";
  }
  return text;
}
