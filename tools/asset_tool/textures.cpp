// Procedural images and the FreeImage writer.
#include "tools/asset_tool/textures.h"

#include <FreeImage.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr float PI = 3.14159265358979f;

float clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

// Value noise over a lattice, smoothly interpolated; repeats every `period` cells.
struct Noise {
  std::vector<float> lattice;
  int period;
  Noise(int p, unsigned seed) : lattice(size_t(p) * p), period(p) {
    for (float& v : lattice) {
      seed = seed * 1103515245u + 12345u;
      v = float((seed >> 8) & 0xFFFF) / 65535.0f;
    }
  }
  float at(int x, int y) const {
    x = ((x % period) + period) % period;
    y = ((y % period) + period) % period;
    return lattice[size_t(y) * period + x];
  }
  float sample(float x, float y) const {
    int ix = int(std::floor(x)), iy = int(std::floor(y));
    float fx = x - ix, fy = y - iy;
    fx = fx * fx * (3 - 2 * fx);
    fy = fy * fy * (3 - 2 * fy);
    float top = at(ix, iy) + (at(ix + 1, iy) - at(ix, iy)) * fx;
    float bottom = at(ix, iy + 1) + (at(ix + 1, iy + 1) - at(ix, iy + 1)) * fx;
    return top + (bottom - top) * fy;
  }
  // Sum of octaves, 0..1.
  float turbulence(float x, float y, int octaves) const {
    float sum = 0, scale = 1, total = 0;
    for (int o = 0; o < octaves; ++o) {
      sum += sample(x * scale, y * scale) / scale;
      total += 1 / scale;
      scale *= 2;
    }
    return sum / total;
  }
};

}  // namespace

ToolImage::ToolImage(int w, int h, bool with_alpha)
    : width(w), height(h), alpha(with_alpha), rgba(size_t(w) * h * 4, 255) {}

void ToolImage::set(int x, int y, float r, float g, float b, float a) {
  uint8_t* p = &rgba[(size_t(y) * width + x) * 4];
  p[0] = uint8_t(std::lround(clamp01(r) * 255));
  p[1] = uint8_t(std::lround(clamp01(g) * 255));
  p[2] = uint8_t(std::lround(clamp01(b) * 255));
  p[3] = uint8_t(std::lround(clamp01(a) * 255));
}

ToolImage make_checker(int size, int cells, const float a[3], const float b[3]) {
  ToolImage img(size, size, false);
  int cell = size / cells;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float* c = ((x / cell + y / cell) % 2) ? b : a;
      img.set(x, y, c[0], c[1], c[2]);
    }
  return img;
}

ToolImage make_brick(int size) {
  ToolImage img(size, size, false);
  Noise noise(16, 7);
  int rows = 8, brick_h = size / rows, brick_w = size / 4;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      int row = y / brick_h;
      int shifted = x + (row % 2) * brick_w / 2;
      bool mortar = (y % brick_h) < 2 || (shifted % brick_w) < 2;
      float n = noise.sample(x * 16.0f / size, y * 16.0f / size);
      if (mortar) {
        img.set(x, y, 0.75f, 0.72f, 0.66f);
      } else {
        float shade = 0.8f + 0.2f * n + 0.08f * ((row * 7 + shifted / brick_w * 3) % 5) / 4.0f;
        img.set(x, y, 0.62f * shade, 0.26f * shade, 0.18f * shade);
      }
    }
  return img;
}

ToolImage make_stone(int size, int blocks) {
  ToolImage img(size, size, false);
  Noise noise(16, 11);
  const int block = size / blocks;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const int row = y / block;
      const int shifted = x + (row % 2) * block / 2;  // courses offset by half a block
      const bool joint = (y % block) < 2 || (shifted % block) < 2;
      const float n = noise.turbulence(x * 16.0f / size, y * 16.0f / size, 3);
      if (joint) {
        img.set(x, y, 0.52f, 0.48f, 0.42f);
      } else {
        // Each block a little lighter or darker, grained by the noise.
        const float shade = 0.86f + 0.10f * n + 0.05f * ((row * 5 + shifted / block * 3) % 4) / 3.0f;
        img.set(x, y, 0.93f * shade, 0.86f * shade, 0.72f * shade);
      }
    }
  return img;
}

