#include "mesh/byte_reader.h"

#include <sys/stat.h>


std::vector<uint8_t> read_whole_file(FILE* file) {
  // A regular file is read in one go into a buffer of its size: growing the
  // buffer chunk by chunk copied the data about twice over and made the time
  // depend on where the allocator found each larger block. Whatever the size
  // said, reading goes on to the real end.
  std::vector<uint8_t> data;
  struct stat info;
  long at = std::ftell(file);
  if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && at >= 0 && info.st_size > at)
    data.resize(static_cast<size_t>(info.st_size - at));
  size_t size = 0;
  for (;;) {
    if (size < data.size()) {
      size_t got = std::fread(data.data() + size, 1, data.size() - size, file);
      if (got == 0) break;
      size += got;
      continue;
    }
    uint8_t chunk[65536];
    size_t got = std::fread(chunk, 1, sizeof chunk, file);
    if (got == 0) break;
    data.insert(data.end(), chunk, chunk + got);
    size += got;
  }
  data.resize(std::ferror(file) ? 0 : size);
  return data;
}
