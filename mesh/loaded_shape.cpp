#include "mesh/loaded_shape.h"

#include <utility>

#include "mesh/object.h"

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

}  // namespace

bool writeLoadedGfx(cObject* object, const char* path) {
  exchange_loaded(object);
  bool written = object->writeGfx(path);
  exchange_loaded(object);
  return written;
}