ToolImage make_marble(int size, unsigned seed) {
  ToolImage img(size, size, false);
  Noise noise(8, seed);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float u = x * 8.0f / size, v = y * 8.0f / size;
      float t = noise.turbulence(u, v, 4);
      // Veins: a sine across the image, bent by the turbulence; it repeats
      // at the image's edges so the texture tiles.
      float s = 0.5f + 0.5f * std::sin(2 * PI * (float(x + y) / size) * 2 + t * 9.0f);
      float vein = std::pow(s, 6.0f);
      float base = 0.82f + 0.12f * t;
      img.set(x, y, base - 0.5f * vein, base - 0.45f * vein, base - 0.35f * vein);
    }
  return img;
}

ToolImage make_gradient(int size, const float top[3], const float bottom[3]) {
  ToolImage img(size, size, false);
  for (int y = 0; y < size; ++y) {
    float t = float(y) / (size - 1);
    for (int x = 0; x < size; ++x)
      img.set(x, y, top[0] + (bottom[0] - top[0]) * t, top[1] + (bottom[1] - top[1]) * t,
              top[2] + (bottom[2] - top[2]) * t);
  }
  return img;
}

ToolImage make_particle(int size) {
  ToolImage img(size, size, true);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
      float r = std::sqrt(dx * dx + dy * dy);
      float a = r >= 1 ? 0 : std::pow(1 - r, 2.0f);
      img.set(x, y, 1, 1, 1, a);
    }
  return img;
}

ToolImage make_flare(int size) {
  ToolImage img(size, size, true);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
      float r = std::sqrt(dx * dx + dy * dy);
      float angle = std::atan2(dy, dx);
      float core = std::exp(-r * r * 30.0f);
      float glow = r >= 1 ? 0 : 0.5f * std::pow(1 - r, 3.0f);
      float rays = r >= 1 ? 0 : 0.35f * std::pow(std::fabs(std::cos(angle * 4)), 40.0f) * (1 - r);
      img.set(x, y, 1, 0.95f, 0.85f, clamp01(core + glow + rays));
    }
  return img;
}

ToolImage make_ring(int size) {
  ToolImage img(size, size, true);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
      float r = std::sqrt(dx * dx + dy * dy);
      float ring = std::exp(-std::pow((r - 0.8f) * 12.0f, 2.0f));
      float fill = r < 0.8f ? 0.15f * r : 0.0f;
      img.set(x, y, 1, 1, 1, clamp01(ring * 0.8f + fill));
    }
  return img;
}

ToolImage make_sky_face(int size, int face) {
  ToolImage img(size, size, false);
  Noise noise(8, 99);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float u = (x + 0.5f) / size * 2 - 1, v = 1 - (y + 0.5f) / size * 2;  // v up
      // Direction on the cube; only its height matters for the colour, the
      // other two axes place the clouds.
      float dx, dy, dz;
      switch (face) {
        case 0: dx = u; dy = 1; dz = v; break;     // top
        case 1: dx = u; dy = -1; dz = -v; break;   // bottom
        case 2: dx = -1; dy = v; dz = u; break;    // left
        case 3: dx = 1; dy = v; dz = -u; break;    // right
        case 4: dx = -u; dy = v; dz = 1; break;    // back
        default: dx = u; dy = v; dz = -1; break;   // front
      }
      float len = std::sqrt(dx * dx + dy * dy + dz * dz);
      float h = dy / len;  // -1 below .. 1 above
      float r, g, b;
      if (h >= 0) {
        float t = std::pow(h, 0.5f);
        r = 0.75f + (0.20f - 0.75f) * t;
        g = 0.82f + (0.40f - 0.82f) * t;
        b = 0.92f + (0.80f - 0.92f) * t;
        float cloud = noise.turbulence(dx / (h + 0.2f) * 2 + 8, dz / (h + 0.2f) * 2 + 8, 4);
        float c = clamp01((cloud - 0.55f) * 4) * clamp01(h * 4);
        r += (1 - r) * c;
        g += (1 - g) * c;
        b += (1 - b) * c;
      } else {
        float t = clamp01(-h * 3);
        r = 0.55f + (0.22f - 0.55f) * t;
        g = 0.58f + (0.28f - 0.58f) * t;
        b = 0.55f + (0.18f - 0.55f) * t;
      }
      img.set(x, y, r, g, b);
    }
  return img;
}

