// Evaluation, one switch over the node kind with the longer cases in helpers.
// Values are returned, not kept in the nodes: with recursive calls a node's own
// field would be overwritten by the inner call before its parent read it.
#include "script/interpreter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/clock.h"
#include "core/convert.h"
#include "platform/platform.h"
#include "script/messages.h"
#include "script/script_activity.h"

namespace {

float truth(bool holds) { return holds ? 1.0f : 0.0f; }

float from_double(double value) { return static_cast<float>(value); }

// trunc(left) remainder trunc(right), the sign following the left operand; 0 when
// the right side truncates to 0 (and for the one quotient that overflows).
float remainder_of(float left, float right) {
  int32_t divisor = float_to_int(right);
  if (divisor == 0 || divisor == -1) return 0.0f;
  return static_cast<float>(float_to_int(left) % divisor);
}

void copy_name(CommandSlot* command, const Symbol* symbol) {
  if (!symbol) return;
  // Names longer than the slot holds are cut to its 22 characters.
  std::strncpy(command->name, symbol->name.c_str(), COMMAND_NAME_SIZE - 1);
  command->name[COMMAND_NAME_SIZE - 1] = '\0';
}

}  // namespace

Interpreter::Interpreter(CommandPoster post, const std::atomic<bool>* stop)
    : post_(std::move(post)), stop_(stop) {}

int32_t Interpreter::next_random() {
  random_state_ = random_state_ * 214013u + 2531011u;
  return static_cast<int32_t>((random_state_ >> 16) & 0x7fff);
}

bool Interpreter::unwinding() const {
  return returning_ || (stop_ && stop_->load(std::memory_order_relaxed));
}

void Interpreter::run(SyntaxNode* root) {
  returning_ = false;
  evaluate(root);
  returning_ = false;
}

float Interpreter::evaluate(SyntaxNode* node) {
  if (!node) return 0.0f;
  SyntaxNode** c = node->child;
  switch (node->kind) {
    case N_SEQ:
      return sequence(node);
    case N_EXPR:
      evaluate(c[0]);
      return 0.0f;
    case N_PRINT:
      print(node);
      return 0.0f;
    case N_WHILE:
      return loop(nullptr, c[0], nullptr, c[1]);
    case N_FOR:
      return loop(c[0], c[1], c[2], c[3]);
    case N_IF:
    case N_IFELSE:
      if (float_flag(evaluate(c[0]))) {
        evaluate(c[1]);
      } else {
        evaluate(c[2]);
      }
      return 0.0f;
    case N_SLEEP:
      sleep(evaluate(c[0]));
      return 0.0f;
    case N_LOAD:
      return verb(node, CMD_LOAD);
    case N_DELETE:
      return verb(node, CMD_DELETE);
    case N_NEW:
      return verb(node, CMD_NEW);
    case N_STATUS:
      return verb(node, CMD_STATUS);
    case N_SIN:
      return from_double(std::sin(static_cast<double>(evaluate(c[0]))));
    case N_COS:
      return from_double(std::cos(static_cast<double>(evaluate(c[0]))));
    case N_TAN:
      return from_double(std::tan(static_cast<double>(evaluate(c[0]))));
    case N_ASIN:
      return from_double(std::asin(static_cast<double>(evaluate(c[0]))));
    case N_ACOS:
      return from_double(std::acos(static_cast<double>(evaluate(c[0]))));
    case N_ATAN:
      return from_double(std::atan(static_cast<double>(evaluate(c[0]))));
    case N_SQRT:
      return from_double(std::sqrt(static_cast<double>(evaluate(c[0]))));
    case N_RANDOM:
      return random_value(node);
    // Binary operators: one case each, the left operand evaluated first.
    case N_EQ: { float left = evaluate(c[0]); return truth(left == evaluate(c[1])); }
    case N_NE: { float left = evaluate(c[0]); return truth(left != evaluate(c[1])); }
    case N_GT: { float left = evaluate(c[0]); return truth(left > evaluate(c[1])); }
    case N_LT: { float left = evaluate(c[0]); return truth(left < evaluate(c[1])); }
    case N_GE: { float left = evaluate(c[0]); return truth(left >= evaluate(c[1])); }
    case N_LE: { float left = evaluate(c[0]); return truth(left <= evaluate(c[1])); }
    case N_ADD: { float left = evaluate(c[0]); return left + evaluate(c[1]); }
    case N_SUB: { float left = evaluate(c[0]); return left - evaluate(c[1]); }
    case N_MUL: { float left = evaluate(c[0]); return left * evaluate(c[1]); }
    case N_DIV: { float left = evaluate(c[0]); return left / evaluate(c[1]); }  // an infinity or NaN, not an error
    case N_REM: { float left = evaluate(c[0]); return remainder_of(left, evaluate(c[1])); }
    case N_ASSIGN: {
      float value = evaluate(c[1]);
      Symbol* symbol = c[0]->symbol;
      if (symbol->kind != SYMBOL_ARRAY) symbol->value = value;  // the common case, without a call
      else store(c[0], value);
      return value;
    }
    case N_VAR:
    case N_LVALUE: {
      Symbol* symbol = node->symbol;
      if (symbol->kind != SYMBOL_ARRAY) return symbol->value;
      return element(symbol, c[0]);
    }
    case N_NUM:
      return node->value;
    case N_NEG:
      return -evaluate(c[0]);
    case N_TIME:
      // From the engine's start: a float holds whole milliseconds only up to 2^24.
      return static_cast<float>(engine_clock_since_start());
    case N_INC:
    case N_DEC: {
      float value = read(c[0]) + (node->kind == N_INC ? 1.0f : -1.0f);
      store(c[0], value);
      return value;
    }
    case N_ADDTO:
    case N_SUBFROM:
    case N_DIVBY:
    case N_MULBY:
    case N_REMFROM:
      return compound(node);
    case N_INT:
      return static_cast<float>(float_to_int(evaluate(c[0])));
    case N_AND:
    case N_OR: {
      // Both sides always run; each is tested by truncation, so 0.5 is false here.
      bool left = float_to_int(evaluate(c[0])) != 0;
      bool right = float_to_int(evaluate(c[1])) != 0;
      return truth(node->kind == N_AND ? left && right : left || right);
    }
    case N_NOT:
      return truth(float_to_int(evaluate(c[0])) == 0);
    case N_ARGS:
      evaluate(c[0]);
      evaluate(c[1]);
      return 0.0f;
    case N_CALL:
      return call(node);
    case N_EXIT:
      // Ends the process at once; the engine's shut-down does not run.
      std::fflush(stdout);
      std::fflush(stderr);
      std::_Exit(0);
    case N_RETURN:
      return_value_ = evaluate(c[0]);
      returning_ = true;
      return return_value_;
    case N_EMPTY:
    case N_ERROR:
    case N_FUNCTION:
      return 0.0f;  // nothing to do
    default:
      if (scene_type_code(node->kind) >= 0) return scene_command(node);
      return 0.0f;
  }
}

