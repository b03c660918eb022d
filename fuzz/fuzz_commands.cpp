// Sequences of command slots through the dispatcher (execute_command) in a started
// engine (SDL's offscreen driver, Mesa), each sequence followed by one drawn
// frame and the scene clean-up. The data folder holds a cube ("cube.obj"), an
// image ("tex.png") and the font, so that load, textures and text have
// something to work on.
//
// Input: records of a type byte (taken modulo the list of codes below), the
// name's bytes up to a NUL or 22 bytes (fuzz/run hands libFuzzer a dictionary
// of the command words), then five arguments. An argument is one
// byte: below 200 the value byte - 20 (element numbers, counts), 200..209 one
// of the hostile values, otherwise the four bytes that follow as a float.
#include <FreeImage.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "commands/destroy_scene.h"
#include "commands/dispatch.h"
#include "core/clock.h"
#include "core/engine.h"
#include "core/exit_status.h"
#include "core/launch_options.h"
#include "frame/engine_start.h"
#include "frame/frame.h"
#include "fuzz/fuzz_support.h"
#include "platform/platform.h"
#include "script/script_runner.h"

namespace {

const uint8_t TYPE_CODES[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 50, 51, 52, 53, 99};

const float HOSTILE[] = {std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(),
                         3.0e38f, -3.0e38f, 2147483648.0f, -2147483904.0f, 65536.0f, 1.0e-40f, -0.5f};

struct Input {
  const uint8_t* p;
  const uint8_t* end;
  bool u8(uint8_t* v) {
    if (p >= end) return false;
    *v = *p++;
    return true;
  }
  float arg() {
    uint8_t selector = 0;
    if (!u8(&selector)) return 0.0f;
    if (selector < 200) return static_cast<float>(selector) - 20.0f;
    if (selector < 210) return HOSTILE[selector - 200];
    float value = 0.0f;
    if (end - p >= 4) {
      std::memcpy(&value, p, 4);
      p += 4;
    }
    return value;
  }
};

void write_data_folder() {
  const std::string& folder = fuzz_folder();
  std::string cube =
      "v -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\nv -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\n"
      "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
      "f 1 2 3 4\nf 6 5 8 7\nf 2 6 7 3\nf 5 1 4 8\nf 4 3 7 8\nf 5 6 2 1\n";
  fuzz_file("cube.obj", reinterpret_cast<const uint8_t*>(cube.data()), cube.size());
  FIBITMAP* image = FreeImage_Allocate(8, 8, 24);
  FreeImage_Save(FIF_PNG, image, (folder + "tex.png").c_str(), 0);
  FreeImage_Save(FIF_PNG, image, (folder + "FONT.png").c_str(), 0);
  FreeImage_Unload(image);
  std::string font_metrics = std::string(TALPINE_SOURCE_DIR) + "/demo/Data/FONT.fnt";
  if (FILE* in = std::fopen(font_metrics.c_str(), "rb")) {
    std::vector<uint8_t> bytes(1 << 16);
    size_t n = std::fread(bytes.data(), 1, bytes.size(), in);
    std::fclose(in);
    fuzz_file("FONT.fnt", bytes.data(), n);
  }
}

Engine* started_engine() {
  static Engine* engine = [] {
    silence_messages();
    write_data_folder();
    g_launch = LaunchOptions{};
    g_launch.headless = true;
    g_launch.data_dir = fuzz_folder();
    g_launch.width = 64;
    g_launch.height = 48;
    g_launch.fixed_step_ms = 16;
    if (!start_engine()) std::abort();
    return g_engine;
  }();
  return engine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Engine* engine = started_engine();
  Input in{data, data + size};
  int32_t result = 0;
  for (int count = 0; count < 64; ++count) {
    uint8_t type_byte;
    if (!in.u8(&type_byte)) break;
    char name[23] = {};
    for (int i = 0; i < 22; ++i) {
      uint8_t c;
      if (!in.u8(&c) || c == 0) break;
      name[i] = static_cast<char>(c);
    }
    float args[5];
    for (float& a : args) a = in.arg();
    int type = TYPE_CODES[type_byte % sizeof TYPE_CODES];
    execute_command(engine, type, name, args, &result);
  }
  // One drawn frame with whatever the commands left, then a clean scene.
  engine->pacing.running = 1;
  for (int calls = 0; calls < 4 && run_frame(engine) == 0; ++calls) {
  }
  destroyScene(engine, false);
  engine->pacing.running = 1;
  clear_script_error();
  platform::Event event;
  while (platform::poll_event(&event)) {
  }
  return 0;
}
