// What every loader promises of the object it fills, checked after each input:
// the arrays hold what the counts say, every index names a vertex of its part.
// A broken promise aborts, so the fuzzer keeps the input.
#pragma once

#include <cstdlib>

#include "mesh/object.h"

inline void check_loaded_object(cObject* object) {
  if (object->partCount != static_cast<int32_t>(object->parts.size())) std::abort();
  for (const MeshPart& part : object->parts) {
    size_t vertices = static_cast<size_t>(part.vertexCount);
    if (part.vertexCount < 0 || part.vertexCount > MAX_PART_VERTICES + 1) std::abort();
    if (part.positions.size() < vertices * 3) std::abort();
    if (part.normals.size() < vertices * 3) std::abort();
    if (part.texCoords.size() < vertices * 2) std::abort();
    if (part.groupCount != static_cast<int32_t>(part.groups.size())) std::abort();
    for (const MaterialGroup& group : part.groups) {
      size_t triangles = static_cast<size_t>(group.triangleCount);
      if (group.triangleCount < 0 || group.indices.size() < triangles * 3) std::abort();
      if (group.drawIndices.size() < static_cast<size_t>(group.drawTriangleCount) * 3) std::abort();
      if (group.faceNormals.size() < triangles * 3) std::abort();
      for (uint16_t index : group.indices)
        if (index >= part.vertexCount) std::abort();
      for (uint16_t index : group.drawIndices)
        if (index >= part.vertexCount) std::abort();
    }
  }
  // What happens to every loaded object next, none of it needing GL.
  object->computeBounds();
  object->updateTransform();
}
