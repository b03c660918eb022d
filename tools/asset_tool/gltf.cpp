#include "tools/asset_tool/gltf.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "mesh/gltf_library.h"
#include "tools/asset_tool/meshes.h"

namespace {

// Appends bytes to buffer 0 as a bufferView (4-byte aligned) and returns it.
int add_view(tinygltf::Model& model, const void* bytes, size_t size, int target) {
  std::vector<unsigned char>& data = model.buffers[0].data;
  while (data.size() % 4) data.push_back(0);
  tinygltf::BufferView view;
  view.buffer = 0;
  view.byteOffset = data.size();
  view.byteLength = size;
  view.target = target;
  const auto* p = static_cast<const unsigned char*>(bytes);
  data.insert(data.end(), p, p + size);
  model.bufferViews.push_back(view);
  return static_cast<int>(model.bufferViews.size() - 1);
}

int add_accessor(tinygltf::Model& model, int view, int component_type, int type, size_t count) {
  tinygltf::Accessor accessor;
  accessor.bufferView = view;
  accessor.componentType = component_type;
  accessor.type = type;
  accessor.count = count;
  model.accessors.push_back(accessor);
  return static_cast<int>(model.accessors.size() - 1);
}

}  // namespace

bool write_gltf(const std::string& path, const ToolMesh& mesh, const std::string& image, bool binary) {
  tinygltf::Model model;
  model.asset.version = "2.0";
  model.asset.generator = "talpine asset_tool";
  model.buffers.emplace_back();

  tinygltf::Primitive primitive;
  primitive.mode = TINYGLTF_MODE_TRIANGLES;
  // Positions, with the bounds a valid file gives them.
  size_t vertices = mesh.positions.size() / 3;
  int positions = add_accessor(model,
                               add_view(model, mesh.positions.data(), mesh.positions.size() * sizeof(float),
                                        TINYGLTF_TARGET_ARRAY_BUFFER),
                               TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, vertices);
  std::vector<double> low(3, 0.0), high(3, 0.0);
  for (size_t i = 0; i < mesh.positions.size(); ++i) {
    double v = mesh.positions[i];
    low[i % 3] = i < 3 ? v : std::min(low[i % 3], v);
    high[i % 3] = i < 3 ? v : std::max(high[i % 3], v);
  }
  model.accessors[positions].minValues = low;
  model.accessors[positions].maxValues = high;
  primitive.attributes["POSITION"] = positions;
  // glTF counts texture rows from the top of the image, the engine (and the
  // generators) from the bottom.
  std::vector<float> coords = mesh.uvs;
  for (size_t i = 1; i < coords.size(); i += 2) coords[i] = 1.0f - coords[i];
  primitive.attributes["TEXCOORD_0"] =
      add_accessor(model, add_view(model, coords.data(), coords.size() * sizeof(float), TINYGLTF_TARGET_ARRAY_BUFFER),
                   TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2, coords.size() / 2);
  primitive.indices = add_accessor(model,
                                   add_view(model, mesh.faces.data(), mesh.faces.size() * sizeof(uint16_t),
                                            TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER),
                                   TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, TINYGLTF_TYPE_SCALAR, mesh.faces.size());

  tinygltf::Material material;
  material.name = mesh.name + "_mat";
  material.pbrMetallicRoughness.baseColorFactor = {mesh.colour[0], mesh.colour[1], mesh.colour[2], 1.0};
  material.pbrMetallicRoughness.metallicFactor = 0.0;
  if (!image.empty() || !mesh.texture.empty()) {
    tinygltf::Image picture;
    if (!image.empty()) {
      picture.bufferView = add_view(model, image.data(), image.size(), 0);
      bool jpeg = mesh.texture.ends_with(".jpg") || mesh.texture.ends_with(".jpeg");
      picture.mimeType = jpeg ? "image/jpeg" : "image/png";
    } else {
      picture.uri = mesh.texture;
    }
    model.images.push_back(picture);
    tinygltf::Texture texture;
    texture.source = 0;
    model.textures.push_back(texture);
    material.pbrMetallicRoughness.baseColorTexture.index = 0;
  }
  model.materials.push_back(material);
  primitive.material = 0;

  tinygltf::Mesh gltf_mesh;
  gltf_mesh.name = mesh.name;
  gltf_mesh.primitives.push_back(primitive);
  model.meshes.push_back(gltf_mesh);
  tinygltf::Node node;
  node.mesh = 0;
  node.name = mesh.name;
  model.nodes.push_back(node);
  tinygltf::Scene scene;
  scene.nodes = {0};
  model.scenes.push_back(scene);
  model.defaultScene = 0;

  tinygltf::TinyGLTF writer;
  std::ostringstream out;
  if (!writer.WriteGltfSceneToStream(&model, out, !binary, binary)) return false;
  std::ofstream file(path, std::ios::binary);
  file << out.str();
  return static_cast<bool>(file.flush());
}
