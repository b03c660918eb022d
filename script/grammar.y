/* The script grammar. Actions only build nodes and look names up; all meaning is
 * in the interpreter. The %token order below fixes the token numbers that the
 * lexer returns (258 TT_ERROR ... 333 T_MUL); change both together, and add no
 * token: a new form is written with the tokens there are. Error recovery is the
 * `error ;` statement with bison's rule that a new error is reported only after
 * three tokens have been shifted. Locations (line and column of every symbol)
 * serve the diagnostics only; the message boxes quote the lexer's current line. */

%code requires {
#include "script/syntax_tree.h"
struct ParseContext;
}

%code top {
#include "script/parser.h"
#define YYINITDEPTH PARSER_STACK_INITIAL
#define YYMAXDEPTH PARSER_STACK_MAX
}

%code {
#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/convert.h"
#include "script/command_ring.h"
#include "script/keywords.h"
#include "script/lexer.h"
#include "script/messages.h"

struct ParseContext {
  Script* script = nullptr;
  Lexer* lexer = nullptr;
  Symbol* function = nullptr;  // the function whose definition is being read; null outside

  // Warnings are reported once the whole script has been read, after its errors.
  struct Warning {
    SourceSpot at;
    std::string what, token;
  };
  std::vector<Warning> warnings;
  // Calls of a name that was no function when the call was read.
  struct EarlyCall {
    Symbol* symbol;
    SourceSpot at;
    int given;
  };
  std::vector<EarlyCall> early_calls;
  std::unordered_map<std::string, int> defined_on_line;  // function name: line of its first definition
};

namespace {

SourceSpot spot(const SCRIPTLTYPE& location) { return SourceSpot{location.first_line, location.first_column}; }

int scriptlex(SCRIPTSTYPE* value, SCRIPTLTYPE* location, ParseContext* ctx) {
  int token = ctx->lexer->next_token(value);
  const SourceSpot at = ctx->lexer->token_at;
  location->first_line = location->last_line = at.line;
  location->first_column = at.column;
  location->last_column = at.column + static_cast<int>(ctx->lexer->token_text.size());
  return token;
}

// A syntax error is found at the lookahead token, the one the lexer read last.
void scripterror(SCRIPTLTYPE* location, ParseContext* ctx, const char* message) {
  ++ctx->script->errors;
  report_syntax_error(ctx->lexer->line, message, spot(*location), ctx->lexer->token_text);
}

void warn(ParseContext* ctx, SourceSpot at, std::string what, std::string token) {
  ctx->warnings.push_back({at, std::move(what), std::move(token)});
}

// A name that travels to the render thread in a command slot: one longer than
// the slot holds arrives cut, which the script writer should hear about.
Symbol* sent(ParseContext* ctx, Symbol* name, SourceSpot at) {
  constexpr size_t kept = COMMAND_NAME_SIZE - 1;
  if (name->name.size() > kept)
    warn(ctx, at, "name longer than " + std::to_string(kept) + " characters: the command carries only '" +
                      name->name.substr(0, kept) + "'", name->name);
  return name;
}

SyntaxNode* placed(SyntaxNode* node, const SCRIPTLTYPE& location) {
  node->at = spot(location);
  return node;
}

// identifier: a name in the scope of the function being defined.
Symbol* name_symbol(ParseContext* ctx, char* text) {
  Symbol* symbol = ctx->script->intern(text, ctx->function);
  std::free(text);
  return symbol;
}

// The function a call names: one defined in the current scope or in a scope that
// encloses it (so a body reaches itself and the top level); otherwise the name as
// any identifier, which is not a function.
Symbol* called_symbol(ParseContext* ctx, char* text) {
  for (Symbol* scope = ctx->function;; scope = scope->scope) {
    Symbol* found = ctx->script->find(text, scope);
    if (found && found->kind == SYMBOL_FUNCTION) {
      std::free(text);
      return found;
    }
    if (!scope) break;
  }
  return name_symbol(ctx, text);
}

int argument_count(const SyntaxNode* list) {
  if (list->kind == N_EMPTY) return 0;
  int count = 1;
  for (; list->kind == N_ARGS; list = list->child[1]) ++count;
  return count;
}

SyntaxNode* call(ParseContext* ctx, Symbol* function, SyntaxNode* arguments, SourceSpot at) {
  SyntaxNode* made = ctx->script->node(N_CALL, arguments);
  made->symbol = function;
  made->at = at;
  int given = argument_count(arguments);
  int expected = function->kind == SYMBOL_FUNCTION ? static_cast<int>(function->params.size()) : 0;
  if (function->kind != SYMBOL_FUNCTION) ctx->early_calls.push_back({function, at, given});
  if (given != expected) {
    ++ctx->script->errors;
    report_argument_count(ctx->lexer->line, function->name, given, expected, at);
  }
  return made;
}

// The calls of names that were no function where they stood. A call before
// the definition in the same scope runs the function when it takes no
// arguments (and was reported when it gave some); any other gives 0.
void warn_about_early_calls(ParseContext* ctx) {
  for (const ParseContext::EarlyCall& call : ctx->early_calls) {
    const std::string& name = call.symbol->name;
    auto defined = ctx->defined_on_line.find(name);
    if (call.symbol->kind == SYMBOL_FUNCTION && call.given == 0) continue;
    if (defined != ctx->defined_on_line.end())
      warn(ctx, call.at,
           "'" + name + "' is no function yet here (it is defined on line " + std::to_string(defined->second) +
               "): define a function before its first call",
           name);
    else
      warn(ctx, call.at, "'" + name + "' is no function: the call gives 0", name);
  }
}

SyntaxNode* named(SyntaxNode* node, Symbol* symbol) {
  node->symbol = symbol;
  return node;
}

// A command name with its arguments, held until the statement's keyword is known.
SyntaxNode* command(ParseContext* ctx, Symbol* name, const SCRIPTLTYPE& where, SyntaxNode* a0 = nullptr,
                    SyntaxNode* a1 = nullptr, SyntaxNode* a2 = nullptr, SyntaxNode* a3 = nullptr,
                    SyntaxNode* a4 = nullptr) {
  SyntaxNode* made = named(ctx->script->node(N_EMPTY, a0, a1, a2, a3, a4), sent(ctx, name, spot(where)));
  return placed(made, where);
}

// A scene statement: child0 is the element number for the keywords that take one,
// and the arguments follow in order.
SyntaxNode* scene(ParseContext* ctx, int32_t kind, SyntaxNode* index, SyntaxNode* form) {
  SyntaxNode* made = ctx->script->node(kind);
  made->symbol = form->symbol;
  made->at = form->at;
  int next = 0;
  if (index) made->child[next++] = index;
  for (int i = 0; next < NODE_CHILDREN; ++i) made->child[next++] = form->child[i];
  return made;
}

}  // namespace
}

