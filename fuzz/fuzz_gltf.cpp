// The glTF reader from memory, JSON or binary, with the fuzz folder as the
// mesh's folder (holding one buffer file, "b.bin", for inputs that name it).
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "fuzz/mesh_checks.h"
#include "mesh/loader_gltf.h"
#include "mesh/object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool made = [] {
    const uint8_t bytes[48] = {0, 0, 0, 0, 0, 0, 128, 63, 0, 0, 128, 63, 0, 0, 128, 63, 0, 0, 0, 0, 0, 0, 128, 63,
                               0, 0, 0, 0, 0, 0, 128, 63, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 0, 0, 2, 0, 3, 0};
    fuzz_file("b.bin", bytes, sizeof bytes);
    return true;
  }();
  (void)made;
  cObject object(fuzz_engine());
  if (!readGltfBytes(&object, data, size, fuzz_folder())) {
    if (object.partCount != 0 || !object.parts.empty()) std::abort();  // a failed read keeps nothing
    return 0;
  }
  check_loaded_object(&object);
  return 0;
}
