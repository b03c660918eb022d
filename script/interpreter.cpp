// Execution of compiled Code: one loop over the instructions with a switch on
// the op, the longer cases (calls, commands, print, sleep) in helpers. A return,
// or a stop flag found set at a check, ends the running Code at once: every
// statement list and loop around it would stop at its next check before doing
// anything, so nothing is left out by jumping straight to the end.
#include "script/interpreter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "core/clock.h"
#include "core/convert.h"
#include "platform/platform.h"
#include "script/compiler.h"
#include "script/messages.h"
#include "script/script_activity.h"

// With GCC and Clang each op ends in a jump of its own to the next op's code
// (labels as values): the processor then predicts each of these jumps from the
// op it follows, where one shared jump back to a switch mispredicts most of the
// time. Elsewhere the same cases run as a plain switch.
#if defined(__GNUC__)
#define THREADED_DISPATCH 1
#define OP(name) \
  case Op::name:  \
  op_##name
#define NEXT                                             \
  do {                                                   \
    in = next++;                                         \
    goto* op_code[static_cast<unsigned>(in->op)];        \
  } while (0)
#else
#define OP(name) case Op::name
#define NEXT break
#endif

namespace {

// Stands in for a stop flag when none is given, so the checks need no null test.
const std::atomic<bool> never_stopped{false};

float truth(bool holds) { return holds ? 1.0f : 0.0f; }

float from_double(double value) { return static_cast<float>(value); }

// trunc(left) remainder trunc(right), the sign following the left operand; 0 when
// the right side truncates to 0 (and for the one quotient that overflows).
float remainder_of(float left, float right) {
  int32_t divisor = float_to_int(right);
  if (divisor == 0 || divisor == -1) return 0.0f;
  return static_cast<float>(float_to_int(left) % divisor);
}

// Logical operands are tested by truncation, so 0.5 is false.
bool holds(float value) { return float_to_int(value) != 0; }

// Outside the array an element reads 0 and takes no writes; without an index
// the name stands for element 0.
float read_element(const Symbol* array, const float* index) {
  int32_t at = index ? float_to_int(*index) : 0;
  if (at < 0 || at >= static_cast<int32_t>(array->elements.size())) return 0.0f;
  return array->elements[at];
}

void write_element(Symbol* array, const float* index, float value) {
  int32_t at = index ? float_to_int(*index) : 0;
  if (at >= 0 && at < static_cast<int32_t>(array->elements.size())) array->elements[at] = value;
}

int verb_type(int32_t kind) {
  switch (kind) {
    case N_LOAD: return CMD_LOAD;
    case N_DELETE: return CMD_DELETE;
    case N_NEW: return CMD_NEW;
    default: return CMD_STATUS;
  }
}

void copy_name(CommandSlot* command, const Symbol* symbol) {
  if (!symbol) return;
  // Names longer than the slot holds are cut to its 22 characters.
  std::strncpy(command->name, symbol->name.c_str(), COMMAND_NAME_SIZE - 1);
  command->name[COMMAND_NAME_SIZE - 1] = '\0';
}

}  // namespace

Interpreter::Interpreter(CommandPoster post, const std::atomic<bool>* stop)
    : post_(std::move(post)), stop_(stop ? stop : &never_stopped) {}

int32_t Interpreter::next_random() {
  random_state_ = random_state_ * 214013u + 2531011u;
  return static_cast<int32_t>((random_state_ >> 16) & 0x7fff);
}

void Interpreter::run(SyntaxNode* root) {
  activity_ = current_script_activity();
  functions_.clear();  // they point into the symbols of the last run's script
  depth_warned_.clear();
  exited_ = false;
  std::unique_ptr<Code> code = compile(root);
  returning_ = false;
  execute(*code);
  returning_ = false;
}

