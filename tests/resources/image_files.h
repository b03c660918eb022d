// Writes small images for the texture tests with FreeImage: a solid colour of a
// chosen size and depth, saved as PNG or JPEG under a given path.
#pragma once

#include <FreeImage.h>

#include <cstdint>
#include <string>

// Solid colour r, g, b (and alpha a for 32 bits) of bpp 8, 24 or 32; 16 makes a
// 16-bit grey image of value r * 257. Returns whether the file was written.
inline bool write_image(const std::string& path, int width, int height, int bpp, uint8_t r, uint8_t g,
                        uint8_t b, uint8_t a = 255, FREE_IMAGE_FORMAT format = FIF_PNG) {
  FIBITMAP* image = nullptr;
  if (bpp == 16) {
    image = FreeImage_AllocateT(FIT_UINT16, width, height, 16);
    if (!image) return false;
    for (int y = 0; y < height; ++y) {
      auto* row = reinterpret_cast<uint16_t*>(FreeImage_GetScanLine(image, y));
      for (int x = 0; x < width; ++x) row[x] = static_cast<uint16_t>(r * 257);
    }
  } else {
    image = FreeImage_Allocate(width, height, bpp);
    if (!image) return false;
    if (bpp == 8) {
      RGBQUAD* palette = FreeImage_GetPalette(image);
      for (int i = 0; i < 256; ++i) {
        palette[i].rgbRed = palette[i].rgbGreen = palette[i].rgbBlue = static_cast<BYTE>(i);
      }
    }
    int bytes = bpp / 8;
    for (int y = 0; y < height; ++y) {
      BYTE* row = FreeImage_GetScanLine(image, y);
      for (int x = 0; x < width; ++x) {
        BYTE* p = row + x * bytes;
        if (bytes == 1) {
          p[0] = r;
          continue;
        }
        p[FI_RGBA_RED] = r;
        p[FI_RGBA_GREEN] = g;
        p[FI_RGBA_BLUE] = b;
        if (bytes == 4) p[FI_RGBA_ALPHA] = a;
      }
    }
  }
  bool saved = FreeImage_Save(format, image, path.c_str(), 0);
  FreeImage_Unload(image);
  return saved;
}
