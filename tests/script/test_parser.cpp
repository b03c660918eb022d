// Parsing: tree shapes, the argument forms each scene keyword accepts, symbols and
// scopes, error messages with their lines, recovery, and the stack limits.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "script_helpers.h"

namespace {

// The last statement of a statement list.
SyntaxNode* last_statement(const Script& script) {
  EXPECT_NE(script.root, nullptr);
  EXPECT_EQ(script.root->kind, N_SEQ);
  return script.root->child[1];
}

bool accepted(const std::string& text) {
  MessageCapture capture;
  int result = -1;
  auto script = parse_text(text, &result);
  return result == PARSE_ACCEPTED && script->errors == 0 && capture.messages().empty();
}

TEST(Parsing, EmptyScriptIsOneEmptyNode) {
  int result = -1;
  auto script = parse_text("", &result);
  EXPECT_EQ(result, PARSE_ACCEPTED);
  ASSERT_NE(script->root, nullptr);
  EXPECT_EQ(script->root->kind, N_EMPTY);
  EXPECT_EQ(script->errors, 0);
}

TEST(Parsing, AssignmentBindsTighterThanComparison) {
  auto script = parse_text("x = 1 == 1;");
  SyntaxNode* statement = last_statement(*script);
  ASSERT_EQ(statement->kind, N_EXPR);
  SyntaxNode* compare = statement->child[0];
  ASSERT_EQ(compare->kind, N_EQ);
  ASSERT_EQ(compare->child[0]->kind, N_ASSIGN);
  EXPECT_EQ(compare->child[0]->child[0]->kind, N_LVALUE);
  EXPECT_EQ(compare->child[1]->kind, N_NUM);
}

TEST(Parsing, SceneStatementCarriesIndexNameAndArguments) {
  auto script = parse_text("object 3 position (1, 2, -5);");
  SyntaxNode* statement = last_statement(*script);
  ASSERT_EQ(statement->kind, N_OBJECT);
  EXPECT_EQ(statement->symbol->name, "position");
  EXPECT_EQ(statement->child[0]->value, 3.0f);
  EXPECT_EQ(statement->child[1]->value, 1.0f);
  EXPECT_EQ(statement->child[3]->kind, N_NEG);
  EXPECT_EQ(statement->child[4], nullptr);

  script = parse_text("object 1 position (5);");
  statement = last_statement(*script);
  EXPECT_EQ(statement->child[1]->value, 5.0f);  // the one-argument form
  EXPECT_EQ(statement->child[2], nullptr);

  script = parse_text("scene fade (1, 1, 1, 0, 0.05);");
  statement = last_statement(*script);
  ASSERT_EQ(statement->kind, N_SCENE);
  EXPECT_EQ(statement->child[0]->value, 1.0f);  // no index: the arguments start at child0
  EXPECT_EQ(statement->child[4]->value, 0.05f);

  script = parse_text("skybox (\"sky\");");
  statement = last_statement(*script);
  ASSERT_EQ(statement->kind, N_SKYBOX);
  EXPECT_EQ(statement->symbol->name, "sky");
}

TEST(Parsing, EachKeywordAcceptsItsArgumentCounts) {
  struct Case {
    const char* text;
    bool ok;
  };
  const Case cases[] = {
      {"object 1 position (1, 2, 3, 4);", true},
      {"object 1 position (1, 2, 3, 4, 5);", false},
      {"object 1 hide;", true},
      {"object 1 scale 2 * 3;", true},
      {"shadow 0 on (1, 2);", true},
      {"deform 0 wave (1, 2, 3, 4);", true},
      {"deform 0 off;", false},
      {"flare 0 size 3;", true},
      {"water 0 level (1, 2, 3);", true},
      {"water 0 level (1, 2, 3, 4);", false},
      {"water 0 off;", true},
      {"texgfx 0 render;", false},
      {"texgfx 0 size (1, 2);", true},
      {"light 0 position (1, 2, 3);", true},
      {"light 0 position (1, 2);", false},
      {"light 0 on;", false},
      {"particle 0 speed (1, 2, 3, 4);", true},
      {"particle 0 speed (1, 2);", false},
      {"radio calc;", true},
      {"radio 1 calc;", false},
      {"radio size (256);", true},
      {"radio size 256;", false},
      {"radio size (1, 2);", true},
      {"skybox load (1, 2, 3);", false},
      {"skybox size 3;", true},
      {"skybox (\"sky\");", true},
      {"scene fade (1, 1, 1, 0, 0.05);", true},
      {"scene fade (1, 1, 1, 0, 0.05, 6);", false},
      {"scene stop;", true},
      {"framer 2 addkey (1, 2, 3, 4);", true},
      {"glow 0 strength 2;", true},
      {"csg 0 sub (1, 2, 3);", true},
      {"fluide 0 drop (1, 2);", true},
      {"bloom 0 off;", true},
      {"blur 0 off;", true},
  };
  for (const Case& test : cases) EXPECT_EQ(accepted(test.text), test.ok) << test.text;
}

TEST(Parsing, VerbsAndQuotedNames) {
  EXPECT_TRUE(accepted("n = load(\"ship\"); m = load(\"ship\", 2);"));
  EXPECT_TRUE(accepted("n = new cLight(0); n = new cLight(0, 1); n = new cBlur;"));
  EXPECT_TRUE(accepted("delete cLight(n); delete cSkybox; s = status fps(0);"));
  EXPECT_TRUE(accepted("print \"hello\";"));
  EXPECT_FALSE(accepted("print \"hello world\";"));
  EXPECT_FALSE(accepted("n = load(\"my file\");"));

  auto script = parse_text("n = new cLight(0);");
  SyntaxNode* verb = last_statement(*script)->child[0]->child[1];
  ASSERT_EQ(verb->kind, N_NEW);
  EXPECT_EQ(verb->symbol->name, "cLight");
  EXPECT_NE(verb->child[0], nullptr);
  EXPECT_EQ(verb->child[1], nullptr);
}

TEST(Parsing, ADotIsAlwaysAnError) {
  EXPECT_FALSE(accepted("x = 1 . 2;"));
  EXPECT_FALSE(accepted("x = 5.;"));
  EXPECT_FALSE(accepted("."));
  EXPECT_TRUE(accepted("x = .5;"));
}

TEST(Parsing, SyntaxErrorsNameTheirLineUnderTheParseCaption) {
  MessageCapture capture;
  auto script = parse_text("a = 1;\nb = 2;\nc = = 3;\nd = 4;\ne = 5;\nf = 6;\ng = 7;\nh = 8;\ni = # 9;\nj = 10;\n");
  EXPECT_EQ(script->errors, 2);
  std::vector<Message> messages = capture.messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].caption, "Test");
  EXPECT_EQ(messages[0].text, "Script error\nline 3: syntax error");
  EXPECT_EQ(messages[1].text, "Script error\nline 9: syntax error");
  EXPECT_TRUE(script_error_noted());
}