void Interpreter::execute(Code& code) {
  const Instruction* const first = code.instructions.data();
  const Instruction* next = first;
  const Instruction* in;
#ifdef THREADED_DISPATCH
  // Each op's code, in the order in which code.h declares Op.
  static const void* const op_code[] = {
      &&op_Add, &&op_Subtract, &&op_Multiply, &&op_Divide, &&op_Remainder, &&op_Equal, &&op_NotEqual,
      &&op_Greater, &&op_Less, &&op_GreaterEqual, &&op_LessEqual, &&op_And, &&op_Or, &&op_Copy, &&op_Negate,
      &&op_Not, &&op_Truncate, &&op_Sin, &&op_Cos, &&op_Tan, &&op_Asin, &&op_Acos, &&op_Atan, &&op_Sqrt,
      &&op_Random, &&op_RandomBetween, &&op_Time, &&op_ReadElement, &&op_WriteElement, &&op_Jump,
      &&op_JumpIfTrue, &&op_JumpIfFalse, &&op_JumpIfEqual, &&op_JumpIfNotEqual, &&op_JumpIfGreater,
      &&op_JumpIfLess, &&op_JumpIfGreaterEqual, &&op_JumpIfLessEqual, &&op_JumpUnlessEqual,
      &&op_JumpUnlessNotEqual, &&op_JumpUnlessGreater, &&op_JumpUnlessLess, &&op_JumpUnlessGreaterEqual,
      &&op_JumpUnlessLessEqual, &&op_Statement, &&op_CheckStop, &&op_CountStatement, &&op_Print, &&op_Sleep,
      &&op_SceneCommand, &&op_Verb, &&op_Call, &&op_Return, &&op_Exit, &&op_End,
  };
  static_assert(std::size(op_code) == static_cast<size_t>(Op::End) + 1, "one entry per Op");
#endif
  for (;;) {
    in = next++;
    switch (in->op) {
      OP(Add): *in->result = *in->left + *in->right; NEXT;
      OP(Subtract): *in->result = *in->left - *in->right; NEXT;
      OP(Multiply): *in->result = *in->left * *in->right; NEXT;
      OP(Divide): *in->result = *in->left / *in->right; NEXT;
      OP(Remainder): *in->result = remainder_of(*in->left, *in->right); NEXT;
      OP(Equal): *in->result = truth(*in->left == *in->right); NEXT;
      OP(NotEqual): *in->result = truth(*in->left != *in->right); NEXT;
      OP(Greater): *in->result = truth(*in->left > *in->right); NEXT;
      OP(Less): *in->result = truth(*in->left < *in->right); NEXT;
      OP(GreaterEqual): *in->result = truth(*in->left >= *in->right); NEXT;
      OP(LessEqual): *in->result = truth(*in->left <= *in->right); NEXT;
      OP(And): *in->result = truth(holds(*in->left) && holds(*in->right)); NEXT;
      OP(Or): *in->result = truth(holds(*in->left) || holds(*in->right)); NEXT;

      OP(Copy): *in->result = *in->left; NEXT;
      OP(Negate): *in->result = -*in->left; NEXT;
      OP(Not): *in->result = truth(!holds(*in->left)); NEXT;
      OP(Truncate): *in->result = static_cast<float>(float_to_int(*in->left)); NEXT;
      OP(Sin): *in->result = from_double(std::sin(static_cast<double>(*in->left))); NEXT;
      OP(Cos): *in->result = from_double(std::cos(static_cast<double>(*in->left))); NEXT;
      OP(Tan): *in->result = from_double(std::tan(static_cast<double>(*in->left))); NEXT;
      OP(Asin): *in->result = from_double(std::asin(static_cast<double>(*in->left))); NEXT;
      OP(Acos): *in->result = from_double(std::acos(static_cast<double>(*in->left))); NEXT;
      OP(Atan): *in->result = from_double(std::atan(static_cast<double>(*in->left))); NEXT;
      OP(Sqrt): *in->result = from_double(std::sqrt(static_cast<double>(*in->left))); NEXT;

      OP(Random): *in->result = from_double(next_random() / 32767.0); NEXT;
      OP(RandomBetween): *in->result = random_between(*in->left, *in->right); NEXT;
      // From the engine's start: a float holds whole milliseconds only up to 2^24.
      OP(Time): *in->result = static_cast<float>(engine_clock_since_start()); NEXT;

      OP(ReadElement): *in->result = read_element(in->node->symbol, in->left); NEXT;
      OP(WriteElement): write_element(in->node->symbol, in->left, *in->right); NEXT;

      OP(Jump): next = first + in->index; NEXT;
      OP(JumpIfTrue): if (float_flag(*in->left)) next = first + in->index; NEXT;
      OP(JumpIfFalse): if (!float_flag(*in->left)) next = first + in->index; NEXT;
      OP(JumpIfEqual): if (*in->left == *in->right) next = first + in->index; NEXT;
      OP(JumpIfNotEqual): if (*in->left != *in->right) next = first + in->index; NEXT;
      OP(JumpIfGreater): if (*in->left > *in->right) next = first + in->index; NEXT;
      OP(JumpIfLess): if (*in->left < *in->right) next = first + in->index; NEXT;
      OP(JumpIfGreaterEqual): if (*in->left >= *in->right) next = first + in->index; NEXT;
      OP(JumpIfLessEqual): if (*in->left <= *in->right) next = first + in->index; NEXT;
      OP(JumpUnlessEqual): if (!(*in->left == *in->right)) next = first + in->index; NEXT;
      OP(JumpUnlessNotEqual): if (!(*in->left != *in->right)) next = first + in->index; NEXT;
      OP(JumpUnlessGreater): if (!(*in->left > *in->right)) next = first + in->index; NEXT;
      OP(JumpUnlessLess): if (!(*in->left < *in->right)) next = first + in->index; NEXT;
      OP(JumpUnlessGreaterEqual): if (!(*in->left >= *in->right)) next = first + in->index; NEXT;
      OP(JumpUnlessLessEqual): if (!(*in->left <= *in->right)) next = first + in->index; NEXT;

      OP(Statement):
        if (stopped()) return;
        count_script_statement(activity_, stop_);
        NEXT;
      OP(CheckStop):
        if (stopped()) return;
        NEXT;
      OP(CountStatement): count_script_statement(activity_, stop_); NEXT;

      OP(Print): print(*in); NEXT;
      OP(Sleep): sleep(*in->left); NEXT;
      OP(SceneCommand): scene_command(*in, code); NEXT;
      OP(Verb): *in->result = verb(*in); NEXT;
      OP(Call): *in->result = call(*in, code); NEXT;
      OP(Return):
        return_value_ = *in->left;
        returning_ = true;
        return;
      OP(Exit):
        // Winds every running Code down, as a stop does: each call returns at
        // its next check, and nothing more is posted.
        exited_ = true;
        return;
      OP(End): return;
    }
  }
}
#undef OP
#undef NEXT

