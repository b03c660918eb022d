// Script text: the scanner over the whole input, then the parser, then (when it
// parsed without errors) a bounded run of the interpreter whose commands go to a
// recording stand-in for the ring. A run is stopped after 50 ms or 10,000
// commands. Inputs holding "exit" are parsed but not run: the script's exit
// ends the process by design.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "script/interpreter.h"
#include "script/lexer.h"
#include "script/parser.h"

namespace {

FILE* memory_file(const uint8_t* data, size_t size) {
  // fmemopen refuses a zero-length buffer; an empty script is a file of no bytes.
  static const char nothing = 0;
  FILE* file = size ? fmemopen(const_cast<uint8_t*>(data), size, "r") : fmemopen(const_cast<char*>(&nothing), 1, "r");
  if (file && !size) std::fgetc(file);
  return file;
}

void scan(const uint8_t* data, size_t size) {
  FILE* file = memory_file(data, size);
  if (!file) return;
  Lexer lexer(file);
  TokenValue value{};
  for (int token; (token = lexer.next_token(&value)) != 0;) {
    if (token == T_ID) std::free(value.text);
    value = TokenValue{};
  }
}

void run_bounded(Script* script) {
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::thread watchdog([&] {
    std::unique_lock<std::mutex> lock(mutex);
    if (!finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; })) stop = true;
  });

  size_t posted = 0;
  Interpreter interpreter(
      [&](const CommandSlot& command, bool wait) -> int32_t {
        if (++posted >= 10000) stop = true;
        // A verb's answer varies with the command so that both branches of a
        // script's "if (n < 0)" get taken.
        return wait ? static_cast<int32_t>(command.name[0] % 3) - 1 : 0;
      },
      &stop);
  interpreter.seed(1);
  interpreter.run(script->root);

  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  finished.notify_one();
  watchdog.join();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  silence_messages();
  scan(data, size);

  FILE* file = memory_file(data, size);
  if (!file) return 0;
  Script script;
  parse(file, &script);
  if (script.errors == 0 && script.root && !memmem(data, size, "exit", 4)) run_bounded(&script);
  return 0;
}
