// What the script thread is doing, published for the render thread. In
// lock-step (fixed-step) mode the render thread waits before each frame until
// the script is idle — sleeping until a later engine time, waiting for a verb's
// result or a free ring slot, in a message box, or ended — so the same script
// gives the same frames on every run. The script thread writes it; the render
// thread only reads it (script_idle).
#pragma once

#include <atomic>
#include <cstdint>

struct CommandSlot;

// Statements a script may evaluate without waiting before it counts as idle
// for one frame (a count, not a time, so that runs stay reproducible).
constexpr uint32_t LOCK_STEP_STATEMENT_BUDGET = 100000;

enum class ScriptWait : int {
  Running,
  Sleeping,          // until wake_time (engine milliseconds)
  WaitingForSlot,    // slot is pending; the ring is full
  WaitingForResult,  // slot holds the verb waited on
  MessageBox,        // a box blocks the script thread
  Budget,            // used up its statement budget during frame budget_frame
  Ended,
};

struct ScriptActivity {
  std::atomic<int> wait{static_cast<int>(ScriptWait::Running)};
  std::atomic<uint32_t> wake_time{0};
  std::atomic<const CommandSlot*> slot{nullptr};
  std::atomic<uint64_t> budget_frame{0};
  // Lock-step: 1 + the frame number (engine_clock_frames) of the last drain,
  // 0 before any. Written by the render thread before the drain frees a slot.
  std::atomic<uint64_t> drain_frame{0};
  uint32_t statements = 0;  // since the last wait; script thread only
};

// The activity of the calling script thread; null on other threads (then every
// call below does nothing).
ScriptActivity* current_script_activity();
void set_current_script_activity(ScriptActivity* activity);

// Script thread: a wait begins or ends.
void begin_script_wait(ScriptWait kind, const CommandSlot* slot = nullptr, uint32_t wake_time = 0);
void end_script_wait();

// Script thread: the budget of activity (the thread's own) is used up; in
// lock-step mode waits for the next frame before going on.
void wait_out_statement_budget(ScriptActivity* activity, const std::atomic<bool>* stop);

// Script thread: one statement evaluated. In lock-step mode, once the budget is
// used up, waits for the next frame before going on. activity is
// current_script_activity(), looked up once by the caller (inline and without
// the lookup because the interpreter counts every statement); null counts nothing.
inline void count_script_statement(ScriptActivity* activity, const std::atomic<bool>* stop) {
  if (activity && ++activity->statements >= LOCK_STEP_STATEMENT_BUDGET) wait_out_statement_budget(activity, stop);
}

// Render thread, before it drains the ring: the frame now running is the one
// whose drain may end the script's wait for a slot or a result.
void note_drain(ScriptActivity& activity);

// Script thread, when a drain has ended its wait for a slot or a result: in
// lock-step mode, waits until that frame has been drawn and the clock has
// moved on. The frame goes on after its drain (updates, drawing, the clock's
// step), and a script resuming at once would read `time` before or after the
// step by chance; so it always resumes after it, between frames, like a script
// waking from `sleep`.
void wait_for_draining_frame(ScriptActivity* activity, const std::atomic<bool>& stop);

// Render thread: whether the script waits on something the render thread (or
// the person) must do first.
bool script_idle(const ScriptActivity& activity);

// How long the script thread sleeps between looks at what it waits for: the
// ring's 10 ms, or 1 ms in lock-step mode, where every wait holds a frame back.
int script_poll_ms();