Code& Interpreter::function_code(const Symbol* function) {
  std::unique_ptr<Code>& code = functions_[function->body];
  if (!code) code = compile(function->body);
  return *code;
}

// The arguments are read in the caller's frame; the function's own symbols are
// saved, start again at 0 for the body, and are restored afterwards, so that a
// recursive call leaves its caller's values as they were. A function entered
// again while it runs also has its temporaries saved: they hold the partial
// values of the expression that made the inner call.
float Interpreter::call(const Instruction& call, const Code& caller) {
  size_t arguments_base = arguments_.size();
  for (const float* const* argument = caller.lists.data() + call.index; *argument; ++argument)
    arguments_.push_back(**argument);
  size_t given = arguments_.size() - arguments_base;

  Symbol* function = call.node->symbol;
  if (call_depth_ >= MAX_CALL_DEPTH && function->kind == SYMBOL_FUNCTION && !stopped() &&
      depth_warned_.insert(call.node).second) {
    report_warning(call.node->at,
                   "calls nested deeper than " + std::to_string(MAX_CALL_DEPTH) + ": this call gives 0 without running",
                   function->name);
  }
  if (function->kind != SYMBOL_FUNCTION || !function->body || stopped() || call_depth_ >= MAX_CALL_DEPTH) {
    arguments_.resize(arguments_base);
    return 0.0f;
  }
  Code& body = function_code(function);

  size_t values_base = saved_values_.size();
  size_t elements_base = saved_elements_.size();
  for (Symbol* local : function->locals) {
    saved_values_.push_back(local->value);
    local->value = 0.0f;
    if (!local->elements.empty()) {
      saved_elements_.push_back(local->elements);
      std::fill(local->elements.begin(), local->elements.end(), 0.0f);
    }
  }
  bool reentered = body.active > 0;
  if (reentered) saved_values_.insert(saved_values_.end(), body.temporaries.begin(), body.temporaries.end());
  for (size_t i = 0; i < function->params.size() && i < given; ++i) {
    function->params[i]->value = arguments_[arguments_base + i];
  }
  arguments_.resize(arguments_base);

  ++call_depth_;
  ++body.active;
  execute(body);
  --body.active;
  --call_depth_;
  float result = returning_ ? return_value_ : 0.0f;
  returning_ = false;

  size_t value = values_base;
  size_t elements = elements_base;
  for (Symbol* local : function->locals) {
    local->value = saved_values_[value++];
    if (!local->elements.empty()) local->elements = std::move(saved_elements_[elements++]);
  }
  if (reentered) std::copy_n(saved_values_.begin() + value, body.temporaries.size(), body.temporaries.begin());
  saved_values_.resize(values_base);
  saved_elements_.resize(elements_base);
  return result;
}

