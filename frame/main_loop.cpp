#include "frame/main_loop.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "commands/destroy_scene.h"
#include "core/clock.h"
#include "core/engine.h"
#include "core/exit_status.h"
#include "core/launch_options.h"
#include "frame/frame.h"
#include "frame/frame_stats.h"
#include "frame/input.h"
#include "frame/unseen_frames.h"
#include "media/music.h"
#include "media/recorder.h"
#include "media/video_encoder.h"
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

// A recorder for --record, or null (also when it cannot start: said on
// standard error, and the run ends as a failure).
std::unique_ptr<Recorder> start_recorder(const Engine* engine, bool* failed) {
  *failed = false;
  if (g_launch.record.empty()) return nullptr;
  RecordSettings settings;
  settings.target = g_launch.record;
  settings.fps = g_launch.record_fps;
  settings.crf = g_launch.crf;
  settings.width = engine->view.width;
  settings.height = engine->view.height;
  settings.expected_frames = g_launch.max_frames;
  // The music is laid under the pictures by engine time, which must then run
  // at the video's own rate.
  settings.sound = std::fabs(g_launch.fixed_step_ms * g_launch.record_fps - 1000.0) < 1e-6;
  if (!settings.sound && is_video_file(settings.target))
    std::fprintf(stderr, "talpine: the fixed step is not 1000 / --fps: the video's sound stays silent\n");
  std::string error;
  std::unique_ptr<Recorder> recorder = Recorder::start(settings, &error);
  if (!recorder) {
    std::fprintf(stderr, "talpine: %s\n", error.c_str());
    *failed = true;
  }
  return recorder;
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
  music().unload_all();  // the old script's tracks go with it
  delete engine->scene.script_runner;
  engine->scene.script_runner = nullptr;
  clear_script_error();
  platform::set_window_title("Test");
  engine->scene.script_runner = new ScriptRunner(engine);
}

// --start-at: the frames before the start run unseen (frame/unseen_frames.h).
class StartAt {
 public:
  StartAt() : start_ms_(static_cast<uint32_t>(std::llround(g_launch.start_at_ms))) {
    if (start_ms_ == 0) return;
    set_unseen_frames(true);
    platform::set_presenting(false);
    std::fprintf(stderr, "talpine: running unseen up to %.3f s\n", start_ms_ / 1000.0);
  }
  ~StartAt() { reach(); }

  // Before each frame: once the clock has come to the start, frames are seen.
  void look(uint32_t engine_ms) {
    if (unseen_frames() && engine_ms >= start_ms_) reach();
  }
  void count_unseen() { ++unseen_; }

 private:
  void reach() {
    if (!unseen_frames()) return;
    set_unseen_frames(false);
    platform::set_presenting(true);
    std::fprintf(stderr, "talpine: at %.3f s after %d unseen frames\n", engine_clock_since_start() / 1000.0, unseen_);
  }
  uint32_t start_ms_;
  int unseen_ = 0;
};

}  // namespace

int run_main_loop(Engine* engine) {
  int frames_drawn = 0;
  int frames_after_script = 0;
  bool recorder_failed = false;
  std::unique_ptr<Recorder> recorder = start_recorder(engine, &recorder_failed);
  if (recorder_failed) {
    note_script_error();  // the exit status reports the failed run
    return 0;
  }
  StartAt start_at;
  ScriptWatch watch(engine);
  set_errors_keep_running(g_launch.watch);
  FrameStats& stats = frame_stats();
  stats.reset();
  stats.set_printing(g_launch.stats);

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
    start_at.look(engine_clock_since_start());
    int drawn = run_frame(engine);
    end_unseen_drawing();
    if (!drawn) continue;
    if (unseen_frames()) {
      start_at.count_unseen();
      continue;
    }
    ++frames_drawn;
    if (recorder) {
      recorder->report_progress();
      if (recorder->failed()) break;
    }
    // After `exit`, the frame that shows the last commands is the last one;
    // then the normal shut-down.
    if (script_exited(engine)) break;
    if (g_launch.max_frames >= 0 && frames_drawn >= g_launch.max_frames) break;
    if (g_launch.frames >= 0 && done_before && ++frames_after_script >= g_launch.frames) break;
  }
  set_errors_keep_running(false);
  if (stats.printing()) {
    stats.finish_run();
    std::fputs(stats.summary().c_str(), stderr);
  }
  if (recorder && !recorder->finish()) note_script_error();  // the exit status reports the lost frames
  return frames_drawn;
}
