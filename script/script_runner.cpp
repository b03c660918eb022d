// Placeholder until the interpreter lands: a runner that never starts a thread.
#include "script/script_runner.h"

#include "core/engine.h"

ScriptRunner::ScriptRunner(Engine* owner) : engine(owner) { next_due = engine->now + interval; }

ScriptRunner::~ScriptRunner() { running = 0; }

bool ScriptRunner::drain() { return false; }

bool ScriptRunner::finished() const { return true; }

int ScriptRunner::executeCommand(int, const char*, float, float, float, float, float, int32_t* result) {
  *result = 0;
  return 1;
}
