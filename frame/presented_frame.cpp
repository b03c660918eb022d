#include "frame/presented_frame.h"

#include "core/engine.h"
#include "platform/platform.h"
#include "resources/screenshot.h"

bool save_presented_frame(const char* path) {
  Engine* engine = g_engine;
  int width = 0, height = 0;
  if (platform::is_headless()) {
    platform::presented_frame_size(&width, &height);
  } else if (engine && engine->window.hwnd) {
    platform::client_size(engine->window.hwnd, &width, &height);
  }
  return writeFrontBufferPng(path, width, height);
}
