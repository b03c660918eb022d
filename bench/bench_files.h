// Small helpers the benchmarks share: writing input files, reading pictures
// back (PNG through FreeImage, binary PPM) and comparing them pixel by pixel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

bool write_file(const std::string& path, const std::string& bytes);
void make_folder(const std::string& path);

// A 64 x 64 checker in two colours, as PNG.
void write_checker_png(const std::string& path);

// RGB pixels, top row first.
struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
};
bool read_png(const std::string& path, Picture* picture);
bool read_ppm(const std::string& path, Picture* picture);

// The share of pixels in which some channel differs by more than 8; 1 when
// the sizes differ or either is empty.
double differing_share(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
