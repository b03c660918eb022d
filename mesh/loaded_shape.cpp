#include "mesh/loaded_shape.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "mesh/object.h"
#include "resources/texture_manager.h"

void keepLoadedShape(cObject* object) {
  if (!object) return;
  for (MeshPart& part : object->parts) {
    if (!part.loadedPositions.empty() || part.positions.empty()) continue;
    part.loadedPositions = part.positions;
    part.loadedNormals = part.normals;
    for (MaterialGroup& group : part.groups) group.loadedFaceNormals = group.faceNormals;
  }
}

namespace {

// Exchanges the current and the loaded arrays of every part that kept a copy
// of the same size; twice restores.
void exchange_loaded(cObject* object) {
  for (MeshPart& part : object->parts) {
    if (part.loadedPositions.empty() || part.loadedPositions.size() != part.positions.size()) continue;
    std::swap(part.positions, part.loadedPositions);
    if (part.loadedNormals.size() == part.normals.size()) std::swap(part.normals, part.loadedNormals);
    for (MaterialGroup& group : part.groups)
      if (group.loadedFaceNormals.size() == group.faceNormals.size())
        std::swap(group.faceNormals, group.loadedFaceNormals);
  }
}

// Every embedded colour map of the object as "<data folder><name>.png".
void write_embedded_textures(cObject* object) {
  Engine* engine = object->engine;
  if (!engine) return;
  std::vector<int> written;
  for (const MeshPart& part : object->parts)
    for (const MaterialGroup& group : part.groups) {
      int slot = group.baseTexture;
      if (!isEmbeddedTexture(engine, slot) || std::find(written.begin(), written.end(), slot) != written.end())
        continue;
      written.push_back(slot);
      std::string file = std::string(engine->paths.data_path) + engine->resources.textures[slot].name + ".png";
      saveTexturePng(engine, slot, file.c_str());
    }
}

}  // namespace

bool writeLoadedGfx(cObject* object, const char* path) {
  exchange_loaded(object);
  bool written = object->writeGfx(path);
  exchange_loaded(object);
  if (written) write_embedded_textures(object);
  return written;
}