%define api.pure full
%define api.prefix {script}
%locations
%parse-param {ParseContext* ctx}
%lex-param {ParseContext* ctx}
%expect 1

%union {
  char* text;         /* T_ID: a malloc'ed copy of the identifier */
  float number;       /* T_NUM */
  int token;          /* class_keyword: which keyword */
  SyntaxNode* node;
  Symbol* symbol;
}

%token TT_ERROR T_IF T_ELSE T_PRINT T_WHILE T_FOR T_ASSIGN T_EQUAL T_ENDSTMT T_COMMA
%token T_OPENPAR T_CLOSEPAR T_OPENBRACK T_CLOSEBRACK T_BEGINCS T_ENDCS T_FUNCTION T_RETURN
%token T_EXIT T_SLEEP T_SIN T_COS T_TAN T_ASIN T_ACOS T_ATAN T_SQRT T_RANDOM T_TIME T_ARRAY
%token T_INT T_AND T_OR T_NOT T_INCREMENT T_DECREMENT T_ADDTO T_SUBFROM T_DIVBY T_MULBY
%token T_REMFROM T_REMAINDER T_DOT T_COMMAS T_OBJECT T_SCENE T_LOAD T_DELETE T_SKYBOX T_RADIO
%token T_FLUIDE T_WATER T_LIGHT T_FLARE T_BLOOM T_BLUR T_KEYFR T_NEW T_TEXGFX T_PARTICLE
%token T_DEFORM T_STATUS T_SHADOW T_CSG T_GLOW
%token <text> T_ID
%token <number> T_NUM
%token T_GTE T_LTE T_GT T_LT T_NEQUAL T_ADD T_SUB T_DIV T_MUL

