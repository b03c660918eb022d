// The compiled form of a statement list: a flat array of instructions that the
// compiler (script/compiler.h) makes from the syntax tree before the run and the
// interpreter executes. Operands are addresses of floats: a variable's
// Symbol::value, a constant of the Code, or one of its temporaries, so an
// instruction reads and writes its values without a lookup, a call or a switch
// over the kind of operand. Array elements are reached through their Symbol,
// because a function call's save and restore moves their storage.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "script/syntax_tree.h"

// The interpreter's dispatch table lists the ops in this order.
enum class Op : uint8_t {
  // result = left (op) right
  Add,
  Subtract,
  Multiply,
  Divide,     // an infinity or NaN, not an error
  Remainder,  // of the truncated operands; 0 when the right one truncates to 0
  Equal,      // comparisons give 1 or 0
  NotEqual,
  Greater,
  Less,
  GreaterEqual,
  LessEqual,
  And,  // both operands tested by truncation, so 0.5 is false
  Or,
  // result = f(left)
  Copy,
  Negate,
  Not,
  Truncate,
  Sin,
  Cos,
  Tan,
  Asin,
  Acos,
  Atan,
  Sqrt,
  // result = a value from outside
  Random,         // 0..1
  RandomBetween,  // a whole number in left..right
  Time,           // engine milliseconds since start
  // node->symbol is an array; left its index, or null for element 0
  ReadElement,   // result = the element, 0 outside the array
  WriteElement,  // the element = right; nothing outside the array
  // Jumps go to instructions[index]: always, by the truth of left (not 0.0), or
  // by a comparison of left with right.
  Jump,
  JumpIfTrue,
  JumpIfFalse,
  JumpIfEqual,
  JumpIfNotEqual,
  JumpIfGreater,
  JumpIfLess,
  JumpIfGreaterEqual,
  JumpIfLessEqual,
  JumpUnlessEqual,  // the negations are separate ops because NaN fails every comparison
  JumpUnlessNotEqual,
  JumpUnlessGreater,
  JumpUnlessLess,
  JumpUnlessGreaterEqual,
  JumpUnlessLessEqual,
  // Statement bookkeeping: a set stop flag winds the Code down; every statement
  // of a list and every loop round counts towards the lock-step budget.
  Statement,  // stop check, then count
  CheckStop,
  CountStatement,
  // Statements and calls with effects outside the values.
  Print,      // left, or node->symbol's name when left is null
  Sleep,      // left milliseconds
  SceneCommand,  // node: the statement; lists[index...] its NODE_CHILDREN argument values
  Verb,       // result = the reply to node (load, new, delete, status) with arguments left, right
  Call,       // result = node->symbol called with lists[index...] up to a null entry
  Return,     // hands left back to the call and winds the Code down
  Exit,       // ends the process
  End,
};

struct Instruction {
  Op op = Op::End;
  int32_t index = 0;                 // a jump's target, or the first entry of an operand list
  float* result = nullptr;
  const float* left = nullptr;
  const float* right = nullptr;
  const SyntaxNode* node = nullptr;  // for the ops that need a symbol, a kind or a name
};

struct Code {
  std::vector<Instruction> instructions;
  std::vector<const float*> lists;  // operand lists of scene commands and calls
  // Deques, so that the addresses held by instructions stay valid while they grow.
  std::deque<float> constants;
  std::deque<float> temporaries;
  // How many runs of this Code are under way. A function's temporaries are
  // saved around a call that enters it again (recursion), so each run keeps its own.
  int active = 0;
};
