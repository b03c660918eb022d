// Inputs the fuzz targets found to break a reader, kept so that the fault stays
// mended. Each runs the reader on the bytes alone, in a buffer of exactly their
// size (the sanitizer build then sees any read past it).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/engine.h"
#include "mesh/loader_obj.h"
#include "mesh/object.h"

namespace {

// The text in a heap block of exactly its length, with no NUL after it.
std::unique_ptr<char[]> exact(const std::string& text) {
  auto block = std::make_unique<char[]>(text.size());
  std::memcpy(block.get(), text.data(), text.size());
  return block;
}

int triangles(const cObject& object) {
  int total = 0;
  for (const MeshPart& part : object.parts)
    for (const MaterialGroup& group : part.groups) total += group.triangleCount;
  return total;
}

TEST(ObjFaults, FaceNumbersStopAtTheLineEnd) {
  auto engine_record = std::make_unique<Engine>();
  Engine& engine = *engine_record;
  // A form feed is not a number: the face of the first line has two corners
  // and is dropped; the 3 on the next line is not one of its corners.
  const std::string stray = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 \f\n3\n";
  cObject object(&engine);
  ASSERT_TRUE(readObjText(&object, stray.data(), stray.size()));
  EXPECT_EQ(triangles(object), 0);

  // The last line of a file without a line end: its numbers end with the data.
  const std::string last = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3";
  auto block = exact(last);
  cObject tail(&engine);
  ASSERT_TRUE(readObjText(&tail, block.get(), last.size()));
  EXPECT_EQ(triangles(tail), 1);
}

}  // namespace
