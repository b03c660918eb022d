// The script thread and what it shares with the render thread: the parsed Script
// (the script thread's alone once started), the CommandRing (both sides, through
// its state bytes only) and two flags. That shared record outlives whichever side
// lets go last, so a script thread still sleeping, looping or waiting when the
// engine shuts down never runs over freed memory. start, drain, finished and stop
// are called from the render (main) thread.
#pragma once

#include <cstdint>
#include <memory>

#include "script/command_ring.h"
#include "script/syntax_tree.h"

class ScriptThread {
 public:
  ScriptThread() = default;
  ~ScriptThread();  // stop()
  ScriptThread(const ScriptThread&) = delete;
  ScriptThread& operator=(const ScriptThread&) = delete;

  // Starts evaluating the script on a thread of its own, the random generator
  // seeded with random_seed. False when no thread could be created.
  bool start(std::unique_ptr<Script> script, uint32_t random_seed);

  // One drain of the ring (drain_ring). False after an unrecognised command.
  bool drain(const CommandExecutor& execute);

  bool started() const { return shared_ != nullptr; }
  // The thread waits on the render thread (or the person), or has returned, or
  // never started: what lock-step waits for before each frame.
  bool idle() const;
  // The thread has returned (its script ran to the end, or it was stopped).
  bool ended() const;
  // The thread has returned and every command it posted has been executed.
  bool finished() const;
  // The thread has returned because the script met an `exit`.
  bool exited() const;

  // Asks the thread to wind down and lets go of it without joining: it sees the
  // flag between statements, in loops, sleeps and ring waits, and ends there.
  void stop();

 private:
  struct Shared;
  // Body of the script thread: evaluates the whole script, then returns 1. Its
  // reference keeps the shared record alive for as long as it runs.
  static int script_thread_main(std::shared_ptr<Shared> shared);

  std::shared_ptr<Shared> shared_;
};

