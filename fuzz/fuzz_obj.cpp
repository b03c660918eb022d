// The Wavefront OBJ reader from text in memory.
#include "fuzz/fuzz_support.h"
#include "fuzz/mesh_checks.h"
#include "mesh/loader_obj.h"
#include "mesh/object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  cObject object(fuzz_engine());
  if (readObjText(&object, reinterpret_cast<const char*>(data), size)) check_loaded_object(&object);
  return 0;
}
