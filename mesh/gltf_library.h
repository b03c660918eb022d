// The glTF library as this engine builds it: every file that uses tinygltf
// includes it through here, so that all of them see the same switches. The
// implementation is compiled once, in mesh/gltf_library.cpp.
//
// Switched off: tinygltf's own image decoding and encoding (images go through
// the texture table and FreeImage; the loader's image callback only keeps the
// encoded bytes), its reading of image files (the loader binds them by name
// like any material texture) and its default file system (the loader supplies
// callbacks that read only inside the mesh's own folder and never write).
#pragma once

#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#define TINYGLTF_NO_FS

#include <tiny_gltf.h>
