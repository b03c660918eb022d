#include "mesh/grid_surface.h"

#include <cmath>

#include "core/engine.h"
#include "mesh/object.h"

int gridEdge(int32_t vertex_count) {
  if (vertex_count <= 0) return 0;
  return static_cast<int>(std::sqrt(static_cast<double>(vertex_count)));
}

MeshPart* findPart(Engine* engine, int32_t object, int32_t part) {
  if (object < 0 || object >= MAX_ELEMENTS) return nullptr;
  cObject* mesh = engine->scene.objects[object];
  if (!mesh || part < 0 || part >= mesh->partCount || part >= static_cast<int32_t>(mesh->parts.size()))
    return nullptr;
  return &mesh->parts[part];
}

MeshPart* gridPart(Engine* engine, int32_t object, int32_t part, int32_t vertex_count) {
  MeshPart* found = findPart(engine, object, part);
  if (!found || found->vertexCount != vertex_count) return nullptr;
  size_t floats = static_cast<size_t>(vertex_count) * 3;
  if (found->positions.size() < floats || found->normals.size() < floats) return nullptr;
  return found;
}

void gridNormals(MeshPart& part, int n) {
  const float* p = part.positions.data();
  float* normals = part.normals.data();
  for (int i = 0; i < n; ++i) {      // column
    for (int j = 0; j < n; ++j) {    // row
      int v = j * n + i;
      const float* l = p + 3 * (i > 0 ? v - 1 : v);
      const float* r = p + 3 * (i < n - 1 ? v + 1 : v);
      const float* u = p + 3 * (j > 0 ? v - n : v);
      const float* d = p + 3 * (j < n - 1 ? v + n : v);
      float a[3] = {r[0] - l[0], r[1] - l[1], r[2] - l[2]};
      float b[3] = {d[0] - u[0], d[1] - u[1], d[2] - u[2]};
      float c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
      float length = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
      if (length != 0.0f) {
        c[0] /= length;
        c[1] /= length;
        c[2] /= length;
      }
      normals[3 * v] = c[0];
      normals[3 * v + 1] = c[1];
      normals[3 * v + 2] = c[2];
    }
  }
}

void sortGridFaces(MeshPart& part, int n) {
  if (part.groups.empty() || part.groupCount < 1) return;
  MaterialGroup& group = part.groups[0];
  int32_t triangles = group.triangleCount;
  int32_t stored = static_cast<int32_t>(group.indices.size() / 3);
  if (triangles > stored) triangles = stored;
  auto set = [&](int32_t triangle, int32_t a, int32_t b, int32_t c) {
    if (triangle >= triangles) return;
    if (a >= part.vertexCount || b >= part.vertexCount || c >= part.vertexCount) return;
    uint16_t* t = &group.indices[static_cast<size_t>(triangle) * 3];
    t[0] = static_cast<uint16_t>(a);
    t[1] = static_cast<uint16_t>(b);
    t[2] = static_cast<uint16_t>(c);
  };
  for (int32_t k = 0; 2 * k < triangles; ++k) {
    set(2 * k, k, k + 1, k + n + 1);
    set(2 * k + 1, k, k + n + 1, k + n);
  }
}
