// glTF files for the tests, the fuzz seeds and the benchmarks, made with
// tinygltf's own model and writer: data goes into one buffer, each array as a
// bufferView with its accessor. Broken variants are made by editing the JSON
// that `json()` gives with the JSON library and writing it back.
#pragma once

#include <FreeImage.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/gltf_library.h"

// A 64 x 64 PNG in memory, for embedding: its upper half (as the image is
// seen) one colour and its lower half another, each given as {r, g, b}.
struct PngColour {
  int r, g, b;
};

inline std::string two_colour_png(PngColour top, PngColour bottom) {
  FIBITMAP* image = FreeImage_Allocate(64, 64, 24);
  for (int y = 0; y < 64; ++y) {
    BYTE* row = FreeImage_GetScanLine(image, y);  // row 0 is the bottom one
    PngColour c = y >= 32 ? top : bottom;
    for (int x = 0; x < 64; ++x) {
      row[x * 3 + FI_RGBA_RED] = static_cast<BYTE>(c.r);
      row[x * 3 + FI_RGBA_GREEN] = static_cast<BYTE>(c.g);
      row[x * 3 + FI_RGBA_BLUE] = static_cast<BYTE>(c.b);
    }
  }
  FIMEMORY* memory = FreeImage_OpenMemory();
  FreeImage_SaveToMemory(FIF_PNG, image, memory, 0);
  BYTE* bytes = nullptr;
  DWORD size = 0;
  FreeImage_AcquireMemory(memory, &bytes, &size);
  std::string png(reinterpret_cast<const char*>(bytes), size);
  FreeImage_CloseMemory(memory);
  FreeImage_Unload(image);
  return png;
}

struct GltfBuilder {
  tinygltf::Model model;

  GltfBuilder() {
    model.asset.version = "2.0";
    model.asset.generator = "talpine tests";
    model.buffers.emplace_back();
  }

  // Raw bytes as a bufferView of buffer 0, aligned to 4 bytes.
  int view(const void* bytes, size_t size, size_t stride = 0) {
    std::vector<unsigned char>& data = model.buffers[0].data;
    while (data.size() % 4) data.push_back(0);
    tinygltf::BufferView v;
    v.buffer = 0;
    v.byteOffset = data.size();
    v.byteLength = size;
    v.byteStride = stride;
    const auto* p = static_cast<const unsigned char*>(bytes);
    data.insert(data.end(), p, p + size);
    model.bufferViews.push_back(v);
    return static_cast<int>(model.bufferViews.size() - 1);
  }

  int accessor(int view_index, int component_type, int type, size_t count, size_t offset = 0,
               bool normalized = false) {
    tinygltf::Accessor a;
    a.bufferView = view_index;
    a.componentType = component_type;
    a.type = type;
    a.count = count;
    a.byteOffset = offset;
    a.normalized = normalized;
    model.accessors.push_back(a);
    return static_cast<int>(model.accessors.size() - 1);
  }

  // Floats, `width` per element (2: VEC2, 3: VEC3).
  int floats(const std::vector<float>& values, int width) {
    int v = view(values.data(), values.size() * sizeof(float));
    int type = width == 2 ? TINYGLTF_TYPE_VEC2 : width == 3 ? TINYGLTF_TYPE_VEC3 : TINYGLTF_TYPE_SCALAR;
    // Positions need their bounds in a valid file.
    int a = accessor(v, TINYGLTF_COMPONENT_TYPE_FLOAT, type, values.size() / width);
    if (width == 3 && !values.empty()) {
      std::vector<double> low(3, 1e30), high(3, -1e30);
      for (size_t i = 0; i < values.size(); ++i) {
        low[i % 3] = std::min(low[i % 3], double(values[i]));
        high[i % 3] = std::max(high[i % 3], double(values[i]));
      }
      model.accessors[a].minValues = low;
      model.accessors[a].maxValues = high;
    }
    return a;
  }

  // Indices as UNSIGNED_BYTE, UNSIGNED_SHORT or UNSIGNED_INT.
  int indices(const std::vector<uint32_t>& values, int component_type = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
    std::vector<unsigned char> bytes;
    size_t size = component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ? 1
                  : component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ? 2 : 4;
    for (uint32_t value : values)
      for (size_t b = 0; b < size; ++b) bytes.push_back(static_cast<unsigned char>(value >> (8 * b)));
    int v = view(bytes.data(), bytes.size());
    return accessor(v, component_type, TINYGLTF_TYPE_SCALAR, values.size());
  }