float Interpreter::random_between(float low_value, float high_value) {
  int64_t low = float_to_int(low_value);
  int64_t high = float_to_int(high_value);
  int64_t range = high - low + 1;
  int64_t drawn = next_random();
  if (range == 0) return static_cast<float>(low);  // hi = lo - 1: no values to pick from
  return static_cast<float>(low + drawn % range);
}

void Interpreter::scene_command(const Instruction& scene, const Code& code) {
  if (stopped()) return;  // an argument's call met an exit
  CommandSlot command{};
  const float* const* arguments = code.lists.data() + scene.index;
  for (int i = 0; i < NODE_CHILDREN; ++i) command.args[i] = *arguments[i];
  copy_name(&command, scene.node->symbol);
  command.state = static_cast<uint8_t>(scene_type_code(scene.node->kind));
  posting_from_ = scene.node->at;
  post_(command, false);
}

float Interpreter::verb(const Instruction& verb) {
  if (stopped()) return 0.0f;
  CommandSlot command{};
  command.args[0] = *verb.left;
  command.args[1] = *verb.right;
  copy_name(&command, verb.node->symbol);
  command.state = static_cast<uint8_t>(verb_type(verb.node->kind));
  posting_from_ = verb.node->at;
  return static_cast<float>(post_(command, true));
}

void Interpreter::print(const Instruction& print) {
  std::string text;
  if (print.left) {
    char number[64];
    std::snprintf(number, sizeof number, "%f", static_cast<double>(*print.left));
    text = std::string("script print: ") + number;
  } else {
    text = "script print: " + (print.node->symbol ? print.node->symbol->name : std::string());
  }
  if (stopped()) return;
  show_print(text);
}

void Interpreter::sleep(float milliseconds) {
  int32_t total = float_to_int(milliseconds);
  if (total <= 0) return;
  uint32_t start = engine_clock_now();
  begin_script_wait(ScriptWait::Sleeping, nullptr, start + static_cast<uint32_t>(total));
  for (;;) {
    if (stopped()) break;
    uint32_t elapsed = engine_clock_now() - start;
    if (elapsed >= static_cast<uint32_t>(total)) break;
    platform::sleep_ms(std::min<uint32_t>(script_poll_ms(), static_cast<uint32_t>(total) - elapsed));
  }
  end_script_wait();
}
