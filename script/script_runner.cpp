// The ScriptRunner: reads script.txt from the data folder, parses it on the main
// thread and, when it parsed without error, runs it on the script thread. The
// frame calls drain(), which hands the pending commands to the dispatcher.
#include "script/script_runner.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "core/clock.h"
#include "core/engine.h"
#include "core/launch_options.h"
#include "platform/platform.h"
#include "script/parser.h"

ScriptRunner::ScriptRunner(Engine* owner) : engine(owner) {
  next_due = engine->pacing.now + interval;
  // The script's `random` starts from the calendar time in seconds, or from the
  // seed of the command line (given, or 1 on the fixed-step clock) so that runs repeat.
  uint32_t seed = g_launch.seed_given || engine_clock_fixed() ? g_launch.seed : static_cast<uint32_t>(std::time(nullptr));

  // No script: an empty scene and no thread. No message box either, but a
  // line on standard error, so that a mistyped folder is not a mystery.
  const std::string folder = engine->paths.data_path;
  const std::string path = folder + "script.txt";
  FILE* file = platform::open_file(path, "r");
  if (!file) {
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
      std::fprintf(stderr, "talpine: the data folder %s does not exist: the scene stays empty\n", folder.c_str());
    else
      std::fprintf(stderr, "talpine: %s does not exist: the scene stays empty\n", path.c_str());
    return;
  }

  auto script = std::make_unique<Script>();
  parse(file, script.get(), path);
  if (script->errors != 0) return;  // already reported, one message each

  if (!thread_.start(std::move(script), seed)) {
    platform::post_quit();
    return;
  }
  running = 1;
}

ScriptRunner::~ScriptRunner() {
  running = 0;
  thread_.stop();
}

bool ScriptRunner::drain(const CommandExecutor& execute) {
  if (!running) return false;
  // Tick counts wrap at 2^32 ms: compare by difference. In lock-step every
  // frame drains what the script posted before it became idle.
  if (!engine_clock_fixed() && static_cast<int32_t>(engine->pacing.now - next_due) < 0) return false;
  next_due = engine->pacing.now + interval;

  bool recognised = thread_.drain(execute);
  if (!recognised) {
    running = 0;  // the slot stays pending; nothing is drained again
    return false;
  }
  return true;
}

bool ScriptRunner::idle() const { return thread_.idle(); }

bool ScriptRunner::exited() const { return thread_.exited(); }

bool ScriptRunner::finished() const { return !thread_.started() || thread_.finished(); }
