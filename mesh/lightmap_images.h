// The baked lightmap images of a mesh, by name: the lightmap baker writes one
// PNG a material beside the mesh and rewrites its .gfx cache with the lightmap
// coordinates; loading that cache loads the images back, so that the baked
// light shows again in a later run. Render thread only.
#pragma once

#include <string>

struct cObject;

// The image name of part p, material m of an object: "%s_%d%d_lite", with an
// underscore between the numbers when either has two digits or more (part 1
// material 11 and part 11 material 1 would otherwise share a file).
std::string lightmapName(const char* object_name, int part, int material);

// Every material of the object that has lightmap coordinates gets the image
// lightmapName(object name, part, material) from the data folder as its
// lightmap texture (clamped to its edges); where there is no such image the
// material keeps the texture it had. Returns how many were loaded.
int loadLightmapImages(cObject* object);