TEST(Parsing, OneFaultyStatementGivesOneMessage) {
  MessageCapture capture;
  auto script = parse_text("x = = = ) 1 2 3 ;\ny = 2;\n");
  EXPECT_EQ(capture.messages().size(), 1u);
  // Parsing went on after the faulty statement.
  EXPECT_NE(script->find("y", nullptr), nullptr);
}

TEST(Parsing, ErrorAfterABlockCommentIsOnItsLine) {
  MessageCapture capture;
  parse_text("/* first\n second */\nx = ;\n");
  EXPECT_EQ(capture.texts(), (std::vector<std::string>{"Script error\nline 3: syntax error"}));
}

TEST(Parsing, AMissingSemicolonAtTheEndAbandonsTheParse) {
  MessageCapture capture;
  int result = -1;
  auto script = parse_text("x = 1", &result);
  EXPECT_EQ(result, PARSE_ABANDONED);
  EXPECT_EQ(script->errors, 1);
}

TEST(Parsing, StacksGrowTo10000EntriesAndNoFurther) {
  {
    MessageCapture capture;
    int result = -1;
    parse_text("x = " + std::string(3000, '(') + "1" + std::string(3000, ')') + ";", &result);
    EXPECT_EQ(result, PARSE_ACCEPTED);
    EXPECT_TRUE(capture.messages().empty());
  }
  MessageCapture capture;
  int result = -1;
  auto script = parse_text("x = " + std::string(12000, '(') + "1" + std::string(12000, ')') + ";", &result);
  EXPECT_EQ(result, PARSE_EXHAUSTED);
  EXPECT_EQ(script->errors, 1);
  EXPECT_EQ(capture.texts(), (std::vector<std::string>{"Script error\nline 1: memory exhausted"}));
}

