// Procedural meshes for the demo and the examples, and their writers: Wavefront
// OBJ text and 3D Studio chunk files in the forms mesh/loader_obj.cpp and
// mesh/loader_3ds.cpp read.
//
// Coordinates are the engine's (y up, the camera looking down -z); triangles
// wind counter-clockwise seen from the side they face, as the engine culls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ToolMesh {
  std::string name;              // part name (at most 7 characters survive loading)
  std::vector<float> positions;  // x, y, z per vertex
  std::vector<float> uvs;        // u, v per vertex
  std::vector<uint16_t> faces;   // three indices per triangle
  std::string texture;           // 3D Studio material map ("checker.png"), may be empty
  float colour[3] = {1, 1, 1};   // 3D Studio material diffuse

  int add_vertex(float x, float y, float z, float u, float v);
  void add_triangle(int a, int b, int c);
};

// A flat square of `size` units in the x-z plane at y = 0, facing up, its
// texture repeated `tiles` times across.
ToolMesh make_plane(float size, int tiles);
// N x N vertices stored row by row (column along +x, row along -z), facing up,
// `spacing` units apart and centred on the origin: the surface that water and
// fluid elements animate.
ToolMesh make_grid(int n, float spacing);
ToolMesh make_sphere(float radius, int slices, int stacks);
ToolMesh make_torus(float major, float minor, int rings, int sides);
// A box with its own texture square on each face.
ToolMesh make_box(float sx, float sy, float sz);
// A closed room seen from inside (faces point inward), floor at y = 0.
ToolMesh make_room(float sx, float sy, float sz);
// A walled court open to the sky and at the front (+z): floor at y = 0, the
// back and side walls facing in, a block and a pillar standing on the floor.
// Each face has the whole texture.
ToolMesh make_court(float sx, float sy, float sz);

bool write_obj(const std::string& path, const ToolMesh& mesh);
// One named object with one material that covers every face.
bool write_3ds(const std::string& path, const ToolMesh& mesh);
