#include "mesh/loader_3ds.h"

#include <algorithm>
#include <cstring>

#include "mesh/byte_reader.h"
#include "mesh/object.h"
#include "resources/texture_manager.h"

namespace {

constexpr uint16_t CHUNK_MAIN = 0x4D4D;
constexpr uint16_t CHUNK_EDITOR = 0x3D3D;
constexpr uint16_t CHUNK_NAMED_OBJECT = 0x4000;
constexpr uint16_t CHUNK_TRIANGLE_MESH = 0x4100;
constexpr uint16_t CHUNK_VERTEX_LIST = 0x4110;
constexpr uint16_t CHUNK_FACE_LIST = 0x4120;
constexpr uint16_t CHUNK_FACE_MATERIAL = 0x4130;
constexpr uint16_t CHUNK_MAPPING = 0x4140;
constexpr uint16_t CHUNK_LOCAL_AXES = 0x4160;
constexpr uint16_t CHUNK_MATERIAL = 0xAFFF;
constexpr uint16_t CHUNK_MATERIAL_NAME = 0xA000;
constexpr uint16_t CHUNK_DIFFUSE = 0xA020;
constexpr uint16_t CHUNK_SPECULAR = 0xA030;
constexpr uint16_t CHUNK_TRANSPARENCY = 0xA050;
constexpr uint16_t CHUNK_TWO_SIDED = 0xA081;
constexpr uint16_t CHUNK_TEXTURE_MAP = 0xA200;
constexpr uint16_t CHUNK_MAP_FILE = 0xA300;
constexpr uint16_t CHUNK_COLOUR_24 = 0x0011;
constexpr uint16_t CHUNK_COLOUR_24_GAMMA = 0x0012;
constexpr uint16_t CHUNK_PERCENT_16 = 0x0030;

// main 1, editor 2, named object 3, triangle mesh 4: the only chunks nested
// without a fixed bound are face lists inside face lists.
constexpr int TRIANGLE_MESH_DEPTH = 4;

constexpr size_t OBJECT_NAME_LIMIT = 16;
constexpr size_t MATERIAL_NAME_LIMIT = 80;

// Chunks inside chunks, at most this deep (main is 1). Exporters write six
// levels at most; a file nested deeper is refused whole rather than walked.
constexpr int MAX_CHUNK_DEPTH = 32;
// Meshes, and materials, one file may hold. Each takes a record of a few
// hundred bytes (and a part, for a mesh) from a chunk that may be six bytes
// long; real files hold hundreds.
constexpr size_t MAX_RECORDS = 65535;

// The next chunk inside `parent`: its identifier and a reader over its body.
// A chunk that claims more than its parent holds (a file cut short, or a
// length written too large) is cut to what the parent holds, so that what lies
// before the damage still reads; data left incomplete fails its own count and
// is dropped. False at the end of the parent, and for a length below the
// 6-byte header, which ends the parent's walk.
bool next_chunk(ByteReader& parent, uint16_t* id, ByteReader* body) {
  uint32_t length = 0;
  if (parent.remaining() < 6) return false;
  parent.u16(id);
  parent.u32(&length);
  if (length < 6) return false;
  size_t size = std::min<size_t>(length - 6, parent.remaining());
  *body = ByteReader(parent.cursor(), size);
  parent.skip(size);
  return true;
}

std::string read_name(ByteReader& in, size_t limit) {
  char text[MATERIAL_NAME_LIMIT + 1];
  in.cstring(text, limit);
  return text;
}

struct Reader3ds {
  Scene3ds scene;
  bool coloured = false;  // a colour with a non-zero component was read
  // Chunks nested beyond MAX_CHUNK_DEPTH, or more than MAX_RECORDS meshes or
  // materials: the file is refused.
  bool refused = false;

  void colour(ByteReader in, float rgb[3]) {
    uint16_t id;
    ByteReader sub(nullptr, 0);
    while (next_chunk(in, &id, &sub)) {
      if (id != CHUNK_COLOUR_24 && id != CHUNK_COLOUR_24_GAMMA) continue;
      uint8_t bytes[3];
      if (!sub.bytes(bytes, 3)) continue;
      for (int i = 0; i < 3; ++i) rgb[i] = bytes[i] / 255.0f;
      if (bytes[0] || bytes[1] || bytes[2]) coloured = true;
    }
  }

