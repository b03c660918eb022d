// Compiling a syntax tree into Code. Every expression is compiled into the
// instructions that compute it and the address where its value then lies: a
// constant, a variable's own storage or a temporary. Temporaries are taken and
// given back in stack order, one statement at a time, so a Code needs only as
// many as its deepest expression.
//
// The order of evaluation is the tree's: operands from left to right, each
// subtree's instructions in full before the next one's. Because a variable's
// value is read by address only when the instruction that uses it runs, a
// variable operand is first copied into a temporary when code compiled after
// it, before that instruction, may assign to it: in x + (x = 5) the left side
// is the old x.
#include "script/compiler.h"

#include <vector>

namespace {

// Where an expression's value lies once its instructions have run.
struct Value {
  const float* address;
  bool variable;  // a variable's own storage, which later instructions may change
};

bool is_comparison(int32_t kind) { return kind >= N_EQ && kind <= N_LE; }

bool is_binary(int32_t kind) {
  return is_comparison(kind) || (kind >= N_ADD && kind <= N_DIV) || kind == N_REM || kind == N_AND ||
         kind == N_OR;
}

Op binary_op(int32_t kind) {
  switch (kind) {
    case N_EQ: return Op::Equal;
    case N_NE: return Op::NotEqual;
    case N_GT: return Op::Greater;
    case N_LT: return Op::Less;
    case N_GE: return Op::GreaterEqual;
    case N_LE: return Op::LessEqual;
    case N_ADD: return Op::Add;
    case N_SUB: return Op::Subtract;
    case N_MUL: return Op::Multiply;
    case N_DIV: return Op::Divide;
    case N_REM: return Op::Remainder;
    case N_AND: return Op::And;
    default: return Op::Or;
  }
}

// The jump taken when the comparison `kind` holds (when) or fails (!when).
Op comparison_jump(int32_t kind, bool when) {
  switch (kind) {
    case N_EQ: return when ? Op::JumpIfEqual : Op::JumpUnlessEqual;
    case N_NE: return when ? Op::JumpIfNotEqual : Op::JumpUnlessNotEqual;
    case N_GT: return when ? Op::JumpIfGreater : Op::JumpUnlessGreater;
    case N_LT: return when ? Op::JumpIfLess : Op::JumpUnlessLess;
    case N_GE: return when ? Op::JumpIfGreaterEqual : Op::JumpUnlessGreaterEqual;
    default: return when ? Op::JumpIfLessEqual : Op::JumpUnlessLessEqual;
  }
}

Op compound_op(int32_t kind) {
  switch (kind) {
    case N_ADDTO: return Op::Add;
    case N_SUBFROM: return Op::Subtract;
    case N_MULBY: return Op::Multiply;
    case N_DIVBY: return Op::Divide;
    default: return Op::Remainder;
  }
}

Op unary_op(int32_t kind) {
  switch (kind) {
    case N_NEG: return Op::Negate;
    case N_NOT: return Op::Not;
    case N_INT: return Op::Truncate;
    case N_SIN: return Op::Sin;
    case N_COS: return Op::Cos;
    case N_TAN: return Op::Tan;
    case N_ASIN: return Op::Asin;
    case N_ACOS: return Op::Acos;
    case N_ATAN: return Op::Atan;
    default: return Op::Sqrt;
  }
}

// Whether evaluating a node of this kind may assign to a variable. A call
// counts: its arguments may, and the function's body runs in the meantime.
bool assigns(int32_t kind) {
  switch (kind) {
    case N_ASSIGN:
    case N_INC:
    case N_DEC:
    case N_ADDTO:
    case N_SUBFROM:
    case N_DIVBY:
    case N_MULBY:
    case N_REMFROM:
    case N_CALL:
      return true;
    default:
      return false;
  }
}

// Whether some node of the subtree may assign. Only small subtrees are looked
// through (the budget); a larger one is taken to assign, which costs one copy
// and keeps the search from growing with the square of a long expression.
bool may_assign(const SyntaxNode* node, int* budget) {
  if (!node) return false;
  if (assigns(node->kind) || --*budget < 0) return true;
  for (const SyntaxNode* child : node->child) {
    if (may_assign(child, budget)) return true;
  }
  return false;
}

bool may_assign(const SyntaxNode* node) {
  int budget = 32;
  return may_assign(node, &budget);
}

class Compiler {
 public:
  explicit Compiler(Code* code) : code_(*code) {}

