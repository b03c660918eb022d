// The .gfx mesh cache: the engine's byte image of a loaded object. Header of 37
// bytes (length byte 34, the magic text, major 2, minor 0), then the body:
// part count; per part its number, name, vertex count, positions, normals
// (major >= 2), texture coordinate count and pairs, group count; per group its
// colour texture name, triangle count, indices, face normals (major >= 2),
// lightmap flag and records, ambient, diffuse, specular. Strings are a length
// byte and the bytes. Written little-endian; a file whose magic does not begin
// with "I" is read big-endian.
// The reader and the writer below must change together (tests/mesh pins both).
#include <GL/gl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "mesh/byte_reader.h"
#include "mesh/object.h"
#include "platform/platform.h"
#include "resources/texture_manager.h"

static const char GFX_MAGIC[] = "IX86 TalpineEngine <****wurdo****>";
constexpr uint8_t GFX_MAJOR = 2;
constexpr uint8_t GFX_MINOR = 0;
constexpr int GFX_PART_NAME_KEPT = 8;  // characters of a part name kept on read

// ---- reader -------------------------------------------------------------------

namespace {

struct GfxReader {
  ByteReader in;
  cObject* object;
  uint8_t major = 0;

  bool string(char* out, size_t out_size, size_t keep) {
    uint8_t length;
    char text[256];
    if (!in.u8(&length) || !in.bytes(text, length)) return false;
    size_t n = length < keep ? length : keep;
    if (n >= out_size) n = out_size - 1;
    std::memcpy(out, text, n);
    out[n] = '\0';
    return true;
  }

  bool group(int part_number, int group_number) {
    MeshPart& part = object->parts[part_number];
    char texture[256];
    if (!string(texture, sizeof texture, 255)) return false;
    if (texture[0]) loadMaterialTextures(object, part_number, group_number, texture);
    MaterialGroup& g = part.groups[group_number];

    uint32_t triangles;
    if (!in.u32(&triangles) || triangles > in.remaining() / 6) return false;
    g.triangleCount = static_cast<int32_t>(triangles);
    if (!in.u16s(&g.indices, static_cast<size_t>(triangles) * 3)) return false;
    for (uint16_t index : g.indices)
      if (index >= part.vertexCount) return false;
    g.drawIndices = g.indices;
    g.drawTriangleCount = g.triangleCount;
    if (major >= 2) {
      if (!in.floats(&g.faceNormals, static_cast<size_t>(triangles) * 3)) return false;
    } else {
      g.faceNormals.assign(static_cast<size_t>(triangles) * 3, 0.0f);
    }

    uint32_t lightmap;
    if (!in.u32(&lightmap)) return false;
    if (lightmap) {
      size_t values = static_cast<size_t>(triangles) * 12;
      if (values > in.remaining() / 4) return false;
      g.lightmapCoords.resize(values);
      for (size_t i = 0; i < values; ++i) {
        uint32_t bits = 0;
        in.u32(&bits);
        g.lightmapCoords[i] = static_cast<int32_t>(bits);
      }
    }
    for (float* colour : {g.ambient, g.diffuse, g.specular})
      for (int i = 0; i < 4; ++i)
        if (!in.f32(&colour[i])) return false;
    return true;
  }

  bool part(int part_number) {
    MeshPart& p = object->parts[part_number];
    std::strcpy(p.name, "unknow");
    uint32_t ignored_number;
    if (!in.u32(&ignored_number)) return false;
    if (!string(p.name, sizeof p.name, GFX_PART_NAME_KEPT)) return false;

    uint32_t vertices;
    if (!in.u32(&vertices)) return false;
    p.vertexCount = static_cast<int32_t>(vertices);
    if (!in.floats(&p.positions, static_cast<size_t>(vertices) * 3)) return false;
    if (major >= 2) {
      if (!in.floats(&p.normals, static_cast<size_t>(vertices) * 3)) return false;
    } else {
      p.normals.assign(static_cast<size_t>(vertices) * 3, 0.0f);
    }

    uint32_t coords;
    if (!in.u32(&coords) || coords > in.remaining() / 8) return false;
    if (!in.floats(&p.texCoords, static_cast<size_t>(coords) * 2)) return false;
    // Drawing reads one pair per vertex: fewer (or none) are made up with zeros.
    if (coords < vertices) {
      coords = vertices;
      p.texCoords.resize(static_cast<size_t>(vertices) * 2, 0.0f);
    }
    p.texCoordCount = static_cast<int32_t>(coords);

    uint32_t groups;
    // Every group takes at least 57 bytes (name byte, count, flag, colours).
    // Groups are added as they are read, so that a count the file only just
    // allows does not ask for that many records before their bytes are seen.
    if (!in.u32(&groups) || groups > in.remaining() / 57) return false;
    for (uint32_t g = 0; g < groups; ++g) {
      p.groups.emplace_back();
      p.groupCount = static_cast<int32_t>(p.groups.size());
      if (!group(part_number, static_cast<int>(g))) return false;
    }
    return true;
  }