  void material(ByteReader in) {
    Material3ds& m = scene.materials.back();
    uint16_t id;
    ByteReader sub(nullptr, 0);
    while (next_chunk(in, &id, &sub)) {
      switch (id) {
        case CHUNK_MATERIAL_NAME: m.name = read_name(sub, MATERIAL_NAME_LIMIT); break;
        case CHUNK_DIFFUSE: colour(sub, m.diffuse); break;
        case CHUNK_SPECULAR: colour(sub, m.specular); break;
        case CHUNK_TRANSPARENCY: {
          uint16_t percent = 10;  // when the percentage is missing
          uint16_t inner;
          ByteReader value(nullptr, 0);
          while (next_chunk(sub, &inner, &value))
            if (inner == CHUNK_PERCENT_16) value.u16(&percent);
          m.opacity = percent / 100.0f;
          if (m.opacity < 0.01f) m.opacity = 1.0f;
          break;
        }
        case CHUNK_TWO_SIDED: m.twoSided = true; break;
        case CHUNK_TEXTURE_MAP: {
          uint16_t inner;
          ByteReader value(nullptr, 0);
          while (next_chunk(sub, &inner, &value))
            if (inner == CHUNK_MAP_FILE) m.texture = read_name(value, MATERIAL_NAME_LIMIT);
          break;
        }
        default: break;
      }
    }
    scene.materials.emplace_back();
  }

  void face_material(ByteReader in, Mesh3ds& mesh) {
    FaceMaterial3ds entry;
    entry.name = read_name(in, MATERIAL_NAME_LIMIT);
    // Linked to the first material of that name read so far.
    for (size_t i = 0; i < scene.materials.size(); ++i)
      if (scene.materials[i].name == entry.name) {
        entry.material = static_cast<int>(i);
        break;
      }
    uint16_t count = 0;
    in.u16(&count);
    if (!in.u16s(&entry.faces, count)) entry.faces.clear();
    mesh.faceMaterials.push_back(std::move(entry));
  }

  // The sub-chunks of a triangle mesh, `depth` levels down. Exporters put the
  // face material lists (and smoothing groups) inside the face list, after
  // its faces, so the rest of a face list is walked with the same rules, one
  // level deeper each time.
  void mesh_chunks(ByteReader in, Mesh3ds& mesh, int depth) {
    if (depth > MAX_CHUNK_DEPTH) {
      refused = true;
      return;
    }
    uint16_t id;
    ByteReader sub(nullptr, 0);
    while (next_chunk(in, &id, &sub)) {
      uint16_t count = 0;
      switch (id) {
        case CHUNK_VERTEX_LIST:
          if (sub.u16(&count) && !sub.floats(&mesh.vertices, size_t(count) * 3)) mesh.vertices.clear();
          break;
        case CHUNK_FACE_LIST:
          if (sub.u16(&count) && !sub.u16s(&mesh.faces, size_t(count) * 4)) {
            mesh.faces.clear();
            break;
          }
          mesh_chunks(sub, mesh, depth + 1);
          break;
        case CHUNK_FACE_MATERIAL: face_material(sub, mesh); break;
        case CHUNK_MAPPING:
          if (sub.u16(&count) && !sub.floats(&mesh.mapping, size_t(count) * 2)) mesh.mapping.clear();
          break;
        case CHUNK_LOCAL_AXES: break;  // 48 bytes, not used
        default: break;
      }
    }
  }

  void named_object(ByteReader in) {
    std::string name = read_name(in, OBJECT_NAME_LIMIT);
    uint16_t id;
    ByteReader sub(nullptr, 0);
    while (next_chunk(in, &id, &sub)) {
      if (id != CHUNK_TRIANGLE_MESH) continue;
      if (scene.meshes.size() >= MAX_RECORDS) {
        refused = true;
        return;
      }
      scene.meshes.emplace_back();
      scene.meshes.back().name = name;
      mesh_chunks(sub, scene.meshes.back(), TRIANGLE_MESH_DEPTH);
    }
  }

  void editor(ByteReader in) {
    uint16_t id;
    ByteReader sub(nullptr, 0);
    while (next_chunk(in, &id, &sub)) {
      if (refused) return;
      if (id == CHUNK_NAMED_OBJECT) {
        named_object(sub);
      } else if (id == CHUNK_MATERIAL) {
        if (scene.materials.size() > MAX_RECORDS) {
          refused = true;
          return;
        }
        material(sub);
      }
    }
  }
};

}  // namespace

