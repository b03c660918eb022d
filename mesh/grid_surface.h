// What the water and fluid surfaces share: a mesh part used as a square grid of
// N x N vertices stored row by row (vertex k is column k mod N, row k / N),
// height along y. Render thread only.
#pragma once

#include <cstdint>

struct Engine;
struct MeshPart;

// Edge of the grid a part of `vertex_count` vertices holds: floor(sqrt(count)),
// the root taken in double precision.
int gridEdge(int32_t vertex_count);

// Part `part` of object `object`, when both exist and the part still has the
// `vertex_count` vertices (with full position and normal arrays) that the
// element sized its own arrays for; null otherwise (deleted object, another
// mesh loaded into the slot, a part number outside the object).
MeshPart* gridPart(Engine* engine, int32_t object, int32_t part, int32_t vertex_count);
// The same without the vertex-count check (attaching, "sortfaces").
MeshPart* findPart(Engine* engine, int32_t object, int32_t part);

// Vertex normals of the N x N grid from the neighbours' positions:
// (R - L) x (D - U), normalised unless zero; a border vertex stands in for its
// missing neighbour.
void gridNormals(MeshPart& part, int n);

// "sortfaces": the first group's triangles 2k and 2k + 1 become (k, k + 1,
// k + N + 1) and (k, k + N + 1, k + N) while 2k < triangleCount; k runs on
// across row ends. Only `indices` changes (drawIndices and the element buffer
// stay as they are). Triangles that would name a vertex beyond the part keep
// their indices.
void sortGridFaces(MeshPart& part, int n);
