#include "script/script_thread.h"

#include <atomic>
#include <system_error>
#include <thread>

#include "script/interpreter.h"
#include "script/script_activity.h"

struct ScriptThread::Shared {
  std::unique_ptr<Script> script;
  CommandRing ring;
  std::atomic<bool> stop{false};
  std::atomic<bool> ended{false};
  std::atomic<bool> exited{false};  // the script ended at an `exit`
  ScriptActivity activity;
  Interpreter interpreter{[this](const CommandSlot& command, bool wait) {
                            return post_command(ring, command, wait, stop, interpreter.posting_from());
                          },
                          &stop};
};

// The tree, the symbols and the ring are all the script thread touches.
int ScriptThread::script_thread_main(std::shared_ptr<Shared> shared) {
  set_current_script_activity(&shared->activity);
  shared->interpreter.run(shared->script->root);
  // Published before `ended`, so whoever sees the end sees how it ended.
  if (shared->interpreter.exited()) shared->exited.store(true, std::memory_order_release);
  begin_script_wait(ScriptWait::Ended);
  set_current_script_activity(nullptr);
  shared->ended.store(true, std::memory_order_release);
  return 1;
}

ScriptThread::~ScriptThread() { stop(); }

bool ScriptThread::start(std::unique_ptr<Script> script, uint32_t random_seed) {
  auto shared = std::make_shared<Shared>();
  shared->script = std::move(script);
  // The ring is reset here, before the thread exists, and not by the thread:
  // read_index belongs to the render thread.
  shared->ring.reset();
  shared->interpreter.seed(random_seed);
  try {
    std::thread thread(script_thread_main, shared);
    thread.detach();
  } catch (const std::system_error&) {
    return false;
  }
  shared_ = std::move(shared);
  return true;
}

bool ScriptThread::drain(const CommandExecutor& execute) {
  if (!shared_) return true;
  note_drain(shared_->activity);
  return drain_ring(shared_->ring, execute);
}

bool ScriptThread::idle() const {
  return !shared_ || ended() || script_idle(shared_->activity);
}

bool ScriptThread::ended() const {
  return shared_ && shared_->ended.load(std::memory_order_acquire);
}

bool ScriptThread::exited() const {
  return ended() && shared_->exited.load(std::memory_order_acquire);
}

bool ScriptThread::finished() const {
  if (!ended()) return false;
  const CommandRing& ring = shared_->ring;
  return slot_state(ring.slots[ring.read_index]) == SLOT_FREE;
}

void ScriptThread::stop() {
  if (shared_) shared_->stop.store(true, std::memory_order_relaxed);
}
