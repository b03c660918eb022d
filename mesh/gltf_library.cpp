// tinygltf's implementation, compiled once for the engine with the switches of
// mesh/gltf_library.h. Its writer (used by the asset tool and the tests) names
// std::ofstream even with the default file system switched off.
#include <fstream>

#define TINYGLTF_IMPLEMENTATION
#include "mesh/gltf_library.h"