  int material(const std::vector<double>& base = {1, 1, 1, 1}, const std::string& alpha_mode = "OPAQUE",
               const std::vector<double>& emissive = {0, 0, 0}, int texture = -1) {
    tinygltf::Material m;
    m.pbrMetallicRoughness.baseColorFactor = base;
    m.alphaMode = alpha_mode;
    m.emissiveFactor = emissive;
    m.pbrMetallicRoughness.baseColorTexture.index = texture;
    model.materials.push_back(m);
    return static_cast<int>(model.materials.size() - 1);
  }

  // An image held in the buffer, and the texture that shows it.
  int embedded_texture(const std::string& encoded, const std::string& mime = "image/png") {
    tinygltf::Image image;
    image.bufferView = view(encoded.data(), encoded.size());
    image.mimeType = mime;
    return texture_of(image);
  }
  // An image file (or a data URI) named by its URI.
  int uri_texture(const std::string& uri) {
    tinygltf::Image image;
    image.uri = uri;
    return texture_of(image);
  }
  int texture_of(const tinygltf::Image& image) {
    model.images.push_back(image);
    tinygltf::Texture texture;
    texture.source = static_cast<int>(model.images.size() - 1);
    model.textures.push_back(texture);
    return static_cast<int>(model.textures.size() - 1);
  }

  struct Primitive {
    int positions = -1, normals = -1, coords = -1, indices = -1, material = -1;
    int mode = TINYGLTF_MODE_TRIANGLES;
  };
  int mesh(const std::vector<Primitive>& primitives, const std::string& name = "") {
    tinygltf::Mesh m;
    m.name = name;
    for (const Primitive& p : primitives) {
      tinygltf::Primitive q;
      q.attributes["POSITION"] = p.positions;
      if (p.normals >= 0) q.attributes["NORMAL"] = p.normals;
      if (p.coords >= 0) q.attributes["TEXCOORD_0"] = p.coords;
      q.indices = p.indices;
      q.material = p.material;
      q.mode = p.mode;
      m.primitives.push_back(q);
    }
    model.meshes.push_back(m);
    return static_cast<int>(model.meshes.size() - 1);
  }

  struct Placement {
    std::vector<double> translation, rotation, scale, matrix;
  };
  int node(int mesh_index, const Placement& placement = {}, const std::vector<int>& children = {},
           const std::string& name = "") {
    tinygltf::Node n;
    n.mesh = mesh_index;
    n.translation = placement.translation;
    n.rotation = placement.rotation;
    n.scale = placement.scale;
    n.matrix = placement.matrix;
    n.children = children;
    n.name = name;
    model.nodes.push_back(n);
    return static_cast<int>(model.nodes.size() - 1);
  }

  int scene(const std::vector<int>& roots) {
    tinygltf::Scene s;
    s.nodes = roots;
    model.scenes.push_back(s);
    if (model.defaultScene < 0) model.defaultScene = 0;
    return static_cast<int>(model.scenes.size() - 1);
  }

  // One-piece shortcut: a mesh of the given triangles in a node of the only scene.
  int simple(const std::vector<float>& positions, const std::vector<uint32_t>& triangles, int material_index = -1,
             const std::vector<float>& coords = {}) {
    Primitive p;
    p.positions = floats(positions, 3);
    p.indices = indices(triangles);
    if (!coords.empty()) p.coords = floats(coords, 2);
    p.material = material_index;
    int n = node(mesh({p}));
    scene({n});
    return n;
  }

  // The binary form: JSON chunk and the buffer as the BIN chunk.
  std::string glb() const {
    tinygltf::TinyGLTF writer;
    std::ostringstream out;
    writer.WriteGltfSceneToStream(&model, out, false, true);
    return out.str();
  }
  // The text form with the buffer embedded as a data URI.
  std::string gltf() const {
    tinygltf::TinyGLTF writer;
    std::ostringstream out;
    writer.WriteGltfSceneToStream(&model, out, true, false);
    return out.str();
  }
  // The text form naming the buffer as a file; `bin()` is that file.
  std::string gltf_with_bin(const std::string& bin_uri) const {
    nlohmann::json doc = json();
    doc["buffers"][0]["uri"] = bin_uri;
    return doc.dump(2);
  }
  std::string bin() const {
    const std::vector<unsigned char>& data = model.buffers[0].data;
    return std::string(data.begin(), data.end());
  }
  // The text form as JSON to edit.
  nlohmann::json json() const { return nlohmann::json::parse(gltf()); }
};
