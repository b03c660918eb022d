// Where a frame's time goes. The frame loop times its parts into one record:
// the script drain, the updates, render targets, the scene pass, shadows and
// CSG, the transparent pass, the post passes and the swap. Once a second the
// record makes a report (frames per second and milliseconds a frame per part)
// that --stats prints on standard error and the overlay key shows in the
// window; at the end --stats prints a summary of the whole run.
//
// GL draws asynchronously: left alone, a stage's drawing would be counted in
// whatever stage next waits for the GL (mostly the swap), or in a later frame.
// So the first frame of each second starts with the GL idle and finishes the
// GL work at the end of each part, and the parts come from those frames only
// (the summary's frame times leave them out). A frame's time is the time from its start to the next frame's start, what a
// viewer sees (the GL's waits included); the run's last frame ends when the GL
// has finished it. Times are real (steady clock) milliseconds, also on the
// fixed-step clock.
//
// Nothing is timed until --stats or the overlay asks for it. Render thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/element_class.h"

struct Engine;

// The key that shows and hides the figures in the window (F3): none of the
// engine's own keys, and ignored while a script has bound a camera key to it.
constexpr int STATS_OVERLAY_KEY = 114;

enum FramePart {
  PART_DRAIN,         // the script's commands (and, in lock-step, the wait for the script)
  PART_UPDATES,       // animators, water, fluid, flip-books, deformers, buffer refreshes
  PART_TARGETS,       // render-to-texture scene renders
  PART_SCENE,         // the clear, lights, sky, opaque and blended objects
  PART_SHADOWS_CSG,   // stencil shadow volumes and CSG
  PART_TRANSPARENT,   // flares and particles
  PART_POST,          // glow, bloom and blur, the fade, debug displays, the overlay
  PART_SWAP,          // the swap, with the wait for the display
  FRAME_PARTS
};

// "script drain", "updates", ...: the names the reports use.
const char* frame_part_name(int part);

// One second's figures (or a whole run's).
struct StatsReport {
  int frames = 0;              // frames drawn
  double seconds = 0;          // the time they span
  double fps = 0;              // frames / seconds
  double frame_ms = 0;         // mean time from one frame's start to the next
  double part_ms[FRAME_PARTS] = {};  // mean over the sampled frames
  int sampled = 0;             // frames the parts come from
};

// "7.8 fps, 128.2 ms a frame: script drain 0.0, updates 0.1, ... ms"
std::string format_report(const StatsReport& report);

class FrameStats {
 public:
  void set_printing(bool on) { printing_ = on; }
  bool printing() const { return printing_; }
  void toggle_overlay() { overlay_ = !overlay_; }
  bool overlay() const { return overlay_; }
  bool timing() const { return printing_ || overlay_; }

  // The start and end of one run_frame call; `script_done`: the script had
  // ended and its commands had run before this frame.
  void begin_frame(bool script_done);
  void end_frame(bool drawn);

  // A part starts or ends. Nested parts (the scene drawn again by a render
  // target) count in the outermost one.
  void enter(FramePart part);
  void leave(FramePart part);

  // The end of the run: waits for the GL to finish the last frames, so that
  // the summary counts them whole.
  void finish_run();

  // The last full second's report (frames 0 before the first).
  const StatsReport& last_second() const { return second_; }
  // The summary --stats prints at the end: every frame, and the frames after
  // the script ended. Empty before the first drawn frame.
  std::string summary() const;
  // Back to nothing recorded (switches stay).
  void reset();

  // One drawn frame, for the summary.
  struct Frame {
    double start_s;   // since the first frame's start
    float call_ms;    // the run_frame call
    float drain_ms;   // of it, the script's commands
    bool script_done;
    bool sampled;
    float part_ms[FRAME_PARTS];
  };
  const std::vector<Frame>& frames() const { return frames_; }
  // Frame i's time: to the next frame's start, or for the last one to the end
  // of the run (its own call before finish_run).
  double frame_ms(size_t i) const;

 private:
  double now_s() const;
  void finish_gl() const;
  void close_second(double now);

  bool printing_ = false, overlay_ = false;
  bool started_ = false;
  double origin_ = 0;          // steady-clock seconds of the first frame's start
  double frame_start_ = 0;     // seconds since origin
  bool script_done_ = false;
  bool sampled_ = false;       // this frame finishes the GL at part boundaries
  double next_sample_ = 0;
  int depth_ = 0;
  double part_start_ = 0;
  float part_ms_[FRAME_PARTS] = {};

  // The current second
  double second_start_ = 0;
  int second_frames_ = 0, second_sampled_ = 0;
  double second_part_ms_[FRAME_PARTS] = {};
  double run_end_ = -1;        // seconds since origin, once finish_run ran
  StatsReport second_;

  std::vector<Frame> frames_;  // kept while printing
};

FrameStats& frame_stats();

// Times one part for its scope.
class PartTimer {
 public:
  explicit PartTimer(FramePart part) : part_(part) { frame_stats().enter(part_); }
  ~PartTimer() { frame_stats().leave(part_); }
  PartTimer(const PartTimer&) = delete;
  PartTimer& operator=(const PartTimer&) = delete;

 private:
  FramePart part_;
};

// Runs a frame stage's hooks in the registry's order, as
// ClassRegistry::run_stage does, timing each class in its part: `part`, but
// shadows and CSG in theirs, render targets in theirs, and the glow and bloom
// pre-passes among the post passes.
void run_timed_stage(const ClassRegistry& classes, FrameStage stage, Engine* engine, FramePart part);

// The last second's figures drawn over the top-left of the window with the
// engine's font (nothing without one). Leaves the matrices as it found them.
void draw_stats_overlay(Engine* engine);
