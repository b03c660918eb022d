// Procedural images for the demo and the examples, written through FreeImage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ToolImage {
  int width = 0, height = 0;
  bool alpha = false;         // written as 32 bits when set, else 24
  std::vector<uint8_t> rgba;  // four bytes per pixel, top row first

  ToolImage(int w, int h, bool with_alpha);
  void set(int x, int y, float r, float g, float b, float a = 1.0f);
};

ToolImage make_checker(int size, int cells, const float a[3], const float b[3]);
ToolImage make_brick(int size);
// Light sandstone blocks, `blocks` courses a side, each course offset by half a
// block, with darker joints.
ToolImage make_stone(int size, int blocks);
ToolImage make_marble(int size, unsigned seed);
// Top to bottom from `top` to `bottom`.
ToolImage make_gradient(int size, const float top[3], const float bottom[3]);
// A soft round spot, white, its coverage in alpha.
ToolImage make_particle(int size);
// A bright core with rays, white, its coverage in alpha.
ToolImage make_flare(int size);
// A ring (for the flare's lens elements), its coverage in alpha.
ToolImage make_ring(int size);
// Face `face` (0 top, 1 bottom, 2 left, 3 right, 4 back, 5 front) of a sky:
// blue above, hazy at the horizon, dark ground below, a few clouds.
ToolImage make_sky_face(int size, int face);
// Black with an alpha that grows from the centre outward as 1 - cos: the
// weighting image of the lightmap baker.
ToolImage make_lambert(int size);

// PNG or JPEG by the file name's extension; false when FreeImage fails.
bool write_image(const std::string& path, const ToolImage& image);
// The bytes write_image would write for a file of that name; empty on failure.
std::string encode_image(const std::string& name, const ToolImage& image);
