// The interpreter: evaluates a parsed Script over 32-bit floats on the script
// thread. It keeps values only in the Symbols and hands every scene statement and
// verb to a CommandPoster (the CommandRing in a running engine); it never touches
// the Engine or a scene element.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "script/command_ring.h"
#include "script/syntax_tree.h"

// Hands one command over; with wait, returns its result (else 0).
using CommandPoster = std::function<int32_t(const CommandSlot& command, bool wait)>;

// Nested user function calls beyond this depth give 0 without running the body,
// so a runaway recursion cannot overflow the script thread's stack.
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

  // Evaluates the statement list of a script; returns when it has run to its end,
  // a top-level return was met, or the stop flag was set.
  void run(SyntaxNode* root);

  // The value of a node, its subtree evaluated first.
  float evaluate(SyntaxNode* node);
  // Writes value into the variable or array element that target (N_LVALUE or N_VAR) denotes.
  void store(SyntaxNode* target, float value);

 private:
  bool unwinding() const;
  float sequence(SyntaxNode* node);
  float loop(SyntaxNode* init, SyntaxNode* condition, SyntaxNode* step, SyntaxNode* body);
  float read(SyntaxNode* target);
  float element(Symbol* array, SyntaxNode* index);
  float compound(SyntaxNode* node);
  float random_value(SyntaxNode* node);
  float scene_command(SyntaxNode* node);
  float verb(SyntaxNode* node, int type);
  float call(SyntaxNode* node);
  void print(SyntaxNode* node);
  void sleep(float milliseconds);

  CommandPoster post_;
  const std::atomic<bool>* stop_;
  uint32_t random_state_ = 0;
  bool returning_ = false;  // a return is unwinding to its call
  float return_value_ = 0.0f;
  int call_depth_ = 0;
  std::vector<SyntaxNode*> pending_;  // statement lists being run, innermost last
};
