// The .gfx mesh cache reader, over a file in the fuzz folder. An input that
// reads is written back and read again: the second read must succeed and give
// the same parts.
#include "fuzz/fuzz_support.h"
#include "fuzz/mesh_checks.h"
#include "mesh/object.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = fuzz_file("input.gfx", data, size);
  cObject object(fuzz_engine());
  if (!object.readGfx(path.c_str())) {
    if (object.partCount != 0) std::abort();  // a failed read leaves no mesh behind
    return 0;
  }
  check_loaded_object(&object);

  std::string copy = fuzz_folder() + "copy.gfx";
  if (!object.writeGfx(copy.c_str())) return 0;
  cObject again(fuzz_engine());
  if (!again.readGfx(copy.c_str()) || again.partCount != object.partCount) std::abort();
  return 0;
}
