#include "core/presented_frame.h"

#include <FreeImage.h>

#include <vector>

#include "core/engine.h"
#include "platform/platform.h"

bool save_presented_frame(const char* path) {
  Engine* engine = g_engine;
  int width = 0, height = 0;
  if (platform::is_headless()) {
    platform::presented_frame_size(&width, &height);
  } else if (engine && engine->hwnd) {
    platform::client_size(engine->hwnd, &width, &height);
  }
  std::vector<uint8_t> rgb;
  if (!platform::read_presented_frame(0, 0, width, height, &rgb)) return false;

  // FreeImage wants BGR, rows bottom-up (as GL gives them).
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) std::swap(rgb[i], rgb[i + 2]);
  FIBITMAP* image = FreeImage_ConvertFromRawBits(rgb.data(), width, height, width * 3, 24, FI_RGBA_RED_MASK,
                                                 FI_RGBA_GREEN_MASK, FI_RGBA_BLUE_MASK, FALSE);
  if (!image) return false;
  bool saved = FreeImage_Save(FIF_PNG, image, path, PNG_DEFAULT) != 0;
  FreeImage_Unload(image);
  return saved;
}
