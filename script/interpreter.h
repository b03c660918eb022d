// The interpreter: runs a parsed Script over 32-bit floats on the script thread.
// The syntax tree is compiled into flat Code first (script/compiler.h); the
// interpreter executes it. It keeps values only in the Symbols and the Code's
// temporaries and hands every scene statement and verb to a CommandPoster (the
// CommandRing in a running engine); it never touches the Engine or a scene element.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "script/code.h"
#include "script/command_ring.h"
#include "script/syntax_tree.h"

struct ScriptActivity;

// Hands one command over; with wait, returns its result (else 0).
using CommandPoster = std::function<int32_t(const CommandSlot& command, bool wait)>;

// Nested user function calls beyond this depth give 0 without running the body,
// so a runaway recursion cannot overflow the script thread's stack; each call
// that meets the limit is warned about once.
constexpr int MAX_CALL_DEPTH = 1000;

class Interpreter {
 public:
  // stop, when given, is checked between statements, in loops and in sleeps:
  // once it is set the run winds down without doing anything further.
  explicit Interpreter(CommandPoster post, const std::atomic<bool>* stop = nullptr);

  // The `random` generator's state; seeded from the calendar time by the runner.
  void seed(uint32_t state) { random_state_ = state; }
  // The next integer 0..32767 of the linear congruential generator.
  int32_t next_random();

  // Runs the statement list of a script; returns when it has run to its end,
  // a top-level return or an `exit` was met, or the stop flag was set.
  void run(SyntaxNode* root);

  // The last run ended at an `exit`. The interpreter does not end the process
  // itself: whoever runs it lets the commands already posted run first.
  bool exited() const { return exited_; }

  // The place in the script of the command being posted (for the poster).
  SourceSpot posting_from() const { return posting_from_; }

 private:
  // Told to stop, or wound down by an exit.
  bool stopped() const { return exited_ || stop_->load(std::memory_order_relaxed); }
  // Runs code until its end, a return or a set stop flag.
  void execute(Code& code);
  float call(const Instruction& call, const Code& caller);
  Code& function_code(const Symbol* function);
  float random_between(float low, float high);
  void scene_command(const Instruction& command, const Code& code);
  float verb(const Instruction& verb);
  void print(const Instruction& print);
  void sleep(float milliseconds);

  CommandPoster post_;
  const std::atomic<bool>* stop_;      // never null: a flag that stays clear when none was given
  ScriptActivity* activity_ = nullptr;  // the running thread's, looked up once per run
  uint32_t random_state_ = 0;
  bool returning_ = false;  // the code that just ended met a return
  float return_value_ = 0.0f;
  int call_depth_ = 0;
  bool exited_ = false;
  SourceSpot posting_from_;
  std::unordered_set<const SyntaxNode*> depth_warned_;  // calls already warned about
  // Function bodies compiled at their first call, by body (valid for one run).
  std::unordered_map<const SyntaxNode*, std::unique_ptr<Code>> functions_;
  // Stacks shared by nested calls: argument values on their way to the
  // parameters, and what each call saves of the function's locals and temporaries.
  std::vector<float> arguments_;
  std::vector<float> saved_values_;
  std::vector<std::vector<float>> saved_elements_;
};
