#include "resources/screenshot.h"

#include <FreeImage.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>

#include "core/engine.h"
#include "platform/platform.h"

std::string nextScreenshotPath(const Engine* engine) {
  for (int n = 1;; ++n) {
    char path[PATH_SIZE + 32];
    std::snprintf(path, sizeof path, "%sscreen%d.%s", engine->paths.data_path, n, "png");
    FILE* file = platform::open_file(path, "rb");
    if (!file) return path;
    std::fclose(file);
  }
}

int screenshotRowSize(int width) { return (3 * width + 3) / 4 * 4; }

bool readFrontBuffer(int width, int height, std::vector<uint8_t>* bgr) {
  if (width <= 0 || height <= 0) return false;
  const size_t row_size = static_cast<size_t>(screenshotRowSize(width));
  bgr->assign(row_size * height, 0);

  if (platform::is_headless()) {
    // The copy kept at the last swap comes tightly packed, red first.
    std::vector<uint8_t> rgb;
    if (!platform::read_presented_frame(0, 0, width, height, &rgb)) return false;
    for (int y = 0; y < height; ++y) {
      const uint8_t* from = rgb.data() + static_cast<size_t>(y) * width * 3;
      uint8_t* to = bgr->data() + y * row_size;
      for (int x = 0; x < width; ++x) {
        to[x * 3 + 0] = from[x * 3 + 2];
        to[x * 3 + 1] = from[x * 3 + 1];
        to[x * 3 + 2] = from[x * 3 + 0];
      }
    }
    return true;
  }

  // Front buffer, rows padded as GL's default pack alignment of 4 pads them
  glReadBuffer(GL_FRONT);
  glFinish();
  glReadPixels(0, 0, width, height, GL_BGR_EXT, GL_UNSIGNED_BYTE, bgr->data());
  glReadBuffer(GL_BACK);
  return true;
}

bool writeFrontBufferPng(const char* path, int width, int height) {
  std::vector<uint8_t> bgr;
  if (!readFrontBuffer(width, height, &bgr)) return false;
  // Rows stay in GL's bottom-up order, which FreeImage takes as upright.
  FIBITMAP* image = FreeImage_ConvertFromRawBits(bgr.data(), width, height, screenshotRowSize(width), 24,
                                                 FI_RGBA_RED_MASK, FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, FALSE);
  if (!image) return false;
  bool saved = FreeImage_Save(FIF_PNG, image, path, PNG_Z_BEST_COMPRESSION) != 0;
  FreeImage_Unload(image);
  return saved;
}

std::string writeScreenshot(Engine* engine) {
  std::string path = nextScreenshotPath(engine);
  // The viewport's size, which a render pass may have changed from the window's.
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);
  return writeFrontBufferPng(path.c_str(), viewport[2], viewport[3]) ? path : std::string();
}

int saveScreenshot(Engine* engine) {
  writeScreenshot(engine);
  return 1;
}
