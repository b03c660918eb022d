#include "resources/screenshot.h"

#include <cstdio>
#include <string>

#include "core/engine.h"
#include "core/presented_frame.h"
#include "platform/platform.h"

// The first n from 1 whose file cannot be opened: numbering continues after the
// highest contiguous number and reuses the first gap.
static std::string next_screenshot_path(const Engine* engine) {
  for (int n = 1;; ++n) {
    std::string path = std::string(engine->data_path) + "screen" + std::to_string(n) + ".png";
    FILE* file = platform::open_file(path, "rb");
    if (!file) return path;
    std::fclose(file);
  }
}

int saveScreenshot(Engine* engine) {
  save_presented_frame(next_screenshot_path(engine).c_str());
  return 1;
}
