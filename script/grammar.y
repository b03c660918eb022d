/* The script grammar. Actions only build nodes and look names up; all meaning is
 * in the interpreter. The %token order below fixes the token numbers that the
 * lexer returns (258 TT_ERROR ... 333 T_MUL); change both together. Error
 * recovery is the `error ;` statement with bison's rule that a new error is
 * reported only after three tokens have been shifted. */

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
#include <cstdlib>
#include <new>

#include "core/convert.h"
#include "script/lexer.h"
#include "script/messages.h"

struct ParseContext {
  Script* script;
  Lexer* lexer;
  Symbol* function = nullptr;  // the function whose definition is being read; null outside
};

namespace {

int scriptlex(SCRIPTSTYPE* value, ParseContext* ctx) { return ctx->lexer->next_token(value); }

void scripterror(ParseContext* ctx, const char* message) {
  ++ctx->script->errors;
  report_syntax_error(ctx->lexer->line, message);
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

SyntaxNode* call(ParseContext* ctx, Symbol* function, SyntaxNode* arguments) {
  SyntaxNode* made = ctx->script->node(N_CALL, arguments);
  made->symbol = function;
  int given = argument_count(arguments);
  int expected = function->kind == SYMBOL_FUNCTION ? static_cast<int>(function->params.size()) : 0;
  if (given != expected) {
    ++ctx->script->errors;
    report_argument_count(ctx->lexer->line, function->name, given, expected);
  }
  return made;
}

SyntaxNode* named(SyntaxNode* node, Symbol* symbol) {
  node->symbol = symbol;
  return node;
}

// A command name with its arguments, held until the statement's keyword is known.
SyntaxNode* command(ParseContext* ctx, Symbol* name, SyntaxNode* a0 = nullptr, SyntaxNode* a1 = nullptr,
                    SyntaxNode* a2 = nullptr, SyntaxNode* a3 = nullptr, SyntaxNode* a4 = nullptr) {
  return named(ctx->script->node(N_EMPTY, a0, a1, a2, a3, a4), name);
}

// A scene statement: child0 is the element number for the keywords that take one,
// and the arguments follow in order.
SyntaxNode* scene(ParseContext* ctx, int32_t kind, SyntaxNode* index, SyntaxNode* form) {
  SyntaxNode* made = ctx->script->node(kind);
  made->symbol = form->symbol;
  int next = 0;
  if (index) made->child[next++] = index;
  for (int i = 0; next < NODE_CHILDREN; ++i) made->child[next++] = form->child[i];
  return made;
}

}  // namespace
}

%define api.pure full
%define api.prefix {script}
%parse-param {ParseContext* ctx}
%lex-param {ParseContext* ctx}
%expect 1

%union {
  char* text;         /* T_ID: a malloc'ed copy of the identifier */
  float number;       /* T_NUM */
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
%type <symbol> identifier qname

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
      }
    T_OPENPAR identlist T_CLOSEPAR compound_statement
      {
        $2->body = $7;
        ctx->function = $<symbol>3;
        $$ = named(ctx->script->node(N_FUNCTION, $7), $2);
      }
  | T_RETURN expression T_ENDSTMT { $$ = ctx->script->node(N_RETURN, $2); }
  | T_EXIT T_ENDSTMT { $$ = ctx->script->node(N_EXIT); }
    /* array name [ n ] ; declares storage of n zeroed floats */
  | T_ARRAY identifier T_OPENBRACK T_NUM T_CLOSEBRACK T_ENDSTMT
      {
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
  | T_SKYBOX T_OPENPAR qname T_CLOSEPAR T_ENDSTMT { $$ = named(ctx->script->node(N_SKYBOX), $3); }
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
    identifier T_OPENPAR expression T_COMMA expression T_COMMA expression T_COMMA expression
    T_COMMA expression T_CLOSEPAR { $$ = command(ctx, $1, $3, $5, $7, $9, $11); }
  ;
args4:
    identifier T_OPENPAR expression T_COMMA expression T_COMMA expression T_COMMA expression
    T_CLOSEPAR { $$ = command(ctx, $1, $3, $5, $7, $9); }
  ;
args3:
    identifier T_OPENPAR expression T_COMMA expression T_COMMA expression T_CLOSEPAR
      { $$ = command(ctx, $1, $3, $5, $7); }
  ;
args2:
    identifier T_OPENPAR expression T_COMMA expression T_CLOSEPAR { $$ = command(ctx, $1, $3, $5); }
  ;
args1:
    identifier T_OPENPAR expression T_CLOSEPAR { $$ = command(ctx, $1, $3); }
  ;
/* cmd e */
one:
    identifier expression { $$ = command(ctx, $1, $2); }
  ;
/* cmd */
none:
    identifier { $$ = command(ctx, $1); }
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
  | T_ID T_OPENPAR exprlist T_CLOSEPAR { $$ = call(ctx, called_symbol(ctx, $1), $3); }
  | T_RANDOM { $$ = ctx->script->node(N_RANDOM); }
  | T_RANDOM T_OPENPAR expression T_COMMA expression T_CLOSEPAR
      { $$ = ctx->script->node(N_RANDOM, $3, $5); }
  | T_TIME { $$ = ctx->script->node(N_TIME); }
  | T_NUM { $$ = ctx->script->number($1); }
  | T_OPENPAR expression T_CLOSEPAR { $$ = $2; }
    /* load ( "name" [, e] ), new class [( e [, e] )], delete class [( e )], status query ( e ) */
  | T_LOAD T_OPENPAR qname T_COMMA expression T_CLOSEPAR { $$ = named(ctx->script->node(N_LOAD, $5), $3); }
  | T_LOAD T_OPENPAR qname T_CLOSEPAR { $$ = named(ctx->script->node(N_LOAD), $3); }
  | T_NEW identifier T_OPENPAR expression T_COMMA expression T_CLOSEPAR
      { $$ = named(ctx->script->node(N_NEW, $4, $6), $2); }
  | T_NEW identifier T_OPENPAR expression T_CLOSEPAR { $$ = named(ctx->script->node(N_NEW, $4), $2); }
  | T_NEW identifier { $$ = named(ctx->script->node(N_NEW), $2); }
  | T_DELETE identifier T_OPENPAR expression T_CLOSEPAR { $$ = named(ctx->script->node(N_DELETE, $4), $2); }
  | T_DELETE identifier { $$ = named(ctx->script->node(N_DELETE), $2); }
  | T_STATUS identifier T_OPENPAR expression T_CLOSEPAR { $$ = named(ctx->script->node(N_STATUS, $4), $2); }
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

/* QNAME -> " identifier " */
qname:
    T_COMMAS identifier T_COMMAS { $$ = $2; }
  ;

identifier:
    T_ID { $$ = name_symbol(ctx, $1); }
  ;

%%

int parse(FILE* file, Script* script) {
  Lexer lexer(file);
  ParseContext ctx{script, &lexer};
  return scriptparse(&ctx);
}