TEST(Parsing, NamesInAFunctionBelongToItsScope) {
  auto script = parse_text("x = 1; function f(a, b) { x = a + b; y = 2; } z = y;");
  ASSERT_EQ(script->errors, 0);
  Symbol* f = script->find("f", nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(f->kind, SYMBOL_FUNCTION);
  ASSERT_EQ(f->params.size(), 2u);
  EXPECT_EQ(f->params[0]->name, "a");
  EXPECT_EQ(f->params[1]->name, "b");
  EXPECT_EQ(f->params[0]->scope, f);

  Symbol* outer_x = script->find("x", nullptr);
  Symbol* inner_x = script->find("x", f);
  ASSERT_NE(inner_x, nullptr);
  EXPECT_NE(outer_x, inner_x);
  EXPECT_NE(script->find("y", nullptr), script->find("y", f));

  // The global list keeps the order of creation.
  std::vector<std::string> names;
  for (Symbol* s = script->first_symbol(); s; s = s->next) names.push_back(s->name);
  EXPECT_EQ(names, (std::vector<std::string>{"x", "f", "a", "b", "x", "y", "z", "y"}));
}

TEST(Parsing, WrongArgumentCountIsReportedWithTheCounts) {
  MessageCapture capture;
  auto script = parse_text("function f(a, b) { return a; }\n\nx = f(1, 2, 3);\n");
  EXPECT_EQ(script->errors, 1);
  std::vector<Message> messages = capture.messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].caption, "Talpine Engine 2.02");
  EXPECT_EQ(messages[0].text,
            "script error\nline 3\nwrong number of arguments in call to 'f' (3 instead of 2)");

  // A name that is no function takes no arguments.
  MessageCapture second;
  script = parse_text("x = g(1);");
  EXPECT_EQ(second.texts(),
            (std::vector<std::string>{"script error\nline 1\nwrong number of arguments in call to 'g' (1 instead of 0)"}));
}

TEST(Parsing, CallsInABodyReachTopLevelFunctionsAndThemselves) {
  MessageCapture capture;
  auto script = parse_text(
      "function sq(v) { return v * v; }\n"
      "function fact(n) { if (n <= 1) return 1; return n * fact(n - 1); }\n"
      "function both(a) { return sq(a) + fact(a); }\n");
  EXPECT_EQ(script->errors, 0);
  EXPECT_TRUE(capture.messages().empty());
  // No stray local symbols were made for the called names.
  Symbol* fact = script->find("fact", nullptr);
  EXPECT_EQ(script->find("fact", fact), nullptr);
  EXPECT_EQ(script->find("sq", script->find("both", nullptr)), nullptr);
}

TEST(Parsing, ArrayDeclarationMakesZeroedStorage) {
  auto script = parse_text("array a[4.9]; array b[0];");
  Symbol* a = script->find("a", nullptr);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->kind, SYMBOL_ARRAY);
  EXPECT_EQ(a->elements, std::vector<float>(4, 0.0f));
  EXPECT_TRUE(script->find("b", nullptr)->elements.empty());
}

TEST(Parsing, ElseBelongsToTheNearestIf) {
  auto script = parse_text("if (a) if (b) x = 1; else x = 2;");
  SyntaxNode* outer = last_statement(*script);
  ASSERT_EQ(outer->kind, N_IF);
  EXPECT_EQ(outer->child[1]->kind, N_IFELSE);
}

}  // namespace
