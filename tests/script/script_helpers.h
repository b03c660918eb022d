// Helpers shared by the script tests: scripts from strings, message capture, and
// an interpreter run with a recording stand-in for the ring.
#pragma once

#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/exit_status.h"
#include "script/interpreter.h"
#include "script/messages.h"
#include "script/parser.h"

// A readable FILE holding exactly the given bytes.
inline FILE* text_file(const std::string& text) {
  FILE* file = std::tmpfile();
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), file);
  std::rewind(file);
  return file;
}

struct Message {
  std::string caption;
  std::string text;
};

// Collects every message the script subsystem shows while it is alive.
class MessageCapture {
 public:
  MessageCapture() {
    std::lock_guard<std::mutex> lock(mutex());
    log().clear();
    set_message_sink(&record);
  }
  ~MessageCapture() {
    set_message_sink(nullptr);
    clear_script_error();
  }

  std::vector<Message> messages() const {
    std::lock_guard<std::mutex> lock(mutex());
    return log();
  }
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const Message& message : messages()) out.push_back(message.text);
    return out;
  }

 private:
  static std::mutex& mutex() {
    static std::mutex instance;
    return instance;
  }
  static std::vector<Message>& log() {
    static std::vector<Message> instance;
    return instance;
  }
  static void record(const char* caption, const char* text) {
    std::lock_guard<std::mutex> lock(mutex());
    log().push_back({caption, text});
  }
};

inline std::unique_ptr<Script> parse_text(const std::string& text, int* result = nullptr) {
  auto script = std::make_unique<Script>();
  int outcome = parse(text_file(text), script.get());
  if (result) *result = outcome;
  return script;
}

struct Posted {
  CommandSlot command;
  bool wait;
};

// Parses and runs a script on the calling thread; posted commands are recorded
// and a verb gets verb_result back.
struct ScriptRun {
  explicit ScriptRun(const std::string& text, int32_t verb_result = 0)
      : script(parse_text(text)),
        interpreter([this, verb_result](const CommandSlot& command, bool wait) {
          posted.push_back({command, wait});
          return wait ? verb_result : 0;
        }) {
    EXPECT_EQ(script->errors, 0) << text;
    interpreter.seed(1);
    if (script->errors == 0) interpreter.run(script->root);
  }

  // The value of a top-level variable (or element 0 of an array).
  float value(const std::string& name) const {
    Symbol* symbol = script->find(name, nullptr);
    EXPECT_NE(symbol, nullptr) << name;
    if (!symbol) return 0.0f;
    if (symbol->kind == SYMBOL_ARRAY) return symbol->elements.empty() ? 0.0f : symbol->elements[0];
    return symbol->value;
  }

  MessageCapture capture;  // before the run, so its prints are caught
  std::unique_ptr<Script> script;
  std::vector<Posted> posted;
  Interpreter interpreter;
};
