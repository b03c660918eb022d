#include "mesh/byte_reader.h"

std::vector<uint8_t> read_whole_file(FILE* file) {
  std::vector<uint8_t> data;
  uint8_t chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) data.insert(data.end(), chunk, chunk + got);
  if (std::ferror(file)) data.clear();
  return data;
}