  void statement(const SyntaxNode* node);

 private:
  void statements(const SyntaxNode* list);
  void conditional(const SyntaxNode* node);
  void loop(const SyntaxNode* init, const SyntaxNode* condition, const SyntaxNode* step, const SyntaxNode* body);
  void scene_command(const SyntaxNode* node);
  void discard(const SyntaxNode* expression_node);
  int branch(const SyntaxNode* condition, bool when, int target);

  // into, when given, is a scalar variable's storage that the value is to end
  // in: the expression's last instruction then writes it there directly.
  Value expression(const SyntaxNode* node, float* into = nullptr);
  Value binary(const SyntaxNode* node, float* into);
  Value unary(Op op, const SyntaxNode* operand, float* into);
  Value assignment(const SyntaxNode* node);
  Value update(const SyntaxNode* target, Op op, const SyntaxNode* operand, float step);
  Value call(const SyntaxNode* node, float* into);
  Value verb(const SyntaxNode* node, float* into);
  Value element(const SyntaxNode* target, float* into);
  const float* index_of(const SyntaxNode* target);

  // The value itself, copied into a temporary when it is a variable that a later
  // part of the same expression may assign to.
  Value held(Value value, bool later_code_assigns);

  const float* constant(float value);
  float* temporary();
  float* destination(float* into) { return into ? into : temporary(); }
  static Value produced(float* result, const float* into) { return {result, result == into}; }

  int emit(Op op, float* result = nullptr, const float* left = nullptr, const float* right = nullptr,
           const SyntaxNode* node = nullptr, int32_t index = 0);
  int here() const { return static_cast<int>(code_.instructions.size()); }
  void land(int jump) { code_.instructions[jump].index = here(); }