// A statement list is a left-leaning chain of N_SEQ nodes, one per statement; it
// runs without recursion so that its length does not grow the stack.
// A short list (a loop's body, a block) is gathered on the stack; a longer one,
// such as a whole script, in pending_.
float Interpreter::sequence(SyntaxNode* node) {
  constexpr int SHORT_LIST = 8;
  SyntaxNode* local[SHORT_LIST];
  int count = 0;
  SyntaxNode* inner = node;
  for (; inner && inner->kind == N_SEQ && count < SHORT_LIST; inner = inner->child[0]) local[count++] = inner;
  if (inner && inner->kind == N_SEQ) {
    size_t base = pending_.size();
    for (; node && node->kind == N_SEQ; node = node->child[0]) pending_.push_back(node);
    evaluate(node);  // the innermost list, N_EMPTY as the parser builds it
    for (size_t i = pending_.size(); i-- > base && !unwinding();) {
      count_script_statement(stop_);
      evaluate(pending_[i]->child[1]);
    }
    pending_.resize(base);
    return 0.0f;
  }
  evaluate(inner);
  for (int i = count; i-- > 0 && !unwinding();) {
    count_script_statement(stop_);
    evaluate(local[i]->child[1]);
  }
  return 0.0f;
}

float Interpreter::loop(SyntaxNode* init, SyntaxNode* condition, SyntaxNode* step, SyntaxNode* body) {
  evaluate(init);
  while (!unwinding() && float_flag(evaluate(condition))) {
    count_script_statement(stop_);
    evaluate(body);
    if (unwinding()) break;
    evaluate(step);
  }
  return 0.0f;
}

float Interpreter::element(Symbol* array, SyntaxNode* index) {
  // An array name without an index stands for element 0; outside the array reads 0.
  int32_t at = index ? float_to_int(evaluate(index)) : 0;
  if (at < 0 || at >= static_cast<int32_t>(array->elements.size())) return 0.0f;
  return array->elements[at];
}

float Interpreter::read(SyntaxNode* target) {
  Symbol* symbol = target->symbol;
  if (symbol->kind == SYMBOL_ARRAY) return element(symbol, target->child[0]);
  return symbol->value;  // an index after a scalar's name is not evaluated
}