%destructor { std::free($$); } <text>

%type <node> statement_list statement scene_statement while_statement if_statement
%type <node> optional_else_statement compound_statement expression equal_expression
%type <node> assign_expression add_expression mul_expression simple_expression lvalue
%type <node> exprlist nonempty_exprlist
%type <node> args5 args4 args3 args2 args1 one none
%type <node> form_4321n form_4321 form_321n form_321 form_31 form_341 form_21n form_31s form_54321n
%type <symbol> identifier qname command_name
%type <token> class_keyword

%%

/* program -> statement_list */
program:
    statement_list { ctx->script->root = $1; }
  ;

/* statement_list -> statement_list statement | empty */
statement_list:
    statement_list statement { $$ = ctx->script->node(N_SEQ, $1, $2); }
  | %empty { $$ = ctx->script->node(N_EMPTY); }
  ;

statement:
    T_ENDSTMT { $$ = ctx->script->node(N_EMPTY); }
  | expression T_ENDSTMT { $$ = ctx->script->node(N_EXPR, $1); }
  | T_PRINT expression T_ENDSTMT { $$ = ctx->script->node(N_PRINT, $2); }
  | T_PRINT qname T_ENDSTMT { $$ = named(ctx->script->node(N_PRINT), $2); }
  | if_statement
  | while_statement
  | compound_statement
  | T_SLEEP expression T_ENDSTMT { $$ = ctx->script->node(N_SLEEP, $2); }
    /* function name ( params ) { body }: the name belongs to the enclosing scope,
       the parameters and every name of the body to the function's own. */
  | T_FUNCTION identifier
      {
        $<symbol>$ = ctx->function;
        $2->kind = SYMBOL_FUNCTION;
        $2->params.clear();
        ctx->function = $2;
        ctx->defined_on_line.emplace($2->name, @2.first_line);
      }
    T_OPENPAR identlist T_CLOSEPAR compound_statement
      {
        $2->body = $7;
        ctx->function = $<symbol>3;
        $$ = named(ctx->script->node(N_FUNCTION, $7), $2);
      }
  | T_RETURN expression T_ENDSTMT { $$ = ctx->script->node(N_RETURN, $2); }
  | T_EXIT T_ENDSTMT { $$ = ctx->script->node(N_EXIT); }
    /* array name [ n ] ; declares storage of n zeroed floats, n at most
       MAX_ARRAY_ELEMENTS: a larger one is an error at its line, not a parse
       that spends minutes and gigabytes before it runs out of memory */
  | T_ARRAY identifier T_OPENBRACK T_NUM T_CLOSEBRACK T_ENDSTMT
      {
        if ($4 > static_cast<float>(MAX_ARRAY_ELEMENTS)) {
          ++ctx->script->errors;
          report_array_too_large(spot(@4), $2->name, source_word(spot(@4)));
          $$ = ctx->script->node(N_ERROR);
        } else {
          int32_t size = float_to_int($4);
          if (size < 0) size = 0;
          try {
            $2->elements.assign(size, 0.0f);
          } catch (const std::bad_alloc&) {
            YYNOMEM;
          }
          $2->kind = SYMBOL_ARRAY;
          $2->value = 0.0f;
          $$ = ctx->script->node(N_EMPTY);
        }
      }
  | error T_ENDSTMT { $$ = ctx->script->node(N_ERROR); }
  | scene_statement
  ;

