#include "bench/bench_files.h"

#include <FreeImage.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

bool write_file(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

void make_folder(const std::string& path) {
  for (size_t at = 1; at <= path.size(); ++at)
    if (at == path.size() || path[at] == '/') mkdir(path.substr(0, at).c_str(), 0755);
}

void write_checker_png(const std::string& path) {
  FIBITMAP* image = FreeImage_Allocate(64, 64, 24);
  for (int y = 0; y < 64; ++y) {
    BYTE* row = FreeImage_GetScanLine(image, y);
    for (int x = 0; x < 64; ++x) {
      bool light = ((x / 8) + (y / 8)) % 2 == 0;
      row[x * 3 + FI_RGBA_BLUE] = light ? 255 : 160;
      row[x * 3 + FI_RGBA_GREEN] = light ? 200 : 90;
      row[x * 3 + FI_RGBA_RED] = light ? 230 : 40;
    }
  }
  FreeImage_Save(FIF_PNG, image, path.c_str(), 0);
  FreeImage_Unload(image);
}

bool read_png(const std::string& path, Picture* picture) {
  FIBITMAP* loaded = FreeImage_Load(FIF_PNG, path.c_str(), 0);
  if (!loaded) return false;
  FIBITMAP* image = FreeImage_ConvertTo24Bits(loaded);
  FreeImage_Unload(loaded);
  if (!image) return false;
  picture->width = static_cast<int>(FreeImage_GetWidth(image));
  picture->height = static_cast<int>(FreeImage_GetHeight(image));
  picture->rgb.clear();
  for (int y = picture->height - 1; y >= 0; --y) {  // FreeImage rows go bottom-up
    const BYTE* row = FreeImage_GetScanLine(image, y);
    for (int x = 0; x < picture->width; ++x)
      picture->rgb.insert(picture->rgb.end(),
                          {row[x * 3 + FI_RGBA_RED], row[x * 3 + FI_RGBA_GREEN], row[x * 3 + FI_RGBA_BLUE]});
  }
  FreeImage_Unload(image);
  return true;
}

bool read_ppm(const std::string& path, Picture* picture) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  int width = 0, height = 0, most = 0;
  bool ok = std::fscanf(file, "P6 %d %d %d", &width, &height, &most) == 3 && width > 0 && height > 0 && most == 255 &&
            std::fgetc(file) != EOF;
  if (ok) {
    picture->width = width;
    picture->height = height;
    picture->rgb.resize(static_cast<size_t>(width) * height * 3);
    ok = std::fread(picture->rgb.data(), 1, picture->rgb.size(), file) == picture->rgb.size();
  }
  std::fclose(file);
  return ok;
}

double differing_share(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return 1.0;
  size_t differ = 0;
  for (size_t i = 0; i + 2 < a.size(); i += 3)
    for (int k = 0; k < 3; ++k)
      if (std::abs(a[i + k] - b[i + k]) > 8) {
        ++differ;
        break;
      }
  return static_cast<double>(differ) / static_cast<double>(a.size() / 3);
}