  Code& code_;
  size_t temporaries_in_use_ = 0;
};

int Compiler::emit(Op op, float* result, const float* left, const float* right, const SyntaxNode* node,
                   int32_t index) {
  code_.instructions.push_back(Instruction{op, index, result, left, right, node});
  return here() - 1;
}

const float* Compiler::constant(float value) {
  code_.constants.push_back(value);
  return &code_.constants.back();
}

float* Compiler::temporary() {
  if (temporaries_in_use_ == code_.temporaries.size()) code_.temporaries.push_back(0.0f);
  return &code_.temporaries[temporaries_in_use_++];
}

Value Compiler::held(Value value, bool later_code_assigns) {
  if (!value.variable || !later_code_assigns) return value;
  float* copy = temporary();
  emit(Op::Copy, copy, value.address);
  return {copy, false};
}

// Statements.

void Compiler::statement(const SyntaxNode* node) {
  if (!node) return;
  size_t mark = temporaries_in_use_;
  const SyntaxNode* const* c = node->child;
  switch (node->kind) {
    case N_SEQ:
      statements(node);
      break;
    case N_EXPR:
      discard(c[0]);
      break;
    case N_PRINT:
      // print "name" has no operand; the name is the node's symbol.
      emit(Op::Print, nullptr, c[0] ? expression(c[0]).address : nullptr, nullptr, node);
      break;
    case N_WHILE:
      loop(nullptr, c[0], nullptr, c[1]);
      break;
    case N_FOR:
      loop(c[0], c[1], c[2], c[3]);
      break;
    case N_IF:
    case N_IFELSE:
      conditional(node);
      break;
    case N_SLEEP:
      emit(Op::Sleep, nullptr, expression(c[0]).address);
      break;
    case N_RETURN:
      emit(Op::Return, nullptr, expression(c[0]).address);
      break;
    case N_EXIT:
      emit(Op::Exit);
      break;
    case N_EMPTY:
    case N_ERROR:
    case N_FUNCTION:  // a definition runs nothing; calls compile its body
      break;
    default:
      if (scene_type_code(node->kind) >= 0) {
        scene_command(node);
      } else {
        discard(node);  // an expression standing as a statement
      }
      break;
  }
  temporaries_in_use_ = mark;
}

// A statement list is a left-leaning chain of N_SEQ nodes, one per statement,
// the first statement deepest. It is gathered first, so that a list of any
// length compiles without deepening the stack; each statement is preceded by
// its stop check and count.
void Compiler::statements(const SyntaxNode* list) {
  std::vector<const SyntaxNode*> chain;
  for (; list && list->kind == N_SEQ; list = list->child[0]) chain.push_back(list);
  statement(list);  // the innermost list, N_EMPTY as the parser builds it
  for (size_t i = chain.size(); i-- > 0;) {
    emit(Op::Statement);
    statement(chain[i]->child[1]);
  }
}

void Compiler::discard(const SyntaxNode* expression_node) {
  size_t mark = temporaries_in_use_;
  expression(expression_node);
  temporaries_in_use_ = mark;
}

void Compiler::conditional(const SyntaxNode* node) {
  int to_else = branch(node->child[0], false, 0);
  statement(node->child[1]);
  if (!node->child[2]) {
    land(to_else);
    return;
  }
  int to_end = emit(Op::Jump);
  land(to_else);
  statement(node->child[2]);
  land(to_end);
}

// The loop's condition is compiled after its body, so a round takes one jump:
//   init; jump C; B: count; body; [check; step;] C: check; if condition jump B
// The checks are where the tree-walk looked at the stop flag: before each
// condition and, when there is a step, before the step.
void Compiler::loop(const SyntaxNode* init, const SyntaxNode* condition, const SyntaxNode* step,
                    const SyntaxNode* body) {
  if (init) discard(init);
  int to_condition = emit(Op::Jump);
  int round = here();
  emit(Op::CountStatement);
  statement(body);
  if (step) {
    emit(Op::CheckStop);
    discard(step);
  }
  land(to_condition);
  emit(Op::CheckStop);
  branch(condition, true, round);
}

// One conditional jump to target (landed later when not known yet), taken when
// the condition's truth equals when. A comparison jumps on its operands at
// once instead of making its 1 or 0 first.
int Compiler::branch(const SyntaxNode* condition, bool when, int target) {
  size_t mark = temporaries_in_use_;
  int jump;
  if (condition && is_comparison(condition->kind)) {
    Value left = held(expression(condition->child[0]), may_assign(condition->child[1]));
    Value right = expression(condition->child[1]);
    jump = emit(comparison_jump(condition->kind, when), nullptr, left.address, right.address, nullptr, target);
  } else {
    Value truth = expression(condition);
    jump = emit(when ? Op::JumpIfTrue : Op::JumpIfFalse, nullptr, truth.address, nullptr, nullptr, target);
  }
  temporaries_in_use_ = mark;
  return jump;
}

// The element number (when the keyword takes one) and the command's arguments
// are child 0 onwards; absent ones are 0.
void Compiler::scene_command(const SyntaxNode* node) {
  const float* arguments[NODE_CHILDREN];
  for (int i = 0; i < NODE_CHILDREN; ++i) {
    if (!node->child[i]) {
      arguments[i] = constant(0.0f);
      continue;
    }
    bool later_code_assigns = false;
    for (int later = i + 1; later < NODE_CHILDREN; ++later) later_code_assigns |= may_assign(node->child[later]);
    arguments[i] = held(expression(node->child[i]), later_code_assigns).address;
  }
  int32_t first = static_cast<int32_t>(code_.lists.size());
  code_.lists.insert(code_.lists.end(), arguments, arguments + NODE_CHILDREN);
  emit(Op::SceneCommand, nullptr, nullptr, nullptr, node, first);
}

// Expressions.

Value Compiler::expression(const SyntaxNode* node, float* into) {
  if (!node) return {constant(0.0f), false};
  const SyntaxNode* const* c = node->child;
  if (is_binary(node->kind)) return binary(node, into);
  switch (node->kind) {
    case N_NUM:
      return {constant(node->value), false};
    case N_VAR:
    case N_LVALUE:
      if (node->symbol->kind == SYMBOL_ARRAY) return element(node, into);
      return {&node->symbol->value, true};  // an index after a scalar's name is not evaluated
    case N_ASSIGN:
      return assignment(node);
    case N_ADDTO:
    case N_SUBFROM:
    case N_DIVBY:
    case N_MULBY:
    case N_REMFROM:
      return update(c[0], compound_op(node->kind), c[1], 0.0f);
    case N_INC:
    case N_DEC:
      // Either side of the name, the value is the new one.
      return update(c[0], Op::Add, nullptr, node->kind == N_INC ? 1.0f : -1.0f);
    case N_NEG:
    case N_NOT:
    case N_INT:
    case N_SIN:
    case N_COS:
    case N_TAN:
    case N_ASIN:
    case N_ACOS:
    case N_ATAN:
    case N_SQRT:
      return unary(unary_op(node->kind), c[0], into);
    case N_TIME: {
      float* result = destination(into);
      emit(Op::Time, result);
      return produced(result, into);
    }
    case N_RANDOM: {
      size_t mark = temporaries_in_use_;
      if (!c[0]) {
        float* result = destination(into);
        emit(Op::Random, result);
        return produced(result, into);
      }
      Value low = held(expression(c[0]), may_assign(c[1]));
      Value high = expression(c[1]);
      temporaries_in_use_ = mark;
      float* result = destination(into);
      emit(Op::RandomBetween, result, low.address, high.address);
      return produced(result, into);
    }
    case N_CALL:
      return call(node, into);
    case N_LOAD:
    case N_DELETE:
    case N_NEW:
    case N_STATUS:
      return verb(node, into);
    case N_ARGS:
      // Only a call's argument list holds these; standing alone, both run.
      discard(c[0]);
      discard(c[1]);
      return {constant(0.0f), false};
    default:
      // A statement where a value is expected: it runs and gives 0.
      statement(node);
      return {constant(0.0f), false};
  }
}

// A left-leaning chain (a + b + c ..., the way the grammar builds sums and
// comparisons) is compiled from its innermost operand outwards without
// recursion, so a long one-line sum does not deepen the stack.
Value Compiler::binary(const SyntaxNode* node, float* into) {
  std::vector<const SyntaxNode*> chain;
  for (const SyntaxNode* link = node; link && is_binary(link->kind); link = link->child[0]) chain.push_back(link);
  size_t mark = temporaries_in_use_;
  Value left = expression(chain.back()->child[0]);
  for (size_t i = chain.size(); i-- > 0;) {
    const SyntaxNode* link = chain[i];
    left = held(left, may_assign(link->child[1]));
    Value right = expression(link->child[1]);
    temporaries_in_use_ = mark;
    float* result = i == 0 ? destination(into) : temporary();
    emit(binary_op(link->kind), result, left.address, right.address);
    left = produced(result, into);
  }
  return left;
}

Value Compiler::unary(Op op, const SyntaxNode* operand, float* into) {
  size_t mark = temporaries_in_use_;
  Value value = expression(operand);
  temporaries_in_use_ = mark;
  float* result = destination(into);
  emit(op, result, value.address);
  return produced(result, into);
}

// The value first, then (for an array) the element's index.
Value Compiler::assignment(const SyntaxNode* node) {
  const SyntaxNode* target = node->child[0];
  Symbol* symbol = target->symbol;
  if (symbol->kind != SYMBOL_ARRAY) {
    Value value = expression(node->child[1], &symbol->value);
    if (value.address != &symbol->value) emit(Op::Copy, &symbol->value, value.address);
    return {&symbol->value, true};
  }
  Value value = held(expression(node->child[1]), may_assign(target->child[0]));
  // The value's temporary stays taken: it is this expression's value.
  emit(Op::WriteElement, nullptr, index_of(target), value.address, target);
  return value;
}

// x op= operand, and x++ / x-- as x + step when there is no operand node. The
// variable is read before the operand runs, and an element's index is
// evaluated again for the store, side effects and all: a[i++] += 1 raises i by 2.
Value Compiler::update(const SyntaxNode* target, Op op, const SyntaxNode* operand, float step) {
  auto operand_value = [&] { return operand ? expression(operand) : Value{constant(step), false}; };
  Symbol* symbol = target->symbol;
  if (symbol->kind != SYMBOL_ARRAY) {
    float* variable = &symbol->value;
    Value current = held({variable, true}, may_assign(operand));
    Value value = operand_value();
    emit(op, variable, current.address, value.address);
    return {variable, true};
  }
  float* current = temporary();  // stays taken: it is this expression's value
  size_t mark = temporaries_in_use_;
  emit(Op::ReadElement, current, index_of(target), nullptr, target);
  temporaries_in_use_ = mark;
  emit(op, current, current, operand_value().address);
  temporaries_in_use_ = mark;
  emit(Op::WriteElement, nullptr, index_of(target), current, target);
  temporaries_in_use_ = mark;
  return {current, false};
}

const float* Compiler::index_of(const SyntaxNode* target) {
  // An array name without an index stands for element 0.
  return target->child[0] ? expression(target->child[0]).address : nullptr;
}

Value Compiler::element(const SyntaxNode* target, float* into) {
  size_t mark = temporaries_in_use_;
  const float* index = index_of(target);
  temporaries_in_use_ = mark;
  float* result = destination(into);
  emit(Op::ReadElement, result, index, nullptr, target);
  return produced(result, into);
}

// Arguments are evaluated in order into the caller's temporaries; the call
// reads them all before it resets the function's own symbols.
Value Compiler::call(const SyntaxNode* node, float* into) {
  size_t mark = temporaries_in_use_;
  std::vector<const float*> arguments;
  for (const SyntaxNode* list = node->child[0]; list && list->kind != N_EMPTY;) {
    bool more = list->kind == N_ARGS;
    const SyntaxNode* argument = more ? list->child[0] : list;
    const SyntaxNode* rest = more ? list->child[1] : nullptr;
    arguments.push_back(held(expression(argument), may_assign(rest)).address);
    list = rest;
  }
  int32_t first = static_cast<int32_t>(code_.lists.size());
  code_.lists.insert(code_.lists.end(), arguments.begin(), arguments.end());
  code_.lists.push_back(nullptr);
  temporaries_in_use_ = mark;
  float* result = destination(into);
  emit(Op::Call, result, nullptr, nullptr, node, first);
  return produced(result, into);
}

// A verb's two arguments: without them -1 and 0.
Value Compiler::verb(const SyntaxNode* node, float* into) {
  size_t mark = temporaries_in_use_;
  const SyntaxNode* const* c = node->child;
  Value first = c[0] ? held(expression(c[0]), may_assign(c[1])) : Value{constant(-1.0f), false};
  Value second = c[1] ? expression(c[1]) : Value{constant(0.0f), false};
  temporaries_in_use_ = mark;
  float* result = destination(into);
  emit(Op::Verb, result, first.address, second.address, node);
  return produced(result, into);
}

}  // namespace

std::unique_ptr<Code> compile(const SyntaxNode* statements) {
  auto code = std::make_unique<Code>();
  Compiler compiler(code.get());
  compiler.statement(statements);
  code->instructions.push_back(Instruction{Op::End});
  return code;
}