/* Scene statements: keyword, element number (most keywords), command name and the
   argument forms each keyword accepts; any other count is a syntax error. */
scene_statement:
    T_OBJECT expression form_4321n T_ENDSTMT { $$ = scene(ctx, N_OBJECT, $2, $3); }
  | T_SHADOW expression form_4321n T_ENDSTMT { $$ = scene(ctx, N_SHADOW, $2, $3); }
  | T_BLUR expression form_4321n T_ENDSTMT { $$ = scene(ctx, N_BLUR, $2, $3); }
  | T_BLOOM expression form_4321n T_ENDSTMT { $$ = scene(ctx, N_BLOOM, $2, $3); }
  | T_GLOW expression form_4321n T_ENDSTMT { $$ = scene(ctx, N_GLOW, $2, $3); }
  | T_CSG expression form_4321n T_ENDSTMT { $$ = scene(ctx, N_CSG, $2, $3); }
  | T_FLUIDE expression form_4321n T_ENDSTMT { $$ = scene(ctx, N_FLUIDE, $2, $3); }
  | T_KEYFR expression form_4321n T_ENDSTMT { $$ = scene(ctx, N_FRAMER, $2, $3); }
  | T_DEFORM expression form_4321 T_ENDSTMT { $$ = scene(ctx, N_DEFORM, $2, $3); }
  | T_FLARE expression form_4321 T_ENDSTMT { $$ = scene(ctx, N_FLARE, $2, $3); }
  | T_WATER expression form_321n T_ENDSTMT { $$ = scene(ctx, N_WATER, $2, $3); }
  | T_TEXGFX expression form_321 T_ENDSTMT { $$ = scene(ctx, N_TEXGFX, $2, $3); }
  | T_LIGHT expression form_31 T_ENDSTMT { $$ = scene(ctx, N_LIGHT, $2, $3); }
  | T_PARTICLE expression form_341 T_ENDSTMT { $$ = scene(ctx, N_PARTICLE, $2, $3); }
  | T_RADIO form_21n T_ENDSTMT { $$ = scene(ctx, N_RADIO, nullptr, $2); }
  | T_SKYBOX form_31s T_ENDSTMT { $$ = scene(ctx, N_SKYBOX, nullptr, $2); }
    /* skybox ( "name" ) ; */
  | T_SKYBOX T_OPENPAR qname T_CLOSEPAR T_ENDSTMT
      { $$ = placed(named(ctx->script->node(N_SKYBOX), sent(ctx, $3, spot(@3))), @3); }
  | T_SCENE form_54321n T_ENDSTMT { $$ = scene(ctx, N_SCENE, nullptr, $2); }
  ;

form_4321n: args4 | args3 | args2 | one | none ;
form_4321: args4 | args3 | args2 | one ;
form_321n: args3 | args2 | one | none ;
form_321: args3 | args2 | one ;
form_31: args3 | one ;
form_341: args3 | args4 | one ;
form_21n: args2 | args1 | none ;
form_31s: args3 | one ;
form_54321n: args5 | args4 | args3 | args2 | one | none ;

/* cmd ( e1, ..., en ) */
args5:
    command_name T_OPENPAR expression T_COMMA expression T_COMMA expression T_COMMA expression
    T_COMMA expression T_CLOSEPAR { $$ = command(ctx, $1, @1, $3, $5, $7, $9, $11); }
  ;
args4:
    command_name T_OPENPAR expression T_COMMA expression T_COMMA expression T_COMMA expression
    T_CLOSEPAR { $$ = command(ctx, $1, @1, $3, $5, $7, $9); }
  ;
args3:
    command_name T_OPENPAR expression T_COMMA expression T_COMMA expression T_CLOSEPAR
      { $$ = command(ctx, $1, @1, $3, $5, $7); }
  ;
args2:
    command_name T_OPENPAR expression T_COMMA expression T_CLOSEPAR { $$ = command(ctx, $1, @1, $3, $5); }
  ;
