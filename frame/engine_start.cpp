#include "frame/engine_start.h"

#include <string>

#include "core/clock.h"
#include "core/engine.h"
#include "core/launch_options.h"
#include "core/window.h"
#include "platform/platform.h"
#include "resources/font.h"
#include "resources/texture_manager.h"
#include "script/script_runner.h"

bool start_engine() {
  if (g_engine) return false;
  engine_clock_set_fixed_step(g_launch.fixed_step_ms);
  g_engine = new Engine();
  Engine* engine = g_engine;

  find_program_paths(engine, platform::executable_path().c_str());
  if (!g_launch.data_dir.empty()) {
    std::string dir = g_launch.data_dir;
    if (dir.back() != '/') dir += '/';
    set_path(engine->paths.data_path, dir.c_str());
  }

  if (!platform::init_video(g_launch.headless)) return false;
  // Swaps wait for the display, or headless for the platform's 60 Hz stand-in,
  // so that drawing leaves the script thread its processor. Not when asked,
  // and not headless on the fixed-step clock, where no one watches in real time.
  const bool unwatched = g_launch.headless && g_launch.fixed_step_ms > 0.0;
  engine->window.swap_interval = g_launch.vsync && !unwatched ? 1 : 0;
  const WindowState& window = engine->window;
  WindowRect rect{window.window_y, window.window_x, static_cast<short>(g_launch.height),
                  static_cast<short>(g_launch.width)};
  if (!open_window_and_context(rect)) return false;
  clearTextures(engine);
  loadFont(engine);

  engine->scene.script_runner = new ScriptRunner(engine);
  engine->pacing.running = 1;
  return true;
}

void stop_engine() {
  Engine* engine = g_engine;
  if (!engine) return;
  release_engine(engine);
  close_context(engine);
  delete engine;  // its destructor repeats the releases; each is guarded
  g_engine = nullptr;
}
