// The 3D Studio reader: a walk over the little-endian chunk tree (main 0x4D4D,
// editor 0x3D3D, named objects 0x4000 with triangle meshes 0x4100, materials
// 0xAFFF) into an intermediate scene, and its conversion into the parts and
// material groups of an object. Bounded by the data: a chunk that runs past its
// parent is cut to it (what came before the damage still loads), one whose
// length is below its header ends the parent's walk, and a file nested too
// deep, or holding too many meshes or materials, is refused.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

struct cObject;

struct Material3ds {
  std::string name;
  std::string texture;  // texture file name as stored; empty: none
  float ambient[3] = {0, 0, 0};  // not read from the file
  float diffuse[3] = {1, 1, 1};
  float specular[3] = {0, 0, 0};
  float opacity = 1.0f;
  bool twoSided = false;
};

struct FaceMaterial3ds {
  std::string name;
  int material = -1;  // index of the first material of that name read before it; -1 none
  std::vector<uint16_t> faces;
};

struct Mesh3ds {
  std::string name;
  std::vector<float> vertices;   // 3 per vertex
  std::vector<uint16_t> faces;   // a, b, c, flags per face
  std::vector<float> mapping;    // 2 per vertex
  std::vector<FaceMaterial3ds> faceMaterials;
};

struct Scene3ds {
  std::vector<Mesh3ds> meshes;
  // Always ends with one record of defaults that the next material chunk fills.
  std::vector<Material3ds> materials;
};

// Reads an open file from its start; null when the first chunk is not 0x4D4D,
// the chunks nest too deep or there are too many meshes or materials.
std::unique_ptr<Scene3ds> read3ds(FILE* file);
std::unique_ptr<Scene3ds> read3dsBytes(const uint8_t* data, size_t size);

// Fills an empty object: one part per mesh, one group per usable face-material
// entry, texture names cut at the first ".", then normals.
bool convert3ds(cObject* object, const Scene3ds& scene);
