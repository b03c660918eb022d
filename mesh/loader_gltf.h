// The glTF 2.0 reader: a .gltf file (JSON with its buffers embedded as data
// URIs or in files beside it) or one .glb, parsed by tinygltf. Every triangle
// primitive of every mesh in the default scene (else the first) becomes part
// of the object, placed by its node's transform through the hierarchy:
// positions, normals (computed when the file has none), the first texture
// coordinate set, and one material group per material. Everything the file
// claims is checked against the data before use; what is unsound is dropped
// and the rest kept. Render thread (materials load textures).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct cObject;

// Fills an empty object from the file at `path`, .gltf or .glb (told apart by
// the content). False, with the object left empty, when the file is missing,
// does not parse, needs an extension this reader lacks, or yields no triangle.
bool readGltf(cObject* object, const char* path);

// The same from bytes in memory. External buffers and images are read only
// from inside `folder` (a path ending in '/', or empty for the working folder).
bool readGltfBytes(cObject* object, const uint8_t* data, size_t size, const std::string& folder);