std::unique_ptr<Scene3ds> read3dsBytes(const uint8_t* data, size_t size) {
  ByteReader file(data, size);
  uint16_t id;
  ByteReader main(nullptr, 0);
  if (!next_chunk(file, &id, &main) || id != CHUNK_MAIN) return nullptr;

  Reader3ds reader;
  reader.scene.materials.emplace_back();
  ByteReader sub(nullptr, 0);
  while (next_chunk(main, &id, &sub))
    if (id == CHUNK_EDITOR) reader.editor(sub);
  if (reader.refused) return nullptr;

  // Files with only black (or float) colours would draw black: their materials
  // become white.
  if (!reader.coloured) {
    for (Mesh3ds& mesh : reader.scene.meshes)
      for (FaceMaterial3ds& entry : mesh.faceMaterials) {
        if (entry.material < 0) continue;
        Material3ds& m = reader.scene.materials[entry.material];
        for (int i = 0; i < 3; ++i) {
          m.ambient[i] = 0.0f;
          m.diffuse[i] = 1.0f;
        }
      }
  }
  return std::make_unique<Scene3ds>(std::move(reader.scene));
}

std::unique_ptr<Scene3ds> read3ds(FILE* file) {
  if (std::fseek(file, 0, SEEK_SET) != 0) return nullptr;
  std::vector<uint8_t> data = read_whole_file(file);
  return read3dsBytes(data.data(), data.size());
}

bool convert3ds(cObject* object, const Scene3ds& scene) {
  object->clearMesh();
  object->parts.resize(scene.meshes.size());
  object->partCount = static_cast<int32_t>(scene.meshes.size());
  // Texture bindings wait until every part and group exists.
  struct Binding {
    int part, group;
    std::string texture;
  };
  std::vector<Binding> bindings;

  for (size_t p = 0; p < scene.meshes.size(); ++p) {
    const Mesh3ds& mesh = scene.meshes[p];
    MeshPart& part = object->parts[p];
    int vertices = static_cast<int>(mesh.vertices.size() / 3);
    part.vertexCount = vertices;
    part.positions = mesh.vertices;
    // One pair per vertex whatever the mapping count, so that drawing never
    // reads past the coordinates; missing pairs are zero, extra ones dropped.
    part.texCoordCount = vertices;
    part.texCoords.assign(static_cast<size_t>(vertices) * 2, 0.0f);
    for (size_t i = 0; i < part.texCoords.size() && i < mesh.mapping.size(); ++i)
      part.texCoords[i] = mesh.mapping[i];
    part.normals.assign(static_cast<size_t>(vertices) * 3, 0.0f);
    std::snprintf(part.name, 8, "%s", mesh.name.c_str());  // cut to 7 characters

    int face_count = static_cast<int>(mesh.faces.size() / 4);
    for (const FaceMaterial3ds& entry : mesh.faceMaterials) {
      if (entry.material < 0 || entry.faces.empty()) continue;
      MaterialGroup group;
      for (uint16_t face : entry.faces) {
        if (face >= face_count) continue;
        const uint16_t* f = &mesh.faces[size_t(face) * 4];
        if (f[0] >= vertices || f[1] >= vertices || f[2] >= vertices) continue;
        group.indices.insert(group.indices.end(), f, f + 3);
      }
      if (group.indices.empty()) continue;
      group.triangleCount = static_cast<int32_t>(group.indices.size() / 3);
      group.drawIndices = group.indices;
      group.drawTriangleCount = group.triangleCount;
      group.faceNormals.assign(group.indices.size(), 0.0f);
      const Material3ds& m = scene.materials[entry.material];
      for (int i = 0; i < 3; ++i) {
        group.ambient[i] = m.ambient[i];
        group.diffuse[i] = m.diffuse[i];
        group.specular[i] = m.specular[i];
      }
      group.ambient[3] = group.diffuse[3] = group.specular[3] = m.opacity;
      std::string texture = m.texture.substr(0, m.texture.find('.'));
      if (!texture.empty())
        bindings.push_back({static_cast<int>(p), static_cast<int>(part.groups.size()), texture});
      part.groups.push_back(std::move(group));
    }
    part.groupCount = static_cast<int32_t>(part.groups.size());
  }

  for (const Binding& b : bindings) loadMaterialTextures(object, b.part, b.group, b.texture.c_str());
  object->computeNormals();
  return true;
}
