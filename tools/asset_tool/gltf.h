// glTF 2.0 output of the asset tool, written with tinygltf: one mesh of one
// primitive in one node, positions, texture coordinates and 16-bit indices in
// one buffer, a material of the mesh's colour and, when it has a texture, its
// colour map.
#pragma once

#include <string>

struct ToolMesh;

// `binary`: a .glb with the buffer in its binary chunk, else a .gltf with the
// buffer embedded as a data URI. `image` (encoded PNG or JPEG bytes) is stored
// inside the file as the colour map; when it is empty and the mesh names a
// texture, the material refers to that file beside the mesh.
bool write_gltf(const std::string& path, const ToolMesh& mesh, const std::string& image, bool binary);
