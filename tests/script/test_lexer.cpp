// Tokens: keywords against identifiers, operators by longest match, numbers,
// comments and line counting, line ends, and tokens larger than the input buffer.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "script/lexer.h"
#include "script_helpers.h"

namespace {

struct Token {
  int code;
  std::string text;  // T_ID
  float number;      // T_NUM
};

std::vector<Token> scan(const std::string& text, int* last_line = nullptr) {
  Lexer lexer(text_file(text));
  std::vector<Token> tokens;
  for (;;) {
    TokenValue value{};
    int code = lexer.next_token(&value);
    if (code == 0) break;
    Token token{code, "", 0.0f};
    if (code == T_ID) {
      token.text = value.text;
      std::free(value.text);
    }
    if (code == T_NUM) token.number = value.number;
    tokens.push_back(token);
  }
  if (last_line) *last_line = lexer.line;
  return tokens;
}

std::vector<int> codes(const std::string& text) {
  std::vector<int> out;
  for (const Token& token : scan(text)) out.push_back(token.code);
  return out;
}

TEST(Tokens, CodesFollowTheGrammarsTokenOrder) {
  EXPECT_EQ(TT_ERROR, 258);
  EXPECT_EQ(T_IF, 259);
  EXPECT_EQ(T_ENDSTMT, 266);
  EXPECT_EQ(T_COMMAS, 301);
  EXPECT_EQ(T_OBJECT, 302);
  EXPECT_EQ(T_KEYFR, 314);
  EXPECT_EQ(T_GLOW, 322);
  EXPECT_EQ(T_ID, 323);
  EXPECT_EQ(T_NUM, 324);
  EXPECT_EQ(T_MUL, 333);
}

TEST(Tokens, KeywordsAreWholeLowerCaseWords) {
  std::vector<Token> tokens = scan("object objects object_1 Object framer objectx");
  ASSERT_EQ(tokens.size(), 6u);
  EXPECT_EQ(tokens[0].code, T_OBJECT);
  EXPECT_EQ(tokens[1].code, T_ID);
  EXPECT_EQ(tokens[1].text, "objects");
  EXPECT_EQ(tokens[2].text, "object_1");
  EXPECT_EQ(tokens[3].text, "Object");
  EXPECT_EQ(tokens[4].code, T_KEYFR);
  EXPECT_EQ(tokens[5].text, "objectx");

  EXPECT_EQ(codes("rnd random"), (std::vector<int>{T_RANDOM, T_RANDOM}));
}

TEST(Tokens, OperatorsTakeTheLongestMatch) {
  EXPECT_EQ(codes("a+=1"), (std::vector<int>{T_ID, T_ADDTO, T_NUM}));
  EXPECT_EQ(codes("a+ =1"), (std::vector<int>{T_ID, T_ADD, T_ASSIGN, T_NUM}));
  EXPECT_EQ(codes("==="), (std::vector<int>{T_EQUAL, T_ASSIGN}));
  EXPECT_EQ(codes("->"), (std::vector<int>{T_SUB, T_GT}));
  EXPECT_EQ(codes("-3"), (std::vector<int>{T_SUB, T_NUM}));
  EXPECT_EQ(codes("i++ --j %= % != !"),
            (std::vector<int>{T_ID, T_INCREMENT, T_DECREMENT, T_ID, T_REMFROM, T_REMAINDER, T_NEQUAL, T_NOT}));
  EXPECT_EQ(codes("a&&b||c"), (std::vector<int>{T_ID, T_AND, T_ID, T_OR, T_ID}));
}

TEST(Tokens, StrayCharactersAreErrorTokens) {
  EXPECT_EQ(codes("x&y"), (std::vector<int>{T_ID, TT_ERROR, T_ID}));
  EXPECT_EQ(codes("x|y"), (std::vector<int>{T_ID, TT_ERROR, T_ID}));
  EXPECT_EQ(codes("# $ : ? \\ '"), std::vector<int>(6, TT_ERROR));
  EXPECT_EQ(codes("\xe9"), (std::vector<int>{TT_ERROR}));
  EXPECT_EQ(codes("\"name\""), (std::vector<int>{T_COMMAS, T_ID, T_COMMAS}));
}

TEST(Tokens, NumbersHaveNoSignExponentOrTrailingPoint) {
  std::vector<Token> tokens = scan("0.25 007 .5 5. 1.2.3 1e5");
  ASSERT_EQ(tokens.size(), 9u);
  EXPECT_EQ(tokens[0].number, 0.25f);
  EXPECT_EQ(tokens[1].number, 7.0f);
  EXPECT_EQ(tokens[2].number, 0.5f);
  EXPECT_EQ(tokens[3].number, 5.0f);
  EXPECT_EQ(tokens[4].code, T_DOT);
  EXPECT_EQ(tokens[5].number, 1.2f);
  EXPECT_EQ(tokens[6].number, 0.3f);  // ".3"
  EXPECT_EQ(tokens[7].number, 1.0f);
  EXPECT_EQ(tokens[8].text, "e5");
}

TEST(Tokens, NumbersAreReadInDoublePrecisionThenStoredAsFloat) {
  // 16777217 is not a float; read as double and rounded once it becomes 16777216.
  std::vector<Token> tokens = scan("16777217 0.1");
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].number, 16777216.0f);
  EXPECT_EQ(tokens[1].number, 0.1f);
}