void Interpreter::store(SyntaxNode* target, float value) {
  Symbol* symbol = target->symbol;
  if (symbol->kind != SYMBOL_ARRAY) {
    symbol->value = value;
    return;
  }
  // The index is evaluated again, side effects and all: a[i++] += 1 raises i by 2.
  int32_t at = target->child[0] ? float_to_int(evaluate(target->child[0])) : 0;
  if (at >= 0 && at < static_cast<int32_t>(symbol->elements.size())) symbol->elements[at] = value;
}

float Interpreter::compound(SyntaxNode* node) {
  float current = read(node->child[0]);
  float value = evaluate(node->child[1]);
  switch (node->kind) {
    case N_ADDTO: current += value; break;
    case N_SUBFROM: current -= value; break;
    case N_MULBY: current *= value; break;
    case N_DIVBY: current /= value; break;
    default: current = remainder_of(current, value); break;
  }
  store(node->child[0], current);
  return current;
}

float Interpreter::random_value(SyntaxNode* node) {
  if (!node->child[0]) return from_double(next_random() / 32767.0);
  int64_t low = float_to_int(evaluate(node->child[0]));
  int64_t high = float_to_int(evaluate(node->child[1]));
  int64_t range = high - low + 1;
  int64_t drawn = next_random();
  if (range == 0) return static_cast<float>(low);  // hi = lo - 1: no values to pick from
  return static_cast<float>(low + drawn % range);
}

float Interpreter::scene_command(SyntaxNode* node) {
  CommandSlot command{};
  for (int i = 0; i < NODE_CHILDREN; ++i) {
    if (node->child[i]) command.args[i] = evaluate(node->child[i]);
  }
  copy_name(&command, node->symbol);
  command.state = static_cast<uint8_t>(scene_type_code(node->kind));
  post_(command, false);
  return 0.0f;
}

float Interpreter::verb(SyntaxNode* node, int type) {
  CommandSlot command{};
  command.args[0] = node->child[0] ? evaluate(node->child[0]) : -1.0f;
  command.args[1] = node->child[1] ? evaluate(node->child[1]) : 0.0f;
  copy_name(&command, node->symbol);
  command.state = static_cast<uint8_t>(type);
  return static_cast<float>(post_(command, true));
}

// Arguments are evaluated in the caller's frame; the function's own symbols are
// saved, start again at 0 for the body, and are restored afterwards, so that a
// recursive call leaves its caller's values as they were.
float Interpreter::call(SyntaxNode* node) {
  std::vector<float> arguments;
  for (SyntaxNode* list = node->child[0]; list && list->kind != N_EMPTY;) {
    if (list->kind == N_ARGS) {
      arguments.push_back(evaluate(list->child[0]));
      list = list->child[1];
    } else {
      arguments.push_back(evaluate(list));
      break;
    }
  }

  Symbol* function = node->symbol;
  if (function->kind != SYMBOL_FUNCTION || !function->body || unwinding()) return 0.0f;
  if (call_depth_ >= MAX_CALL_DEPTH) return 0.0f;

  struct Saved {
    float value;
    std::vector<float> elements;
  };
  std::vector<Saved> saved;
  saved.reserve(function->locals.size());
  for (Symbol* local : function->locals) {
    saved.push_back({local->value, local->elements});
    local->value = 0.0f;
    std::fill(local->elements.begin(), local->elements.end(), 0.0f);
  }
  for (size_t i = 0; i < function->params.size() && i < arguments.size(); ++i) {
    function->params[i]->value = arguments[i];
  }

  ++call_depth_;
  evaluate(function->body);
  --call_depth_;
  float result = returning_ ? return_value_ : 0.0f;
  returning_ = false;

  for (size_t i = 0; i < function->locals.size(); ++i) {
    function->locals[i]->value = saved[i].value;
    function->locals[i]->elements = std::move(saved[i].elements);
  }
  return result;
}

void Interpreter::print(SyntaxNode* node) {
  std::string text;
  if (node->child[0]) {
    char number[64];
    std::snprintf(number, sizeof number, "%f", static_cast<double>(evaluate(node->child[0])));
    text = std::string("script print: ") + number;
  } else {
    text = "script print: " + (node->symbol ? node->symbol->name : std::string());
  }
  if (unwinding()) return;
  show_message(SCRIPT_CAPTION, text);
}

void Interpreter::sleep(float milliseconds) {
  int32_t total = float_to_int(milliseconds);
  if (total <= 0) return;
  uint32_t start = engine_clock_now();
  begin_script_wait(ScriptWait::Sleeping, nullptr, start + static_cast<uint32_t>(total));
  for (;;) {
    if (stop_ && stop_->load(std::memory_order_relaxed)) break;
    uint32_t elapsed = engine_clock_now() - start;
    if (elapsed >= static_cast<uint32_t>(total)) break;
    platform::sleep_ms(std::min<uint32_t>(script_poll_ms(), static_cast<uint32_t>(total) - elapsed));
  }
  end_script_wait();
}