ToolImage make_lambert(int size) {
  ToolImage img(size, size, true);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      float dx = (x + 0.5f) / size * 2 - 1, dy = (y + 0.5f) / size * 2 - 1;
      // The view's half angle is taken as 45 degrees: a pixel at offset r
      // (0..sqrt 2) sees at angle atan(r).
      float angle = std::atan(std::sqrt(dx * dx + dy * dy));
      img.set(x, y, 0, 0, 0, 1 - std::cos(angle));
    }
  return img;
}

// The image as a FreeImage bitmap: 32 bits when it has alpha (and may keep
// it), else 24; FreeImage's rows start at the bottom.
static FIBITMAP* to_bitmap(const ToolImage& image, bool keep_alpha) {
  int bpp = image.alpha && keep_alpha ? 32 : 24;
  FIBITMAP* bitmap = FreeImage_Allocate(image.width, image.height, bpp);
  if (!bitmap) return nullptr;
  for (int y = 0; y < image.height; ++y) {
    BYTE* row = FreeImage_GetScanLine(bitmap, image.height - 1 - y);
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = &image.rgba[(size_t(y) * image.width + x) * 4];
      BYTE* q = row + x * (bpp / 8);
      q[FI_RGBA_RED] = p[0];
      q[FI_RGBA_GREEN] = p[1];
      q[FI_RGBA_BLUE] = p[2];
      if (bpp == 32) q[FI_RGBA_ALPHA] = p[3];
    }
  }
  return bitmap;
}

static bool is_jpeg_name(const std::string& name) {
  return name.size() > 4 && (name.ends_with(".jpg") || name.ends_with(".jpeg"));
}

bool write_image(const std::string& path, const ToolImage& image) {
  bool jpeg = is_jpeg_name(path);
  FIBITMAP* bitmap = to_bitmap(image, !jpeg);
  if (!bitmap) return false;
  bool ok = jpeg ? FreeImage_Save(FIF_JPEG, bitmap, path.c_str(), JPEG_QUALITYGOOD)
                 : FreeImage_Save(FIF_PNG, bitmap, path.c_str(), PNG_Z_BEST_COMPRESSION);
  FreeImage_Unload(bitmap);
  return ok;
}

std::string encode_image(const std::string& name, const ToolImage& image) {
  bool jpeg = is_jpeg_name(name);
  FIBITMAP* bitmap = to_bitmap(image, !jpeg);
  if (!bitmap) return {};
  FIMEMORY* memory = FreeImage_OpenMemory();
  std::string bytes;
  bool ok = jpeg ? FreeImage_SaveToMemory(FIF_JPEG, bitmap, memory, JPEG_QUALITYGOOD)
                 : FreeImage_SaveToMemory(FIF_PNG, bitmap, memory, PNG_Z_BEST_COMPRESSION);
  BYTE* data = nullptr;
  DWORD size = 0;
  if (ok && FreeImage_AcquireMemory(memory, &data, &size)) bytes.assign(reinterpret_cast<const char*>(data), size);
  FreeImage_CloseMemory(memory);
  FreeImage_Unload(bitmap);
  return bytes;
}
