// The scene the baking tests share: a lit floor of 16 x 16 units in cells of 4
// (32 triangles, normals up, texture coordinates across the whole floor), a
// lit box hovering over the floor at x = 4, and an unlit white cube at x = -5
// as the lamp, the only thing that shows bright in the sample views. The
// "lambert" weighting image is made here.
#pragma once

#include <FreeImage.h>

#include <cmath>
#include <string>

#include "tests/mesh/mesh_files.h"
#include "tests/support/e2e.h"

inline std::string floor_obj() {
  std::string text;
  for (int z = -8; z <= 8; z += 4)
    for (int x = -8; x <= 8; x += 4) {
      text += "v " + std::to_string(x) + " 0 " + std::to_string(z) + "\n";
      text += "vt " + std::to_string((x + 8) / 16.0) + " " + std::to_string((z + 8) / 16.0) + "\n";
    }
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) {
      int k = row * 5 + column + 1;
      auto corner = [](int i) { return std::to_string(i) + "/" + std::to_string(i); };
      // (x, z), (x, z + 4), (x + 4, z + 4), (x + 4, z): counter-clockwise seen from above
      text += "f " + corner(k) + " " + corner(k + 5) + " " + corner(k + 6) + " " + corner(k + 1) + "\n";
    }
  return text;
}

// Black, more opaque towards the rim: views are weighted towards their centre.
inline bool write_lambert(const DataFolder& data, int size = 32, const std::string& name = "lambert") {
  FIBITMAP* image = FreeImage_Allocate(size, size, 32);
  if (!image) return false;
  for (int y = 0; y < size; ++y) {
    BYTE* row = FreeImage_GetScanLine(image, y);
    for (int x = 0; x < size; ++x) {
      float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
      float r = std::sqrt(dx * dx + dy * dy);
      row[x * 4 + FI_RGBA_RED] = row[x * 4 + FI_RGBA_GREEN] = row[x * 4 + FI_RGBA_BLUE] = 0;
      row[x * 4 + FI_RGBA_ALPHA] = static_cast<BYTE>(r > 1 ? 255 : 200 * r);
    }
  }
  bool saved = FreeImage_Save(FIF_PNG, image, (data.path() + name + ".png").c_str(), 0) != 0;
  FreeImage_Unload(image);
  return saved;
}

inline void write_bake_meshes(const DataFolder& data) {
  data.write("floor.obj", floor_obj());
  data.write("box.obj", cube_obj(1.0f));
  data.write("lamp.obj", cube_obj(1.5f));
}