  bool body() {
    uint32_t parts;
    // Every part takes at least 17 bytes (number, name byte, three counts);
    // parts are added as they are read, like groups.
    if (!in.u32(&parts) || parts > in.remaining() / 17) return false;
    for (uint32_t p = 0; p < parts; ++p) {
      object->parts.emplace_back();
      object->partCount = static_cast<int32_t>(object->parts.size());
      if (!part(static_cast<int>(p))) return false;
    }
    return true;
  }
};

}  // namespace

bool cObject::readGfx(const char* path) {
  FILE* file = platform::open_file(path, "rb");
  if (!file) return false;
  std::vector<uint8_t> data = read_whole_file(file);
  std::fclose(file);

  GfxReader reader{ByteReader(data.data(), data.size()), this};
  uint8_t magic_length, minor;
  char magic[256] = {};
  if (!reader.in.u8(&magic_length) || !reader.in.bytes(magic, magic_length) ||
      !reader.in.u8(&reader.major) || !reader.in.u8(&minor) || minor != GFX_MINOR)
    return false;
  reader.in.big_endian = magic[0] != 'I';

  clearMesh();
  uint8_t was_blended = blended;  // material bindings may set it on the way
  if (!reader.body()) {
    clearMesh();
    blended = was_blended;
    return false;
  }
  if (reader.major < 2) {
    computeNormals();
    writeGfx(path);
  }
  return true;
}

// ---- writer -------------------------------------------------------------------

namespace {

struct GfxWriter {
  std::string out;

  void u8(uint8_t v) { out.push_back(static_cast<char>(v)); }
  void u16(uint16_t v) {
    u8(static_cast<uint8_t>(v));
    u8(static_cast<uint8_t>(v >> 8));
  }
  void u32(uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) u8(static_cast<uint8_t>(v >> shift));
  }
  void f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    u32(bits);
  }
  // Exactly count floats, zeros where the array is shorter.
  void floats(const std::vector<float>& v, size_t count) {
    for (size_t i = 0; i < count; ++i) f32(i < v.size() ? v[i] : 0.0f);
  }
  void string(const char* text) {
    size_t n = std::strlen(text);
    if (n > 255) n = 255;
    u8(static_cast<uint8_t>(n));
    out.append(text, n);
  }
};

}  // namespace

bool cObject::writeGfx(const char* path) const {
  std::string target = path;
  if (target.size() < 3) return false;
  target.replace(target.size() - 3, 3, "gfx");
  target = platform::resolve_file(target);

  GfxWriter w;
  w.u8(static_cast<uint8_t>(std::strlen(GFX_MAGIC)));
  w.out.append(GFX_MAGIC);
  w.u8(GFX_MAJOR);
  w.u8(GFX_MINOR);

  w.u32(static_cast<uint32_t>(partCount));
  for (int p = 0; p < partCount; ++p) {
    const MeshPart& part = parts[p];
    w.u32(static_cast<uint32_t>(p));
    w.string(part.name);
    w.u32(static_cast<uint32_t>(part.vertexCount));
    w.floats(part.positions, static_cast<size_t>(part.vertexCount) * 3);
    w.floats(part.normals, static_cast<size_t>(part.vertexCount) * 3);
    w.u32(static_cast<uint32_t>(part.texCoordCount));
    w.floats(part.texCoords, static_cast<size_t>(part.texCoordCount) * 2);
    w.u32(static_cast<uint32_t>(part.groupCount));
    for (int g = 0; g < part.groupCount; ++g) {
      const MaterialGroup& group = part.groups[g];
      int slot = group.baseTexture;
      bool named = slot > 0 && slot < MAX_TEXTURES && engine->resources.textures[slot].inUse;
      w.string(named ? engine->resources.textures[slot].name : "");
      w.u32(static_cast<uint32_t>(group.triangleCount));
      for (size_t i = 0; i < static_cast<size_t>(group.triangleCount) * 3; ++i)
        w.u16(i < group.indices.size() ? group.indices[i] : 0);
      w.floats(group.faceNormals, static_cast<size_t>(group.triangleCount) * 3);
      bool lightmap = !group.lightmapCoords.empty();
      w.u32(lightmap ? 1 : 0);
      if (lightmap)
        for (size_t i = 0; i < static_cast<size_t>(group.triangleCount) * 12; ++i)
          w.u32(static_cast<uint32_t>(i < group.lightmapCoords.size() ? group.lightmapCoords[i] : 0));
      for (const float* colour : {group.ambient, group.diffuse, group.specular})
        for (int i = 0; i < 4; ++i) w.f32(colour[i]);
    }
  }

  // Written beside the target and renamed over it, so that an interrupted
  // write leaves the old cache whole.
  std::string temporary = target + ".tmp";
  FILE* file = std::fopen(temporary.c_str(), "w+b");
  if (!file) return false;
  bool written = std::fwrite(w.out.data(), 1, w.out.size(), file) == w.out.size();
  written = (std::fclose(file) == 0) && written;
  if (!written || std::rename(temporary.c_str(), target.c_str()) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}