args1:
    command_name T_OPENPAR expression T_CLOSEPAR { $$ = command(ctx, $1, @1, $3); }
  ;
/* cmd e */
one:
    command_name expression { $$ = command(ctx, $1, @1, $2); }
  ;
/* cmd */
none:
    command_name { $$ = command(ctx, $1, @1); }
  ;

/* command_name -> identifier | class_keyword: a command whose name is also a
   class keyword (light l object n;) is written as it is listed; the keyword
   stands for its text, like any identifier there. */
command_name:
    identifier
  | class_keyword { $$ = ctx->script->intern(keyword_text($1), ctx->function); }
  ;

class_keyword:
    T_OBJECT { $$ = T_OBJECT; }
  | T_DEFORM { $$ = T_DEFORM; }
  | T_SCENE { $$ = T_SCENE; }
  | T_SKYBOX { $$ = T_SKYBOX; }
  | T_SHADOW { $$ = T_SHADOW; }
  | T_BLOOM { $$ = T_BLOOM; }
  | T_GLOW { $$ = T_GLOW; }
  | T_BLUR { $$ = T_BLUR; }
  | T_CSG { $$ = T_CSG; }
  | T_FLARE { $$ = T_FLARE; }
  | T_WATER { $$ = T_WATER; }
  | T_FLUIDE { $$ = T_FLUIDE; }
  | T_LIGHT { $$ = T_LIGHT; }
  | T_KEYFR { $$ = T_KEYFR; }
  | T_TEXGFX { $$ = T_TEXGFX; }
  | T_PARTICLE { $$ = T_PARTICLE; }
  | T_RADIO { $$ = T_RADIO; }
  ;

/* while ( e ) s | for ( init ; condition ; step ) s */
while_statement:
    T_WHILE T_OPENPAR expression T_CLOSEPAR statement { $$ = ctx->script->node(N_WHILE, $3, $5); }
  | T_FOR T_OPENPAR expression T_ENDSTMT expression T_ENDSTMT expression T_CLOSEPAR statement
      { $$ = ctx->script->node(N_FOR, $3, $5, $7, $9); }
  ;

/* if ( e ) s [else s]; an else belongs to the nearest if (the one expected conflict) */
if_statement:
    T_IF T_OPENPAR expression T_CLOSEPAR statement optional_else_statement
      { $$ = ctx->script->node($6 ? N_IFELSE : N_IF, $3, $5, $6); }
  ;

optional_else_statement:
    T_ELSE statement { $$ = $2; }
  | %empty { $$ = nullptr; }
  ;

/* { statement_list } */
compound_statement:
    T_BEGINCS statement_list T_ENDCS { $$ = $2; }
  ;

/* Logical operators, then comparisons, all left to right; assignment binds tighter
   than comparison, so a = b == d compares the assignment's value with d. */
expression:
    equal_expression
  | expression T_AND equal_expression { $$ = ctx->script->node(N_AND, $1, $3); }
  | expression T_OR equal_expression { $$ = ctx->script->node(N_OR, $1, $3); }
  ;

equal_expression:
    equal_expression T_EQUAL assign_expression { $$ = ctx->script->node(N_EQ, $1, $3); }
  | equal_expression T_NEQUAL assign_expression { $$ = ctx->script->node(N_NE, $1, $3); }
  | equal_expression T_GT assign_expression { $$ = ctx->script->node(N_GT, $1, $3); }
  | equal_expression T_LT assign_expression { $$ = ctx->script->node(N_LT, $1, $3); }
  | equal_expression T_GTE assign_expression { $$ = ctx->script->node(N_GE, $1, $3); }
  | equal_expression T_LTE assign_expression { $$ = ctx->script->node(N_LE, $1, $3); }
  | assign_expression
  ;

