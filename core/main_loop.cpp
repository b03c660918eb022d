#include "core/main_loop.h"

#include "core/engine.h"
#include "core/frame.h"
#include "core/input.h"
#include "core/launch_options.h"
#include "platform/platform.h"
#include "script/script_runner.h"

// The script is done when no thread ever started, or when its thread ended and
// every command it posted has run.
static bool script_done(const Engine* engine) {
  return !engine->script_runner || engine->script_runner->finished();
}

int run_main_loop(Engine* engine) {
  int frames_drawn = 0;
  int frames_after_script = 0;
  while (engine->running) {
    platform::Event event;
    if (platform::poll_event(&event)) {
      if (event.type == platform::EventType::Quit) break;
      window_procedure(event);
      continue;
    }
    // Read before the frame: a frame drawn after the script was already done
    // counts toward --frames, and the commands drained in it have run.
    bool done_before = script_done(engine);
    if (!run_frame(engine)) continue;
    ++frames_drawn;
    if (g_launch.max_frames >= 0 && frames_drawn >= g_launch.max_frames) break;
    if (g_launch.frames >= 0 && done_before && ++frames_after_script >= g_launch.frames) break;
  }
  return frames_drawn;
}
