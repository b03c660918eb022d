// The ScriptRunner: loads and parses script.txt at start-up, runs it on the
// script thread, and drains the CommandRing on the render thread once per frame.
// Construction, drain and destruction run on the render thread;
// the script thread touches only the syntax tree, the symbols and the ring.
#pragma once

#include <cstdint>

#include "script/command_ring.h"
#include "script/script_thread.h"

struct Engine;

class ScriptRunner {
 public:
  explicit ScriptRunner(Engine* engine);  // parses the script; starts the thread when it parsed
  ~ScriptRunner();                        // running = 0; the thread is told to stop, not joined
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Hands the commands pending when it began to `execute` (the dispatcher),
  // when due. False when not yet due or after an unrecognised command.
  bool drain(const CommandExecutor& execute);

  // True when no script thread ever started, or when it has ended and every
  // command it posted has run.
  bool finished() const;

  // The script thread ended at an `exit`: once finished(), the program ends.
  bool exited() const;

  // The script thread waits on the render thread (a verb, a free slot, a later
  // engine time), is in a message box, has ended, or never started.
  bool idle() const;

  Engine* engine;
  uint8_t running = 0;     // 1 while the ring is drained
  uint32_t next_due = 0;   // engine tick from which the next drain may run
  int32_t interval = 10;   // milliseconds between drains

 private:
  ScriptThread thread_;    // the script thread and the ring; not started when the script did not parse
};
