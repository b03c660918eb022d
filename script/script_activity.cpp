#include "script/script_activity.h"

#include "core/clock.h"
#include "platform/platform.h"
#include "script/command_ring.h"

static thread_local ScriptActivity* this_thread_activity = nullptr;

ScriptActivity* current_script_activity() { return this_thread_activity; }
void set_current_script_activity(ScriptActivity* activity) { this_thread_activity = activity; }

void begin_script_wait(ScriptWait kind, const CommandSlot* slot, uint32_t wake_time) {
  ScriptActivity* activity = this_thread_activity;
  if (!activity) return;
  activity->statements = 0;
  activity->slot.store(slot, std::memory_order_relaxed);
  activity->wake_time.store(wake_time, std::memory_order_relaxed);
  // Published last, so the render thread sees the wait's details with it.
  activity->wait.store(static_cast<int>(kind), std::memory_order_release);
}

void end_script_wait() {
  ScriptActivity* activity = this_thread_activity;
  if (activity) activity->wait.store(static_cast<int>(ScriptWait::Running), std::memory_order_release);
}

void wait_out_statement_budget(ScriptActivity* activity, const std::atomic<bool>* stop) {
  activity->statements = 0;
  if (!engine_clock_fixed()) return;
  uint64_t frame = engine_clock_frames();
  activity->budget_frame.store(frame, std::memory_order_relaxed);
  begin_script_wait(ScriptWait::Budget);
  while (engine_clock_frames() == frame && !(stop && stop->load(std::memory_order_relaxed)))
    platform::sleep_us(100);
  end_script_wait();
}

void note_drain(ScriptActivity& activity) {
  activity.drain_frame.store(engine_clock_frames() + 1, std::memory_order_relaxed);
}

// Whether the frame that drained last is still running (it has not stepped the clock).
static bool draining_frame_running(const ScriptActivity& activity) {
  return engine_clock_frames() + 1 == activity.drain_frame.load(std::memory_order_relaxed);
}

void wait_for_draining_frame(ScriptActivity* activity, const std::atomic<bool>& stop) {
  if (!activity || !engine_clock_fixed()) return;
  while (draining_frame_running(*activity) && !stop.load(std::memory_order_relaxed)) platform::sleep_us(100);
}

bool script_idle(const ScriptActivity& activity) {
  switch (static_cast<ScriptWait>(activity.wait.load(std::memory_order_acquire))) {
    case ScriptWait::Running:
      return false;
    case ScriptWait::Sleeping:
      // Idle until the clock reaches the wake time; then the script has work.
      return static_cast<int32_t>(engine_clock_now() - activity.wake_time.load(std::memory_order_relaxed)) < 0;
    case ScriptWait::WaitingForSlot:
    case ScriptWait::WaitingForResult: {
      // Idle while the slot is still pending: only a drain frees it. Freed by
      // a frame that did not get to step the clock, it waits for that step.
      const CommandSlot* slot = activity.slot.load(std::memory_order_relaxed);
      return slot && (slot_state(*slot) != SLOT_FREE || draining_frame_running(activity));
    }
    case ScriptWait::Budget:
      return engine_clock_frames() == activity.budget_frame.load(std::memory_order_relaxed);
    case ScriptWait::MessageBox:
    case ScriptWait::Ended:
      return true;
  }
  return true;
}

int script_poll_ms() { return engine_clock_fixed() ? 1 : RING_POLL_MS; }
