// Diagnostics: where tokens stand (line and column), the compiler-style lines
// on standard error with their quoted line and caret, and the warnings about
// traps the script keeps running through. Also the table of reserved words
// against the lexer, and a class keyword written as a command name.
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "script/keywords.h"
#include "script/lexer.h"
#include "script_helpers.h"

namespace {

struct Placed {
  int code;
  int line, column;
  std::string text;
};

std::vector<Placed> placed_tokens(const std::string& text, SourceSpot* end = nullptr) {
  Lexer lexer(text_file(text));
  std::vector<Placed> tokens;
  for (;;) {
    TokenValue value{};
    int code = lexer.next_token(&value);
    if (code == T_ID) std::free(value.text);
    if (code == 0) break;
    tokens.push_back({code, lexer.token_at.line, lexer.token_at.column, lexer.token_text});
  }
  if (end) *end = lexer.token_at;
  return tokens;
}

// What a parse writes on standard error, with the messages it shows caught.
std::string parse_diagnostics(const std::string& text, Script* script = nullptr) {
  MessageCapture capture;
  testing::internal::CaptureStderr();
  auto parsed = parse_text(text);
  std::string errors = testing::internal::GetCapturedStderr();
  if (script) script->errors = parsed->errors;
  return errors;
}

TEST(Places, TokensKnowTheirLineAndColumn) {
  SourceSpot end;
  std::vector<Placed> tokens = placed_tokens("a = 12;\n  /* c\n */ b\t+= x; // note\nobject", &end);
  ASSERT_EQ(tokens.size(), 9u);
  EXPECT_EQ((std::vector<int>{tokens[0].line, tokens[0].column}), (std::vector<int>{1, 1}));
  EXPECT_EQ(tokens[2].text, "12");
  EXPECT_EQ(tokens[2].column, 5);
  // After a block comment spanning lines, and a tab counting one column.
  EXPECT_EQ((std::vector<int>{tokens[4].line, tokens[4].column}), (std::vector<int>{3, 5}));
  EXPECT_EQ(tokens[5].text, "+=");
  EXPECT_EQ(tokens[5].column, 7);
  EXPECT_EQ((std::vector<int>{tokens[8].line, tokens[8].column, tokens[8].code}), (std::vector<int>{4, 1, T_OBJECT}));
  // The end of input is placed just after the last token.
  EXPECT_EQ(end.line, 4);
  EXPECT_EQ(end.column, 7);
}

TEST(Places, CarriageReturnsAndCommentsStartTheNextLineAtColumnOne) {
  std::vector<Placed> tokens = placed_tokens("x\r\n  y // z\n   w");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ((std::vector<int>{tokens[1].line, tokens[1].column}), (std::vector<int>{2, 3}));
  EXPECT_EQ((std::vector<int>{tokens[2].line, tokens[2].column}), (std::vector<int>{3, 4}));
}

TEST(Diagnostics, ASyntaxErrorNamesFileLineColumnAndTokenAndQuotesTheLine) {
  Script result;
  std::string errors = parse_diagnostics("a = 1;\n\tb = = 2;\n", &result);
  EXPECT_EQ(result.errors, 1);
  EXPECT_EQ(errors,
            "script.txt:2:6: error: syntax error near '='\n"
            "\tb = = 2;\n"
            "\t    ^\n");  // the caret keeps the tab, so it stands under the column

  // A stray character is the token; the end of input has none.
  EXPECT_EQ(parse_diagnostics("x = 3 # 4;"), "script.txt:1:7: error: syntax error near '#'\nx = 3 # 4;\n      ^\n");
  EXPECT_EQ(parse_diagnostics("x = (1\n\n"), "script.txt:1:7: error: syntax error at end of input\nx = (1\n      ^\n");
}

TEST(Diagnostics, EveryErrorOfAScriptIsReportedWithItsPlace) {
  std::string errors = parse_diagnostics(
      "function f(a) { return a; }\n"
      "x = f(1, 2);\n"
      "y = = 1;\n"
      "array big[20000000];\n");
  EXPECT_NE(errors.find("script.txt:2:5: error: wrong number of arguments in call to 'f' (2 instead of 1) near 'f'\n"
                        "x = f(1, 2);\n    ^\n"),
            std::string::npos)
      << errors;
  EXPECT_NE(errors.find("script.txt:3:5: error: syntax error near '='"), std::string::npos) << errors;
  EXPECT_NE(errors.find("script.txt:4:11: error: array 'big' too large (at most 16777216 elements) near '20000000'"),
            std::string::npos)
      << errors;
}

TEST(Diagnostics, AnArrayAboveTheLimitIsAnErrorAtItsLineAndAllocatesNothing) {
  MessageCapture capture;
  testing::internal::CaptureStderr();
  auto script = parse_text("x = 1;\narray e[3000000000];\narray ok[16777216];\ne[1] = 2;\n");
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(script->errors, 1);
  EXPECT_EQ(capture.texts(),
            (std::vector<std::string>{"Script error\nline 2: array 'e' too large (at most 16777216 elements)"}));
  EXPECT_NE(script->find("e", nullptr)->kind, SYMBOL_ARRAY);
  EXPECT_EQ(script->find("ok", nullptr)->elements.size(), static_cast<size_t>(MAX_ARRAY_ELEMENTS));
}

TEST(Warnings, TrapsAreWarnedAboutAfterTheErrorsAndTheScriptStillParses) {
  Script result;
  std::string errors = parse_diagnostics(
      "object 1 position_of_the_object_in_the_scene (1, 2, 3);\n"
      "n = load(\"a_very_long_file_name_for_a_mesh\");\n"
      "x = = 1;\n"
      "/* the rest\nprint 2;\n",
      &result);
  EXPECT_EQ(result.errors, 1);
  const std::string expected =
      "script.txt:3:5: error: syntax error near '='\n"
      "x = = 1;\n"
      "    ^\n"
      "script.txt:1:10: warning: name longer than 22 characters: the command carries only "
      "'position_of_the_object' near 'position_of_the_object_in_the_scene'\n"
      "object 1 position_of_the_object_in_the_scene (1, 2, 3);\n"
      "         ^\n"
      "script.txt:2:11: warning: name longer than 22 characters: the command carries only "
      "'a_very_long_file_name_' near 'a_very_long_file_name_for_a_mesh'\n"
      "n = load(\"a_very_long_file_name_for_a_mesh\");\n"
      "          ^\n"
      "script.txt:4:1: warning: comment not closed: the rest of the script is ignored near '/*'\n"
      "/* the rest\n"
      "^\n";
  EXPECT_EQ(errors, expected);
}

TEST(Warnings, CallsOfNamesThatAreNoFunctionThere) {
  std::string errors = parse_diagnostics(
      "x = f(1);\n"                               // before the definition: an error, and why
      "y = g();\n"                                // before, without arguments: runs, no word
      "function h() { return later(); }\n"        // a name of h's own: never a function
      "z = nothing();\n"                          // no such function anywhere
      "function f(a) { return a; }\n"
      "function g() { return 1; }\n"
      "function later() { return 2; }\n");
  EXPECT_NE(errors.find("script.txt:1:5: error: wrong number of arguments in call to 'f' (1 instead of 0)"),
            std::string::npos);
  EXPECT_NE(errors.find("script.txt:1:5: warning: 'f' is no function yet here (it is defined on line 5): define a "
                        "function before its first call near 'f'"),
            std::string::npos)
      << errors;
  EXPECT_EQ(errors.find("near 'g'"), std::string::npos) << errors;
  EXPECT_NE(errors.find("script.txt:3:23: warning: 'later' is no function yet here (it is defined on line 7)"),
            std::string::npos)
      << errors;
  EXPECT_NE(errors.find("script.txt:4:5: warning: 'nothing' is no function: the call gives 0 near 'nothing'"),
            std::string::npos)
      << errors;
}

TEST(Warnings, ACleanScriptWritesNothing) {
  EXPECT_EQ(parse_diagnostics("function f(a) { return a * 2; }\nx = f(1); /* closed */ object 1 position (1, 2, 3);\n"),
            "");
}

// Each reserved word scans as the token the table gives it, and every token
// that is a word has its entry: the table and lexer.l change together.
TEST(ReservedWords, TheTableMatchesTheLexer) {
  std::set<int> covered;
  for (const LanguageWord& word : language_words()) {
    std::vector<Placed> tokens = placed_tokens(word.text);
    ASSERT_EQ(tokens.size(), 1u) << word.text;
    EXPECT_EQ(tokens[0].code, word.token) << word.text;
    covered.insert(word.token);
    EXPECT_STREQ(keyword_text(word.token), word.token == T_RANDOM ? "rnd" : word.text);
  }
  const std::set<int> not_words = {TT_ERROR,      T_ASSIGN,    T_EQUAL,   T_ENDSTMT,   T_COMMA,     T_OPENPAR,
                                   T_CLOSEPAR,    T_OPENBRACK, T_CLOSEBRACK, T_BEGINCS, T_ENDCS,   T_AND,
                                   T_OR,          T_NOT,       T_INCREMENT, T_DECREMENT, T_ADDTO,  T_SUBFROM,
                                   T_DIVBY,       T_MULBY,     T_REMFROM, T_REMAINDER, T_DOT,       T_COMMAS,
                                   T_ID,          T_NUM,       T_GTE,     T_LTE,       T_GT,        T_LT,
                                   T_NEQUAL,      T_ADD,       T_SUB,     T_DIV,       T_MUL};
  for (int token = TT_ERROR; token <= T_MUL; ++token) {
    if (not_words.count(token)) continue;
    EXPECT_TRUE(covered.count(token)) << "token " << token << " has no word";
  }
  int classes = 0;
  for (const LanguageWord& word : language_words()) classes += word.kind == WordKind::Class;
  EXPECT_EQ(classes, 17);  // the sixteen classes and scene
}

// Every command a class lists is writable as listed, also when its name is a
// class keyword (light l object n;); the statement keeps its kind and the
// command carries the keyword's text.
TEST(ClassKeywordCommands, AnyClassKeywordStandsAsACommandName) {
  int kinds = 0;
  for (const LanguageWord& word : language_words()) {
    if (word.kind != WordKind::Class) continue;
    ++kinds;
    for (const std::string& statement :
         {"light 0 " + std::string(word.text) + " 3;", "water 1 " + std::string(word.text) + " (2, 0);",
          "scene " + std::string(word.text) + ";", "radio " + std::string(word.text) + " (1);"}) {
      MessageCapture capture;
      auto script = parse_text(statement);
      ASSERT_EQ(script->errors, 0) << statement;
      SyntaxNode* node = script->root->child[1];
      EXPECT_EQ(node->symbol->name, word.text) << statement;
      EXPECT_NE(scene_type_code(node->kind), -1) << statement;
    }
  }
  EXPECT_EQ(kinds, 17);

  auto script = parse_text("light l object n;");
  SyntaxNode* node = script->root->child[1];
  ASSERT_EQ(node->kind, N_LIGHT);
  EXPECT_EQ(node->child[0]->kind, N_VAR);
  EXPECT_EQ(node->child[0]->symbol->name, "l");
  EXPECT_EQ(node->child[1]->symbol->name, "n");
  EXPECT_EQ(node->at.column, 9);

  // A keyword is still no expression and no element number.
  MessageCapture capture;
  EXPECT_NE(parse_text("object light 1;")->errors, 0);
  EXPECT_NE(parse_text("x = object;")->errors, 0);
}

}  // namespace
