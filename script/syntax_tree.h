// The parsed script: SyntaxNode records, the Symbol list and the Script that owns
// both. The parser builds a Script on the main thread before the script thread
// exists; from then on the tree and the symbols belong to the script thread alone
// (the render thread never reads them). Nodes and symbols live in the Script's own
// storage, so a tree of any length is released without recursion.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "script/source_spot.h"

// Node kinds. The numbers are part of the language's interface; 70 and 71 carry
// function definitions and return, which have no number of their own.
enum NodeKind : int32_t {
  N_SEQ = 0,
  N_EMPTY = 1,
  N_EXPR = 2,
  N_PRINT = 3,
  N_WHILE = 4,
  N_IF = 5,
  N_IFELSE = 6,
  N_ERROR = 7,
  N_SLEEP = 8,
  N_OBJECT = 9,
  N_DEFORM = 10,
  N_SCENE = 11,
  N_SKYBOX = 12,
  N_FLARE = 13,
  N_LIGHT = 14,
  N_WATER = 15,
  N_BLOOM = 16,
  N_BLUR = 17,
  N_SHADOW = 18,
  N_CSG = 19,
  N_GLOW = 20,
  N_FLUIDE = 21,
  N_FRAMER = 22,
  N_LOAD = 23,
  N_DELETE = 24,
  N_NEW = 25,
  N_TEXGFX = 26,
  N_PARTICLE = 27,
  N_RADIO = 28,
  N_STATUS = 29,
  N_SIN = 30,
  N_COS = 31,
  N_TAN = 32,
  N_ASIN = 33,
  N_ACOS = 34,
  N_ATAN = 35,
  N_SQRT = 36,
  N_RANDOM = 37,
  N_EQ = 38,
  N_NE = 39,
  N_GT = 40,
  N_LT = 41,
  N_GE = 42,
  N_LE = 43,
  N_ASSIGN = 44,
  N_ADD = 45,
  N_SUB = 46,
  N_MUL = 47,
  N_DIV = 48,
  N_VAR = 49,
  N_NUM = 50,
  N_NEG = 51,
  N_TIME = 52,
  N_LVALUE = 53,
  N_INC = 54,
  N_DEC = 55,
  N_ADDTO = 56,
  N_SUBFROM = 57,
  N_DIVBY = 58,
  N_MULBY = 59,
  N_FOR = 60,
  N_REM = 61,
  N_REMFROM = 62,
  N_INT = 63,
  N_AND = 64,
  N_OR = 65,
  N_NOT = 66,
  N_ARGS = 67,
  N_CALL = 68,
  N_EXIT = 69,
  N_FUNCTION = 70,  // symbol = the function, child0 = its body; evaluates to nothing
  N_RETURN = 71,    // child0 = the value handed back to the call
};

constexpr int NODE_CHILDREN = 5;

struct Symbol;

struct SyntaxNode {
  int32_t kind = N_EMPTY;
  float value = 0.0f;                         // N_NUM: the literal; unused otherwise
  Symbol* symbol = nullptr;                   // variable, function, command or quoted name
  SyntaxNode* child[NODE_CHILDREN] = {};      // operands in order; absent ones null
  SourceSpot at;  // calls, scene statements and verbs: their name's place, for diagnostics
};

enum SymbolKind : int32_t {
  SYMBOL_PLAIN = 0,
  SYMBOL_ARRAY = 2,
  SYMBOL_FUNCTION = 3,
};

// The most elements an array may be declared with (2^24, 64 MB of floats; an
// index above it could not even be written exactly as a float).
constexpr int32_t MAX_ARRAY_ELEMENTS = 16777216;

// One per distinct name and scope.
struct Symbol {
  std::string name;
  float value = 0.0f;                 // scalar value
  int32_t kind = SYMBOL_PLAIN;
  Symbol* next = nullptr;             // next in the list, in order of creation
  std::vector<float> elements;        // array storage, zeroed when declared
  std::vector<Symbol*> params;        // function: its parameters, in order
  Symbol* scope = nullptr;            // function whose definition first named it; null: top level
  SyntaxNode* body = nullptr;         // function: the body of its last definition
  std::vector<Symbol*> locals;        // function: every symbol of its scope, parameters included
};

// The scene statement kinds and the type codes their commands carry in the ring.
// -1 for a kind that is not a scene statement.
int scene_type_code(int32_t kind);
// Whether a scene statement kind takes an element number before its command name.
bool scene_has_index(int32_t kind);

// A parsed script: the tree, the symbols and the error count of its parse.
class Script {
 public:
  Script() = default;
  Script(const Script&) = delete;
  Script& operator=(const Script&) = delete;

  SyntaxNode* node(int32_t kind, SyntaxNode* c0 = nullptr, SyntaxNode* c1 = nullptr,
                   SyntaxNode* c2 = nullptr, SyntaxNode* c3 = nullptr, SyntaxNode* c4 = nullptr);
  SyntaxNode* number(float value);

  // The symbol of that name in that scope, created (value 0, plain) when absent.
  Symbol* intern(const std::string& name, Symbol* scope);
  // The symbol of that name in that scope, or null.
  Symbol* find(const std::string& name, Symbol* scope) const;

  Symbol* first_symbol() const { return first_; }

  SyntaxNode* root = nullptr;  // the statement list; null when parsing was abandoned
  int errors = 0;              // errors reported while parsing; the script runs only at 0

 private:
  struct Key {
    std::string name;
    const Symbol* scope;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    size_t operator()(const Key& key) const;
  };

  std::deque<SyntaxNode> nodes_;
  std::deque<Symbol> symbols_;
  std::unordered_map<Key, Symbol*, KeyHash> index_;
  Symbol* first_ = nullptr;
  Symbol* last_ = nullptr;
};