assign_expression:
    lvalue T_ASSIGN assign_expression { $$ = ctx->script->node(N_ASSIGN, $1, $3); }
  | lvalue T_ADDTO assign_expression { $$ = ctx->script->node(N_ADDTO, $1, $3); }
  | lvalue T_SUBFROM assign_expression { $$ = ctx->script->node(N_SUBFROM, $1, $3); }
  | lvalue T_DIVBY assign_expression { $$ = ctx->script->node(N_DIVBY, $1, $3); }
  | lvalue T_MULBY assign_expression { $$ = ctx->script->node(N_MULBY, $1, $3); }
  | lvalue T_REMFROM assign_expression { $$ = ctx->script->node(N_REMFROM, $1, $3); }
  | add_expression
  ;

add_expression:
    add_expression T_ADD mul_expression { $$ = ctx->script->node(N_ADD, $1, $3); }
  | add_expression T_SUB mul_expression { $$ = ctx->script->node(N_SUB, $1, $3); }
  | mul_expression
  ;

mul_expression:
    mul_expression T_MUL simple_expression { $$ = ctx->script->node(N_MUL, $1, $3); }
  | mul_expression T_DIV simple_expression { $$ = ctx->script->node(N_DIV, $1, $3); }
  | mul_expression T_REMAINDER simple_expression { $$ = ctx->script->node(N_REM, $1, $3); }
  | simple_expression
  ;

simple_expression:
    identifier { $$ = named(ctx->script->node(N_VAR), $1); }
  | lvalue T_INCREMENT { $$ = ctx->script->node(N_INC, $1); }
  | lvalue T_DECREMENT { $$ = ctx->script->node(N_DEC, $1); }
  | T_INCREMENT lvalue { $$ = ctx->script->node(N_INC, $2); }
  | T_DECREMENT lvalue { $$ = ctx->script->node(N_DEC, $2); }
  | identifier T_OPENBRACK expression T_CLOSEBRACK { $$ = named(ctx->script->node(N_VAR, $3), $1); }
  | T_SUB simple_expression { $$ = ctx->script->node(N_NEG, $2); }
  | T_ADD simple_expression { $$ = $2; }
  | T_NOT simple_expression { $$ = ctx->script->node(N_NOT, $2); }
  | T_INT T_OPENPAR expression T_CLOSEPAR { $$ = ctx->script->node(N_INT, $3); }
  | T_SIN T_OPENPAR expression T_CLOSEPAR { $$ = ctx->script->node(N_SIN, $3); }
  | T_COS T_OPENPAR expression T_CLOSEPAR { $$ = ctx->script->node(N_COS, $3); }
  | T_TAN T_OPENPAR expression T_CLOSEPAR { $$ = ctx->script->node(N_TAN, $3); }
  | T_ASIN T_OPENPAR expression T_CLOSEPAR { $$ = ctx->script->node(N_ASIN, $3); }
  | T_ACOS T_OPENPAR expression T_CLOSEPAR { $$ = ctx->script->node(N_ACOS, $3); }
  | T_ATAN T_OPENPAR expression T_CLOSEPAR { $$ = ctx->script->node(N_ATAN, $3); }
  | T_SQRT T_OPENPAR expression T_CLOSEPAR { $$ = ctx->script->node(N_SQRT, $3); }
    /* name ( arguments ): a user function call, its argument count checked at once */
  | T_ID T_OPENPAR exprlist T_CLOSEPAR { $$ = call(ctx, called_symbol(ctx, $1), $3, spot(@1)); }
  | T_RANDOM { $$ = ctx->script->node(N_RANDOM); }
  | T_RANDOM T_OPENPAR expression T_COMMA expression T_CLOSEPAR
      { $$ = ctx->script->node(N_RANDOM, $3, $5); }
  | T_TIME { $$ = ctx->script->node(N_TIME); }
  | T_NUM { $$ = ctx->script->number($1); }
  | T_OPENPAR expression T_CLOSEPAR { $$ = $2; }
    /* load ( "name" [, e] ), new class [( e [, e] )], delete class [( e )], status query ( e ) */
  | T_LOAD T_OPENPAR qname T_COMMA expression T_CLOSEPAR
      { $$ = placed(named(ctx->script->node(N_LOAD, $5), sent(ctx, $3, spot(@3))), @3); }
  | T_LOAD T_OPENPAR qname T_CLOSEPAR
      { $$ = placed(named(ctx->script->node(N_LOAD), sent(ctx, $3, spot(@3))), @3); }
  | T_NEW identifier T_OPENPAR expression T_COMMA expression T_CLOSEPAR
      { $$ = placed(named(ctx->script->node(N_NEW, $4, $6), sent(ctx, $2, spot(@2))), @2); }
  | T_NEW identifier T_OPENPAR expression T_CLOSEPAR
      { $$ = placed(named(ctx->script->node(N_NEW, $4), sent(ctx, $2, spot(@2))), @2); }
  | T_NEW identifier { $$ = placed(named(ctx->script->node(N_NEW), sent(ctx, $2, spot(@2))), @2); }
  | T_DELETE identifier T_OPENPAR expression T_CLOSEPAR
      { $$ = placed(named(ctx->script->node(N_DELETE, $4), sent(ctx, $2, spot(@2))), @2); }
  | T_DELETE identifier { $$ = placed(named(ctx->script->node(N_DELETE), sent(ctx, $2, spot(@2))), @2); }
  | T_STATUS identifier T_OPENPAR expression T_CLOSEPAR
      { $$ = placed(named(ctx->script->node(N_STATUS, $4), sent(ctx, $2, spot(@2))), @2); }
  ;

