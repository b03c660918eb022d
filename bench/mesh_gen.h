// Meshes the benchmarks read: a textured sphere as OBJ text for the frame
// scenes, and a large grid mesh written as OBJ, 3D Studio and glTF binary file
// for the loader comparisons. Every generated surface is a set of patches, each a grid
// of rows x columns quads (two triangles a quad) with its own vertices, so one
// patch always fits a part of 16-bit indices.
#pragma once

#include <string>

// UV sphere of radius 1: stacks x slices quads, 2 * stacks * slices triangles.
std::string sphere_obj(int stacks, int slices);

struct GridMesh {
  int patches = 16;
  int rows = 125;     // quads per patch, down
  int columns = 250;  // quads per patch, across
  long triangles() const { return 2L * patches * rows * columns; }
};

bool write_grid_obj(const GridMesh& mesh, const std::string& path);
// The same grid as one glTF binary file, the way an exporter writes one large
// mesh: one primitive, positions and texture coordinates, 32-bit indices.
bool write_grid_glb(const GridMesh& mesh, const std::string& path);
bool write_grid_3ds(const GridMesh& mesh, const std::string& path);
