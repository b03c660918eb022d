#include "frame/main_loop.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "commands/destroy_scene.h"
#include "core/clock.h"
#include "core/engine.h"
#include "core/exit_status.h"
#include "core/launch_options.h"
#include "frame/frame.h"
#include "frame/input.h"
#include "frame/presented_frame.h"
#include "platform/platform.h"
#include "script/messages.h"
#include "script/script_runner.h"

namespace {

// The script is done when no thread ever started, or when its thread ended and
// every command it posted has run.
bool script_done(const Engine* engine) { return !engine->scene.script_runner || engine->scene.script_runner->finished(); }

// The script met `exit` and every command it posted before has run.
bool script_exited(const Engine* engine) {
  const ScriptRunner* runner = engine->scene.script_runner;
  return runner && runner->exited() && runner->finished();
}

// ---- recording ----

bool make_folder(const std::string& path) {
  for (size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && path[at] != '/') continue;
    std::string prefix = path.substr(0, at);
    if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// Writes the frame just presented as DIR/frameNNNNNN.png, numbered from 1.
bool record_frame(int number, uint32_t engine_time) {
  char name[32];
  std::snprintf(name, sizeof name, "frame%06d.png", number);
  std::string path = g_launch.record_dir + "/" + name;
  if (!save_presented_frame(path.c_str())) {
    std::fprintf(stderr, "talpine: could not write %s\n", path.c_str());
    return false;
  }
  std::fprintf(stderr, "talpine: recorded frame %d at engine time %u ms\n", number, engine_time);
  return true;
}

// ---- watching the script ----

struct FileStamp {
  bool exists = false;
  long long seconds = 0, nanoseconds = 0, size = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp stamp_of(const std::string& path) {
  FileStamp stamp;
  struct stat info;
  if (stat(platform::resolve_file(path).c_str(), &info) == 0) {
    stamp.exists = true;
    stamp.seconds = info.st_mtim.tv_sec;
    stamp.nanoseconds = info.st_mtim.tv_nsec;
    stamp.size = info.st_size;
  }
  return stamp;
}

// Milliseconds between looks at script.txt: cheap, and quick enough for a person.
constexpr uint32_t WATCH_INTERVAL_MS = 200;

class ScriptWatch {
 public:
  explicit ScriptWatch(const Engine* engine)
      : path_(std::string(engine->paths.data_path) + "script.txt"), stamp_(stamp_of(path_)), next_look_(platform::ticks_ms()) {}

  // True once the file has changed since the last look (and is there).
  bool changed() {
    uint32_t now = platform::ticks_ms();
    if (static_cast<int32_t>(now - next_look_) < 0) return false;
    next_look_ = now + WATCH_INTERVAL_MS;
    FileStamp stamp = stamp_of(path_);
    if (stamp == stamp_) return false;
    stamp_ = stamp;
    return stamp.exists;
  }

 private:
  std::string path_;
  FileStamp stamp_;
  uint32_t next_look_;
};

// Replaces the running script with the file's new text without closing the
// window: the scene is cleared, the old script thread told to stop (it never
// touches the ring again), and the new text parsed and started.
void reload_script(Engine* engine) {
  destroyScene(engine, /*at_shutdown=*/false);
  delete engine->scene.script_runner;
  engine->scene.script_runner = nullptr;
  clear_script_error();
  platform::set_window_title("Test");
  engine->scene.script_runner = new ScriptRunner(engine);
}

}  // namespace

int run_main_loop(Engine* engine) {
  int frames_drawn = 0;
  int frames_after_script = 0;
  bool recording = !g_launch.record_dir.empty();
  if (recording && !make_folder(g_launch.record_dir)) {
    std::fprintf(stderr, "talpine: cannot make the folder %s\n", g_launch.record_dir.c_str());
    recording = false;
  }
  ScriptWatch watch(engine);
  set_errors_keep_running(g_launch.watch);

  while (engine->pacing.running) {
    platform::Event event;
    if (platform::poll_event(&event)) {
      if (event.type == platform::EventType::Quit) break;
      window_procedure(event);
      continue;
    }
    if (g_launch.watch && watch.changed()) {
      reload_script(engine);
      frames_after_script = 0;
    }
    // Read before the frame: a frame drawn after the script was already done
    // counts toward --frames, and the commands drained in it have run. In
    // lock-step the script first runs up to its next wait, so the count is
    // the same on every run.
    if (engine_clock_fixed() && engine->scene.script_runner && engine->scene.script_runner->running)
      wait_for_idle_script(engine->scene.script_runner);
    bool done_before = script_done(engine);
    uint32_t frame_time = engine_clock_since_start();
    if (!run_frame(engine)) continue;
    ++frames_drawn;
    if (recording) record_frame(frames_drawn, frame_time);
    // After `exit`, the frame that shows the last commands is the last one;
    // then the normal shut-down.
    if (script_exited(engine)) break;
    if (g_launch.max_frames >= 0 && frames_drawn >= g_launch.max_frames) break;
    if (g_launch.frames >= 0 && done_before && ++frames_after_script >= g_launch.frames) break;
  }
  set_errors_keep_running(false);
  return frames_drawn;
}