TEST(Tokens, LinesAreCountedThroughComments) {
  int line = 0;
  EXPECT_EQ(codes("a // note\nb // last line without a line feed"), (std::vector<int>{T_ID, T_ID}));
  scan("a\n// comment\nb // last", &line);
  EXPECT_EQ(line, 4);  // the comment at the end of input still counts its line

  scan("/* one\ntwo */\nx", &line);
  EXPECT_EQ(line, 3);

  EXPECT_EQ(codes("a /*/ still a comment */ b"), (std::vector<int>{T_ID, T_ID}));
  EXPECT_EQ(codes("a /**/ b /***/ c"), (std::vector<int>{T_ID, T_ID, T_ID}));
  EXPECT_EQ(codes("a /* never closed\n b"), (std::vector<int>{T_ID}));
  EXPECT_EQ(codes("a //= b\nc"), (std::vector<int>{T_ID, T_ID}));
}

TEST(Tokens, CarriageReturnBeforeLineFeedEndsTheLine) {
  int line = 0;
  EXPECT_EQ(codes("a\r\nb\r\n"), (std::vector<int>{T_ID, T_ID}));
  scan("a\r\nb\r\nc", &line);
  EXPECT_EQ(line, 3);
  EXPECT_EQ(codes("a\rb"), (std::vector<int>{T_ID, TT_ERROR, T_ID}));
  EXPECT_EQ(codes("a // note\r\nb"), (std::vector<int>{T_ID, T_ID}));
}

TEST(Tokens, ATokenLargerThanTheInputBufferStaysWhole) {
  std::string name(40000, 'q');
  std::string number(20000, '1');
  std::string tiny = "0." + std::string(20000, '0') + "1";
  std::vector<Token> tokens = scan("x " + name + " " + number + " " + tiny + " y");
  ASSERT_EQ(tokens.size(), 5u);
  EXPECT_EQ(tokens[1].text, name);
  EXPECT_EQ(tokens[2].code, T_NUM);
  EXPECT_TRUE(std::isinf(tokens[2].number));  // beyond the float range
  EXPECT_EQ(tokens[3].number, 0.0f);
  EXPECT_EQ(tokens[4].text, "y");
}

TEST(Tokens, EndOfInputIsZeroAndStaysZero) {
  Lexer lexer(text_file("a"));
  TokenValue value{};
  EXPECT_EQ(lexer.next_token(&value), T_ID);
  std::free(value.text);
  EXPECT_EQ(lexer.next_token(&value), 0);
  EXPECT_EQ(lexer.next_token(&value), 0);
}

}  // namespace

namespace {

TEST(Tokens, AFailedReadIsFatalWithExitStatusTwo) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        // A folder opens for reading but cannot be read.
        Lexer lexer(std::fopen("/", "r"));
        TokenValue value{};
        lexer.next_token(&value);
      },
      testing::ExitedWithCode(2), "input in flex scanner failed");
}

}  // namespace