/* lvalue -> identifier | identifier [ e ] */
lvalue:
    identifier { $$ = named(ctx->script->node(N_LVALUE), $1); }
  | identifier T_OPENBRACK expression T_CLOSEBRACK { $$ = named(ctx->script->node(N_LVALUE, $3), $1); }
  ;

exprlist:
    nonempty_exprlist
  | %empty { $$ = ctx->script->node(N_EMPTY); }
  ;

/* e , rest -> N_ARGS(e, rest); a lone e stands for itself */
nonempty_exprlist:
    expression T_COMMA nonempty_exprlist { $$ = ctx->script->node(N_ARGS, $1, $3); }
  | expression
  ;

identlist:
    nonempty_identlist
  | %empty
  ;

nonempty_identlist:
    parameter T_COMMA nonempty_identlist
  | parameter
  ;

/* Parameters are reduced left to right, so they are appended in order. */
parameter:
    identifier { ctx->function->params.push_back($1); }
  ;

/* QNAME -> " identifier "; its place is the identifier's */
qname:
    T_COMMAS identifier T_COMMAS { $$ = $2; @$ = @2; }
  ;

identifier:
    T_ID { $$ = name_symbol(ctx, $1); }
  ;

%%

static std::string read_all(FILE* file) {
  std::string text;
  if (!file) return text;
  char buffer[8192];
  for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, got);
  std::fclose(file);
  return text;
}

int parse(FILE* file, Script* script, const std::string& path) {
  // The text stays in memory for the lines that diagnostics quote, including
  // those of commands that fail later on the render thread.
  std::string text = read_all(file);
  set_diagnostic_source(path, text);
  FILE* input = text.empty() ? nullptr : fmemopen(text.data(), text.size(), "r");
  Lexer lexer(input);
  ParseContext ctx;
  ctx.script = script;
  ctx.lexer = &lexer;
  int result = scriptparse(&ctx);
  lexer.close_input();

  if (lexer.unclosed_comment.line > 0)
    warn(&ctx, lexer.unclosed_comment, "comment not closed: the rest of the script is ignored", "/*");
  warn_about_early_calls(&ctx);
  std::stable_sort(ctx.warnings.begin(), ctx.warnings.end(), [](const auto& a, const auto& b) {
    return a.at.line != b.at.line ? a.at.line < b.at.line : a.at.column < b.at.column;
  });
  for (const ParseContext::Warning& warning : ctx.warnings) report_warning(warning.at, warning.what, warning.token);
  return result;
}
