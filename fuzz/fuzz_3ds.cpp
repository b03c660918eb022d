// The 3D Studio reader from memory, then its conversion into an object.
#include "fuzz/fuzz_support.h"
#include "fuzz/mesh_checks.h"
#include "mesh/loader_3ds.h"
#include "mesh/object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<Scene3ds> scene = read3dsBytes(data, size);
  if (!scene) return 0;
  cObject object(fuzz_engine());
  if (convert3ds(&object, *scene)) check_loaded_object(&object);
  return 0;
}
